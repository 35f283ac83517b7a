#include "console/System.h"

#include <cstdio>
#include <ctime>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "console/BuiltinFunctions.h"
#include "console/LineReader.h"
#include "console/StopRequest.h"

namespace Halvo::Console {

namespace {

// A log larger than this at start-up is set aside as <name>.old.
constexpr off_t MaxLogBytes = 4 * 1024 * 1024;
// The log's size after its start line when this session began it; -1 when it held lines before.
off_t logStartSize = -1;

} // namespace

System* System::Instance() {
    if (!instance) {
        instance = Ref::New<System>();
    }
    return instance;
}

System::System()
    : output(lines, maxLines, logFile), run(Ref::New<RunFunction>()),
      echoFunction(Ref::New<EchoFunction>(echo)), help(Ref::New<HelpFunction>(functions)) {
    RegisterFunction(run);
    RegisterFunction(echoFunction);
    RegisterFunction(help);
}

System::~System() {
    output.flush();
    CloseLogFile();
    functions.clear();
    help.Reset();
    echoFunction.Reset();
    run.Reset();
    if (instance == this) {
        instance = nullptr;
    }
}

bool System::RegisterFunction(const Ref::Ptr<Function>& function) {
    if (!function) {
        return false;
    }
    auto position = functions.begin();
    for (; position != functions.end(); ++position) {
        const int order = (*position)->name.compare(function->name);
        if (order == 0) {
            return false;
        }
        if (order > 0) {
            break;
        }
    }
    functions.insert(position, function);
    return true;
}

Ref::Ptr<Function> System::UnregisterFunction(const std::string& name) {
    for (auto position = functions.begin(); position != functions.end(); ++position) {
        if ((*position)->name == name) {
            Ref::Ptr<Function> function = std::move(*position);
            functions.erase(position);
            return function;
        }
    }
    return nullptr;
}

void System::Execute(const std::string& line) {
    Run(line, true);
}

void System::ExecuteQuietly(const std::string& line) {
    Run(line, false);
}

void System::Run(const std::string& line, bool typed) {
    std::istringstream arguments(line);
    std::string word;
    if (!(arguments >> word)) {
        return;
    }
    if (word[0] == '#') {
        return;
    }
    if (typed) {
        history.push_front(line);
        if (history.size() > maxHistory) {
            history.pop_back();
        }
    }
    bool silent = !typed;
    if (word[0] == '@') {
        word.erase(0, 1);
        silent = true;
    }
    if (echo && !silent) {
        output << line << std::endl;
    }
    for (const auto& entry : functions) {
        if (entry->name == word) {
            // Keep the function alive even if it unregisters itself while it runs.
            Ref::Ptr<Function> function = entry;
            if (!function->Execute(arguments, output)) {
                function->PrintUsage(output);
            }
            return;
        }
    }
    output << word << " is not a valid console function or variable." << std::endl;
}

StreamEnd System::ExecuteStream(std::istream& in, std::uint64_t& lineBudget, std::uint64_t& lineNumber) {
    LineReader reader(in);
    std::string line;
    for (;;) {
        if (StopRequested()) {
            return StreamEnd::Stopped;
        }
        if (lineBudget == 0) {
            return StreamEnd::OutOfLines;
        }
        const LineReader::Result result = reader.Next(line);
        lineNumber = reader.lineNumber;
        switch (result) {
        case LineReader::End:
            return StreamEnd::Finished;
        case LineReader::LineTooLong:
            return StreamEnd::LineTooLong;
        case LineReader::TooLarge:
            return StreamEnd::TooLarge;
        case LineReader::ReadError:
            return StreamEnd::ReadError;
        case LineReader::Line:
            break;
        }
        --lineBudget;
        // Scripts written with CR LF line ends run as they would on the system they were written on.
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Execute(line);
    }
}

bool System::GetHistoryLine(std::uint32_t index, std::string& line) const {
    if (index >= history.size()) {
        return false;
    }
    line = history[index];
    return true;
}

std::ostream& System::ReportError(const std::string& operation, int line) {
    output.Buffer().SetErrorPending();
    output << '[' << operation << "][" << line << "] Error: ";
    return output;
}

void System::SetLogFile(const std::string& fileName) {
    CloseLogFile();
    if (fileName.empty()) {
        return;
    }
    // A log grown large over many sessions starts afresh; the previous one is kept beside it.
    struct stat status {};
    if (stat(fileName.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > MaxLogBytes) {
        std::rename(fileName.c_str(), (fileName + ".old").c_str());
    }
    // Appended to, never truncated: a second Halvo started in the same folder adds its lines after the
    // first one's, which goes on writing at the end too, instead of leaving a hole in the file.
    logFile = std::fopen(fileName.c_str(), "a");
    if (logFile) {
        // Unbuffered, so the log is complete up to the last finished line even after a crash.
        std::setvbuf(logFile, nullptr, _IONBF, 0);
        logFileName = fileName;
        // Where this session's lines begin.
        char started[32] = "";
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        if (gmtime_r(&now, &utc)) {
            std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S UTC", &utc);
        }
        const std::string line = std::string("-- Halvo ") + HALVO_VERSION + " started " + started +
                                 ", process " + std::to_string(getpid()) + " --\n";
        const bool wasEmpty = fstat(fileno(logFile), &status) == 0 && status.st_size == 0;
        std::fwrite(line.data(), 1, line.size(), logFile);
        logStartSize = wasEmpty ? static_cast<off_t>(line.size()) : -1;
    }
}

void System::CloseLogFile() {
    if (logFile) {
        std::fflush(logFile);
        // Nothing but the start line of a log this session began: nothing to keep.
        struct stat status {};
        const bool empty = fstat(fileno(logFile), &status) == 0 && status.st_size == logStartSize;
        std::fclose(logFile);
        logFile = nullptr;
        if (empty) {
            std::remove(logFileName.c_str());
        }
    }
    logFileName.clear();
}

} // namespace Halvo::Console
