#include "nes/state/SaveState.h"

#include <fstream>
#include <string>
#include <vector>

#include "TestRoms.h"
#include "nes/Joypad.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::TestRoms;

// A state taken after `before` frames, loaded into a fresh machine of the same cartridge: `after`
// frames later both machines draw the same picture and hold the same RAM and the same state, sound
// included. Synthetic programs stand in for the boards no test program uses.
struct Exactness {
    const char* file;    // under ../shared/testroms, or null for the banking program
    std::uint8_t mapper; // of the banking program
    std::uint32_t before;
    std::uint32_t after;
};

void PrintTo(const Exactness& row, std::ostream* out) {
    *out << (row.file ? row.file : "banking program, mapper ")
         << (row.file ? "" : std::to_string(row.mapper));
}

struct Outcome {
    std::uint32_t picture = 0;
    std::vector<std::uint8_t> ram;
    std::vector<std::uint8_t> state;
    std::string sound; // the WAV file of the frames after the state
};

// The buttons the game pictures use: Start at 120, Right through 200-207, A at 220.
Tools::InputScript Buttons() {
    Tools::InputScript buttons = {{120, Nes::Joypad::ButtonStart}, {220, Nes::Joypad::ButtonA}};
    for (std::uint32_t frame = 200; frame <= 207; ++frame) {
        buttons[frame] = Nes::Joypad::ButtonRight;
    }
    return buttons;
}

// Runs `after` frames from frame `from` (of the script), from a state when one is given, recording
// their sound to `wav`.
Outcome RunMachine(const std::string& path, std::uint32_t from, std::uint32_t after,
                   const std::vector<std::uint8_t>* state, std::vector<std::uint8_t>* saved,
                   const std::string& wav) {
    Tools::HeadlessMachine machine;
    EXPECT_TRUE(machine.Load(path));
    if (state) {
        std::string error;
        EXPECT_TRUE(Nes::SaveState::Load(*machine.process, state->data(), state->size(), error)) << error;
        machine.framesRun = from;
    } else {
        machine.RunFrames(from, Buttons());
        *saved = Nes::SaveState::Write(*machine.process);
    }
    std::string error;
    EXPECT_TRUE(machine.RecordSound(wav, error)) << error;
    machine.RunFrames(after, Buttons());
    EXPECT_TRUE(machine.EndRecording(error)) << error;
    Outcome outcome{machine.PictureCrc(), {machine.process->ram.begin(), machine.process->ram.end()}, {}, {}};
    Nes::SaveState::WriteMachine(*machine.process, outcome.state);
    std::ifstream file(wav, std::ios::binary);
    outcome.sound.assign(std::istreambuf_iterator<char>(file), {});
    return outcome;
}

class StateExactness : public testing::TestWithParam<Exactness> {};

TEST_P(StateExactness, AFreshMachineGoesOnFromTheStateAsTheFirstDid) {
    const Exactness& row = GetParam();
    TestSupport::TempDir folder;
    std::filesystem::path path;
    if (row.file) {
        path = TestRoms / row.file;
        HALVO_REQUIRE_TEST_ROM(path);
    } else {
        path = folder.Path("banking.nes");
        (row.mapper == 4 ? TestSupport::Mmc3IrqProgram() : TestSupport::BankingProgram(row.mapper))
            .Write(path.string());
    }
    std::vector<std::uint8_t> state;
    // One machine at a time: each takes over the keyboard its script feeds.
    const Outcome original =
        RunMachine(path.string(), row.before, row.after, nullptr, &state, folder.Path("original.wav"));
    const Outcome resumed =
        RunMachine(path.string(), row.before, row.after, &state, nullptr, folder.Path("resumed.wav"));
    EXPECT_EQ(resumed.picture, original.picture);
    EXPECT_TRUE(resumed.ram == original.ram);
    EXPECT_TRUE(resumed.state == original.state);
    EXPECT_TRUE(resumed.sound == original.sound);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, StateExactness,
    testing::Values(
        Exactness{"games/nes15-NTSC.nes", 0, 130, 120}, Exactness{"games/nes15-PAL.nes", 0, 130, 120},
        Exactness{"games/240pee.nes", 0, 130, 120}, Exactness{"games/oam3.nes", 0, 130, 120},
        Exactness{"games/scroll.nes", 0, 130, 120}, Exactness{"games/years_behind.nes", 0, 130, 120},
        Exactness{"games/tanespot.nes", 0, 130, 120}, Exactness{"games/smwstomp.nes", 0, 150, 120},
        Exactness{"games/smwstomp.unif", 0, 150, 120}, Exactness{"apu/apu_test/7-dmc_basics.nes", 0, 20, 40},
        Exactness{nullptr, 4, 30, 30}, Exactness{nullptr, 9, 30, 30}, Exactness{nullptr, 66, 30, 30}),
    [](const testing::TestParamInfo<Exactness>& info) {
        std::string name = info.param.file ? info.param.file : "mapper" + std::to_string(info.param.mapper);
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    });

} // namespace
} // namespace Halvo
