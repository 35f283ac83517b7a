#include "shell/TimingVariable.h"

#include <ostream>

namespace Halvo {

bool TimingVariable::Execute(std::istream& arguments, std::ostream& out) {
    const std::string before = value;
    if (!ChoiceVariable::Execute(arguments, out)) {
        return false;
    }
    if (value != before && gameRunning && gameRunning()) {
        out << "nes_timing " << value << " takes effect at the next loadrom or hard reset." << std::endl;
    }
    return true;
}

} // namespace Halvo
