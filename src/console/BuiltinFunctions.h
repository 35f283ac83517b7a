#pragma once

#include <list>

#include "console/Function.h"

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

    RunFunction() : Function("run") {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

private:
    int depth = 0;
};

} // namespace Halvo::Console
