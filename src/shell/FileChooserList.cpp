#include "shell/FileChooserList.h"

#include <algorithm>
#include <cctype>

namespace Halvo {

namespace {

constexpr const char* CartridgeExtensions[] = {".nes", ".unf", ".unif", ".fds", ".nsf", ".nsfe"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

bool FileChooserList::IsCartridgeName(const std::string& name) {
    const std::string extension = Lower(std::filesystem::path(name).extension().string());
    return std::find(std::begin(CartridgeExtensions), std::end(CartridgeExtensions), extension) !=
           std::end(CartridgeExtensions);
}

FileChooserList::Outcome FileChooserList::Open(const std::filesystem::path& where,
                                               const std::string& select) {
    std::error_code failure;
    const std::filesystem::path absolute = std::filesystem::absolute(where, failure).lexically_normal();
    std::filesystem::directory_iterator listing(absolute, failure);
    if (failure) {
        error = "Could not read the folder " + absolute.string() + ": " + failure.message() + ".";
        return Outcome::Failed;
    }
    std::vector<Entry> folders;
    std::vector<Entry> files;
    for (const std::filesystem::directory_entry& entry : listing) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.') {
            continue;
        }
        // A link counts as what it points to; one that points nowhere is left out.
        std::error_code statusError;
        const std::filesystem::file_status status = entry.status(statusError);
        if (std::filesystem::is_directory(status)) {
            folders.push_back({name + "/", true});
        } else if (std::filesystem::is_regular_file(status) && IsCartridgeName(name)) {
            files.push_back({name, false});
        }
    }
    const auto byName = [](const Entry& a, const Entry& b) {
        const std::string left = Lower(a.name), right = Lower(b.name);
        return left != right ? left < right : a.name < b.name;
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    entries.clear();
    if (absolute.has_relative_path()) {
        entries.push_back({"../", true});
    }
    entries.insert(entries.end(), folders.begin(), folders.end());
    entries.insert(entries.end(), files.begin(), files.end());
    folder = absolute;
    selected = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == select) {
            selected = i;
        }
    }
    return Outcome::Walked;
}

void FileChooserList::Move(std::int32_t rows) {
    if (entries.empty()) {
        return;
    }
    const auto last = static_cast<std::int64_t>(entries.size()) - 1;
    selected = static_cast<std::size_t>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(selected) + rows, 0, last));
}

void FileChooserList::Seek(char32_t character) {
    if (character > 0x7F || entries.empty()) {
        return;
    }
    const auto wanted = static_cast<char>(std::tolower(static_cast<int>(character)));
    for (std::size_t step = 1; step <= entries.size(); ++step) {
        const std::size_t at = (selected + step) % entries.size();
        if (std::tolower(static_cast<unsigned char>(entries[at].name[0])) == wanted) {
            selected = at;
            return;
        }
    }
}

FileChooserList::Outcome FileChooserList::Choose() {
    if (entries.empty()) {
        return Outcome::Walked;
    }
    const Entry& entry = entries[selected];
    if (entry.name == "../") {
        return Up();
    }
    if (entry.folder) {
        return Open(folder / entry.name.substr(0, entry.name.size() - 1));
    }
    picked = (folder / entry.name).string();
    return Outcome::Picked;
}

FileChooserList::Outcome FileChooserList::Up() {
    if (!folder.has_relative_path()) {
        return Outcome::Walked;
    }
    const std::string from = folder.filename().string() + "/";
    return Open(folder.parent_path(), from);
}

std::vector<std::string> FileChooserList::Window(std::size_t rows) const {
    std::vector<std::string> lines;
    if (rows == 0) {
        return lines;
    }
    // The selection stays in the middle of the window where the list allows.
    std::size_t first = selected > rows / 2 ? selected - rows / 2 : 0;
    if (entries.size() > rows) {
        first = std::min(first, entries.size() - rows);
    } else {
        first = 0;
    }
    for (std::size_t i = first; i < entries.size() && lines.size() < rows; ++i) {
        lines.push_back((i == selected ? "> " : "  ") + entries[i].name);
    }
    return lines;
}

} // namespace Halvo
