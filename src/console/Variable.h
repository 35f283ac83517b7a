#pragma once

#include "console/Function.h"

namespace Halvo::Console {

// A console variable: typing its name shows it, typing an operator after it changes it. The owner
// reads and writes `value` directly.
template <class T>
class Variable : public Function {
public:
    static constexpr std::uint32_t VariableFlags = 2;

    Variable(std::string name, T initial) : Function(std::move(name), VariableFlags), value(initial) {}
    // A number that must stay within `minimum`..`maximum`: a change that would leave the range is
    // refused (the usage says the range) and the value stays as it was.
    Variable(std::string name, T initial, T minimum, T maximum)
        : Function(std::move(name), VariableFlags), value(initial), minimum(minimum), maximum(maximum),
          bounded(true) {}

    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

    T value;
    const T minimum{};
    const T maximum{};
    const bool bounded = false;
};

template <>
bool Variable<bool>::Execute(std::istream& arguments, std::ostream& out);
template <>
void Variable<bool>::PrintUsage(std::ostream& out);
template <>
bool Variable<unsigned int>::Execute(std::istream& arguments, std::ostream& out);
template <>
void Variable<unsigned int>::PrintUsage(std::ostream& out);

} // namespace Halvo::Console
