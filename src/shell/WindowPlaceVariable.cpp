#include "shell/WindowPlaceVariable.h"

#include <istream>

#include "app/WindowPlace.h"

namespace Halvo {

bool WindowPlaceVariable::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        out << name << " is " << value << std::endl;
        return true;
    }
    if (word == "=" && !(arguments >> word)) {
        return false;
    }
    App::WindowPlace place;
    if (std::string rest; arguments >> rest || (word != "auto" && !place.Parse(word))) {
        return false;
    }
    value = word == "auto" ? word : place.Text();
    return true;
}

void WindowPlaceVariable::PrintUsage(std::ostream& out) {
    out << "usage: g_window [=] <auto|X,Y,WIDTH,HEIGHT>\n"
        << "       g_window is " << value << std::endl;
}

} // namespace Halvo
