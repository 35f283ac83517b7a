#include "shell/SoundSettings.h"

#include "nes/Apu.h"

namespace Halvo {

namespace {

constexpr const char* VolumeNames[] = {"s_volume_pulse1", "s_volume_pulse2", "s_volume_triangle",
                                       "s_volume_noise",  "s_volume_dmc",    "s_volume_vrc6",
                                       "s_volume_vrc7",   "s_volume_n163",   "s_volume_5b",
                                       "s_volume_mmc5",   "s_volume_fds"};

} // namespace

SoundSettings::SoundSettings() {
    for (const char* name : VolumeNames) {
        volumes.push_back(std::make_unique<Console::Variable<unsigned int>>(name, 100u));
    }
}

std::vector<Console::Function*> SoundSettings::Functions() {
    std::vector<Console::Function*> functions{&filterVariable, &n163AveragedVariable};
    for (auto& volume : volumes) {
        functions.push_back(volume.get());
    }
    return functions;
}

void SoundSettings::Apply(Nes::Apu& apu, std::ostream& out) {
    const std::string& filter = filterVariable.value;
    apu.SetFilter(filter == "nes"       ? Nes::ApuSynth::Filter::Nes
                  : filter == "famicom" ? Nes::ApuSynth::Filter::Famicom
                                        : Nes::ApuSynth::Filter::Flat);
    apu.SetChipAveraged(n163AveragedVariable.value);
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        if (volumes[i]->value > 100) {
            out << volumes[i]->name << " goes from 0 to 100." << std::endl;
            volumes[i]->value = 100;
        }
        if (i < Nes::ApuSynth::ChannelCount) {
            apu.SetChannelVolume(static_cast<Nes::ApuSynth::Channel>(i), volumes[i]->value);
        } else {
            apu.SetChipVolume(static_cast<Nes::SoundChip>(i - Nes::ApuSynth::ChannelCount),
                              volumes[i]->value);
        }
    }
}

} // namespace Halvo
