#pragma once

#include "console/ChoiceVariable.h"

namespace Halvo {

// "g_window": where the window stood and how big it was when last a window, as "X,Y,WIDTH,HEIGHT", or
// "auto" for where the desktop puts it. Halvo sets it as the window moves, so that config.cfg keeps
// it from one start to the next.
class WindowPlaceVariable : public Console::ChoiceVariable {
public:
    WindowPlaceVariable() : ChoiceVariable("g_window", {"auto"}, "auto") {}
    bool Choose(const std::string& word) override;
    void PrintUsage(std::ostream& out) override;
};

} // namespace Halvo
