#include "console/ChoiceVariable.h"

#include <algorithm>

namespace Halvo::Console {

bool ChoiceVariable::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        out << name << " is " << value << std::endl;
        return true;
    }
    if (word == "=" && !(arguments >> word)) {
        return false;
    }
    std::string rest;
    return !(arguments >> rest) && Choose(word);
}

bool ChoiceVariable::Choose(const std::string& word) {
    if (std::find(choices.begin(), choices.end(), word) == choices.end()) {
        return false;
    }
    value = word;
    return true;
}

void ChoiceVariable::PrintUsage(std::ostream& out) {
    out << "usage: " << name << " [=] <";
    for (std::size_t i = 0; i < choices.size(); ++i) {
        out << (i ? "|" : "") << choices[i];
    }
    out << ">\n       " << name << " is " << value << std::endl;
}

} // namespace Halvo::Console
