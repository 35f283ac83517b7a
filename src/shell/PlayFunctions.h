#pragma once

#include <functional>

#include "shell/RomFunctions.h"

namespace Halvo {

// A console function that only does one thing to the shell, such as an action's "+" or "-" half. The
// "-" halves are left out of the "help" listing: their "+" halves stand for them.
class ShellAction : public Console::Function {
public:
    ShellAction(std::string name, std::string usage, std::function<void()> effect)
        : Function(name, name[0] == '-' ? 1u : 0u), usage(std::move(usage)), effect(std::move(effect)) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

private:
    std::string usage;
    std::function<void()> effect;
};

// "bind [key [\"console line\"]]": binds a key, shows one binding, or lists them all.
class BindFunction : public Nes::ShellFunction {
public:
    explicit BindFunction(HalvoShell* shell) : ShellFunction("bind", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

// "unbind key": drops a key's binding.
class UnbindFunction : public Nes::ShellFunction {
public:
    explicit UnbindFunction(HalvoShell* shell) : ShellFunction("unbind", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

// "writeconfig": writes the variables and bindings to config.cfg.
class WriteConfigFunction : public Nes::ShellFunction {
public:
    explicit WriteConfigFunction(HalvoShell* shell) : ShellFunction("writeconfig", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

} // namespace Halvo
