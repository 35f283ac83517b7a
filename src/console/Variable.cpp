#include "console/Variable.h"

#include <cstdint>
#include <limits>
#include <string>

namespace Halvo::Console {

namespace {

const char* OnOff(bool value) {
    return value ? "on" : "off";
}

// A whole decimal number that fits in 32 bits, written as digits only: no sign, no base prefix, no
// exponent and nothing after the digits, so that "-1000", "0x10", "1e9" or "12abc" are refused rather
// than read as some other number.
bool ReadWholeNumber(std::istream& arguments, std::uint64_t& number) {
    std::string word;
    if (!(arguments >> word) || word.size() > 10 ||
        word.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    number = std::stoull(word);
    return number <= std::numeric_limits<unsigned int>::max();
}

} // namespace

template <>
bool Variable<bool>::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        out << name << " is " << OnOff(value) << std::endl;
        return true;
    }
    if (word == "not" || word == "!") {
        value = !value;
        return true;
    }
    if (word == "on" || word == "off") {
        value = word == "on";
        return true;
    }
    if (word == "=") {
        std::string setting;
        if (!(arguments >> setting)) {
            return false;
        }
        if (setting == "true" || setting == "1") {
            value = true;
            return true;
        }
        if (setting == "false" || setting == "0") {
            value = false;
            return true;
        }
    }
    return false;
}

template <>
void Variable<bool>::PrintUsage(std::ostream& out) {
    out << "usage: " << name << " [=|on|off|{not|!}] <{true|1}|{false|0}>\n"
        << "       " << name << " is " << OnOff(value) << std::endl;
}

template <>
bool Variable<unsigned int>::Execute(std::istream& arguments, std::ostream& out) {
    std::string op;
    if (!(arguments >> op)) {
        out << name << " is " << value << std::endl;
        return true;
    }
    std::uint64_t number = 0;
    if (!ReadWholeNumber(arguments, number)) {
        return false;
    }
    // Worked out in 64 bits: both operands fit in 32, so not even their product can wrap, and a result
    // the variable cannot hold is refused instead of stored modulo 2^32.
    const std::uint64_t current = value;
    std::uint64_t result = 0;
    if (op == "=") {
        result = number;
    } else if (op == "+=") {
        result = current + number;
    } else if (op == "-=") {
        if (number > current) {
            return false;
        }
        result = current - number;
    } else if (op == "*=") {
        result = current * number;
    } else if (op == "/=") {
        if (number == 0) {
            return false;
        }
        result = current / number;
    } else {
        return false;
    }
    if (result > std::numeric_limits<unsigned int>::max() ||
        (bounded && (result < minimum || result > maximum))) {
        return false;
    }
    value = static_cast<unsigned int>(result);
    return true;
}

template <>
void Variable<unsigned int>::PrintUsage(std::ostream& out) {
    out << "usage: " << name << " [=|+=|-=|*=|/=] [numeric value]\n";
    if (bounded) {
        out << "       " << name << " goes from " << minimum << " to " << maximum << "\n";
    }
    out << "       " << name << " is " << value << std::endl;
}

} // namespace Halvo::Console
