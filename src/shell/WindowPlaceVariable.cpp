#include "shell/WindowPlaceVariable.h"

#include <ostream>

#include "app/WindowPlace.h"

namespace Halvo {

bool WindowPlaceVariable::Choose(const std::string& word) {
    App::WindowPlace place;
    if (word != "auto" && !place.Parse(word)) {
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
