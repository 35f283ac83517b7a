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

    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

    T value;
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
