#include "console/Variable.h"

namespace Halvo::Console {

namespace {

const char* OnOff(bool value) {
    return value ? "on" : "off";
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
    unsigned int number = 0;
    if (!(arguments >> number)) {
        return false;
    }
    if (op == "=") {
        value = number;
    } else if (op == "+=") {
        value += number;
    } else if (op == "-=") {
        value -= number;
    } else if (op == "*=") {
        value *= number;
    } else if (op == "/=") {
        // Division by zero is refused like a malformed argument: usage shown, value kept.
        if (number == 0) {
            return false;
        }
        value /= number;
    } else {
        return false;
    }
    return true;
}

template <>
void Variable<unsigned int>::PrintUsage(std::ostream& out) {
    out << "usage: " << name << " [=|+=|-=|*=|/=] [numeric value]\n"
        << "       " << name << " is " << value << std::endl;
}

} // namespace Halvo::Console
