#pragma once

#include <cstdint>
#include <list>

#include "console/Function.h"
#include "console/System.h"

namespace Halvo::Console {

// "help": lists the registered commands, or shows one command's usage.
class HelpFunction : public Function {
public:
    explicit HelpFunction(const std::list<Ref::Ptr<Function>>& functions)
        : Function("help"), functions(functions) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

private:
    const std::list<Ref::Ptr<Function>>& functions;
};

// "echo": switches the echo of executed lines, or prints a quoted text.
class EchoFunction : public Function {
public:
    explicit EchoFunction(bool& echo) : Function("echo"), echo(echo) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

private:
    bool& echo;
};

// "run": executes a script file line by line, as if its lines were typed.
class RunFunction : public Function {
public:
    // Scripts that run scripts stop here, so that a script running itself cannot exhaust the stack.
    static constexpr int MaxNesting = 16;
    // The lines one run typed at the console may read, those of the scripts it runs included: depth
    // alone does not stop a script that runs itself several times, whose lines grow exponentially.
    static constexpr std::uint64_t MaxLinesPerRun = 100'000;

    RunFunction() : Function("run") {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

private:
    int depth = 0;
    std::uint64_t linesLeft = 0;
    // Why the innermost script stopped, when a bound of the whole run stopped it.
    StreamEnd runEnd = StreamEnd::Finished;
    bool nestingReported = false;
};

} // namespace Halvo::Console
