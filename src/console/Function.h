#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "ref/Object.h"

namespace Halvo::Console {

// A console command. The system calls Execute with the arguments behind the command word; a false
// result means the arguments did not fit, and the system then prints the usage.
class Function : public Ref::Object {
public:
    // Entries with bit 0 or bit 1 set are left out of the "help" listing; variables use 2.
    static constexpr std::uint32_t HiddenFlags = 3;

    explicit Function(std::string name, std::uint32_t flags = 0) : name(std::move(name)), flags(flags) {}

    virtual bool Execute(std::istream& arguments, std::ostream& out) = 0;
    virtual void PrintUsage(std::ostream& out) = 0;

    std::string name;
    std::uint32_t flags;
};

} // namespace Halvo::Console
