#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "console/ChoiceVariable.h"
#include "console/Variable.h"

namespace Halvo {

namespace Nes {
class Apu;
}

// The sound's console variables beyond on/off, volume and latency: the output stage ("s_filter") and
// a volume for each of the console's channels and for each cartridge sound chip, 0-100.
class SoundSettings {
public:
    SoundSettings();

    std::vector<Console::Function*> Functions();
    // Sets a machine's sound unit as the variables say; a volume above 100 is said once and becomes 100.
    void Apply(Nes::Apu& apu, std::ostream& out);

    Console::ChoiceVariable filterVariable{"s_filter", {"flat", "famicom", "nes"}, "flat"};
    // The Namco 163's channels mixed as their mean rather than taking turns (no whine).
    Console::Variable<bool> n163AveragedVariable{"s_n163_averaged", false};
    // "s_volume_pulse1" ... "s_volume_dmc", then the chips in the order of Nes::SoundChip.
    std::vector<std::unique_ptr<Console::Variable<unsigned int>>> volumes;
};

} // namespace Halvo
