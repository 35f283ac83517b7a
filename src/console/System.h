#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <list>
#include <string>

#include "console/Function.h"
#include "console/OutputStream.h"
#include "ref/Object.h"

namespace Halvo::Console {

class HelpFunction;
class EchoFunction;
class RunFunction;

// How ExecuteStream ended.
enum class StreamEnd {
    Finished,    // the end of the stream
    LineTooLong, // a line longer than MaxLineLength
    TooLarge,    // more than MaxScriptBytes
    OutOfLines,  // the line budget was used up
    ReadError,   // the stream could not be read on
    Stopped,     // the program was asked to end (StopRequest)
};

// The console's command interpreter: registered functions and variables, the history of executed
// lines, the output lines and the log. There is one for the whole program.
class System : public Ref::Object {
public:
    // The single console system, made on first use. Hold it in a Ref::Ptr while you use it: the last
    // release destroys it (and closes the log).
    static System* Instance();

    ~System() override;
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    bool RegisterFunction(const Ref::Ptr<Function>& function);
    Ref::Ptr<Function> UnregisterFunction(const std::string& name);

    void Execute(const std::string& line);
    // Executes a line the program runs for the user (a key binding): not echoed, not kept in the history.
    void ExecuteQuietly(const std::string& line);
    // Executes the stream's lines as if typed, until its end or until one of the other ends of
    // StreamEnd. Every line read is taken from `lineBudget`; `lineNumber` is left at the last line read.
    StreamEnd ExecuteStream(std::istream& in, std::uint64_t& lineBudget, std::uint64_t& lineNumber);
    bool GetHistoryLine(std::uint32_t index, std::string& line) const;

    std::ostream& Output() { return output; }
    // How many lines the output has made since the start; the newest are at the front of `lines`.
    std::uint64_t LinesMade() const { return output.Buffer().LinesMade(); }
    // Starts an error report: "[operation][line] Error: ". The caller writes the message and ends the
    // line with std::endl.
    std::ostream& ReportError(const std::string& operation, int line);

    void SetLogFile(const std::string& fileName);
    void CloseLogFile();

    bool echo = true;
    std::string logFileName;
    std::FILE* logFile = nullptr;
    std::uint32_t maxLines = 196;
    std::deque<ConsoleLine> lines;
    std::uint32_t maxHistory = 16;
    std::deque<std::string> history;
    std::list<Ref::Ptr<Function>> functions;

private:
    System();
    void Run(const std::string& line, bool typed);
    template <class T, class... Args>
    friend T* Ref::New(Args&&... args);

    OutputStream output;
    Ref::Ptr<RunFunction> run;
    Ref::Ptr<EchoFunction> echoFunction;
    Ref::Ptr<HelpFunction> help;

    static inline System* instance = nullptr;
};

// Starts an error report on the console system: the one spelling every part of the program uses, as
// ReportError("Halvo::Nes::INesIOStrategy::LoadImage", __LINE__) << "Invalid iNES header." << std::endl;
inline std::ostream& ReportError(const std::string& operation, int line) {
    return System::Instance()->ReportError(operation, line);
}

} // namespace Halvo::Console
