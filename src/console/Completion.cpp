#include "console/Completion.h"

#include <algorithm>
#include <filesystem>

#include "console/System.h"

namespace Halvo::Console {

namespace {

// The commands whose argument is a file.
constexpr const char* FileCommands[] = {"loadrom", "run"};

std::string SharedPrefix(const std::vector<std::string>& words) {
    if (words.empty()) {
        return {};
    }
    std::string shared = words.front();
    for (const std::string& word : words) {
        std::size_t same = 0;
        while (same < shared.size() && same < word.size() && shared[same] == word[same]) {
            ++same;
        }
        shared.resize(same);
    }
    return shared;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

Completion CompleteName(const System& console, const std::string& lead, const std::string& typed) {
    Completion result;
    for (const auto& function : console.functions) {
        // Bit 0 hides an entry from help and from completion; variables (bit 1) complete.
        if ((function->flags & 1) == 0 && StartsWith(function->name, typed)) {
            result.candidates.push_back(function->name);
        }
    }
    std::sort(result.candidates.begin(), result.candidates.end());
    result.line = lead + (result.candidates.empty() ? typed : SharedPrefix(result.candidates));
    if (result.candidates.size() == 1) {
        result.line += ' ';
    }
    return result;
}

Completion CompleteFile(const std::string& lead, std::string typed) {
    Completion result;
    if (!typed.empty() && typed.front() == '"') {
        typed.erase(0, 1);
    }
    const std::size_t slash = typed.rfind('/');
    const std::string folderPart = slash == std::string::npos ? std::string() : typed.substr(0, slash + 1);
    const std::string namePart = typed.substr(folderPart.size());
    std::error_code error;
    const std::filesystem::path folder =
        folderPart.empty() ? std::filesystem::path(".") : std::filesystem::path(folderPart);
    std::vector<std::string> folders;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        // Hidden files only when asked for by their dot.
        if (!StartsWith(name, namePart) || (name[0] == '.' && !StartsWith(namePart, "."))) {
            continue;
        }
        std::error_code kind;
        const bool isFolder = entry->is_directory(kind);
        result.candidates.push_back(name + (isFolder ? "/" : ""));
    }
    std::sort(result.candidates.begin(), result.candidates.end());
    std::string completed =
        folderPart + (result.candidates.empty() ? namePart : SharedPrefix(result.candidates));
    const bool finished = result.candidates.size() == 1 && completed.back() != '/';
    if (completed.find(' ') != std::string::npos) {
        completed = '"' + completed + (finished ? "\"" : "");
    }
    result.line = lead + completed;
    return result;
}

} // namespace

Completion Complete(const System& console, const std::string& line) {
    const std::size_t firstStart = line.find_first_not_of(' ');
    if (firstStart == std::string::npos) {
        return CompleteName(console, line, "");
    }
    const std::size_t firstEnd = line.find(' ', firstStart);
    if (firstEnd == std::string::npos) {
        // A leading "@" (run without echo) stays.
        const std::size_t nameStart = line[firstStart] == '@' ? firstStart + 1 : firstStart;
        return CompleteName(console, line.substr(0, nameStart), line.substr(nameStart));
    }
    std::string command = line.substr(firstStart, firstEnd - firstStart);
    if (command[0] == '@') {
        command.erase(0, 1);
    }
    const std::size_t argumentStart = line.find_first_not_of(' ', firstEnd);
    const std::string argument =
        argumentStart == std::string::npos ? std::string() : line.substr(argumentStart);
    const bool takesFile =
        std::find(std::begin(FileCommands), std::end(FileCommands), command) != std::end(FileCommands);
    // Only the first argument of a file command completes, and only while it is not yet closed.
    const bool oneWord = argument.empty() || argument.front() == '"'
                             ? argument.find('"', 1) == std::string::npos
                             : argument.find(' ') == std::string::npos;
    if (!takesFile || !oneWord) {
        return {line, {}};
    }
    return CompleteFile(line.substr(0, argumentStart == std::string::npos ? line.size() : argumentStart),
                        argument);
}

} // namespace Halvo::Console
