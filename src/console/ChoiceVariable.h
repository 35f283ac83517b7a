#pragma once

#include <string>
#include <vector>

#include "console/Function.h"

namespace Halvo::Console {

// A console variable that holds one of a few words: typing its name shows it; "name word" or
// "name = word" chooses another of them.
class ChoiceVariable : public Function {
public:
    ChoiceVariable(std::string name, std::vector<std::string> choices, std::string initial)
        : Function(std::move(name), 2), choices(std::move(choices)), value(std::move(initial)) {}

    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
    // Takes `word` as the new value when it is one the variable can hold; a variable with values beyond
    // its words checks them here.
    virtual bool Choose(const std::string& word);

    const std::vector<std::string> choices;
    std::string value;
};

} // namespace Halvo::Console
