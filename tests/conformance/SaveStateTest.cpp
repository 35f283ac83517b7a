#include "nes/state/SaveState.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "TestRoms.h"
#include "nes/Joypad.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A state taken after `before` frames, loaded into a fresh machine of the same cartridge: `after`
// frames later both have drawn the same picture, made the same sound and hold the same RAM and state.
// Built programs stand in for the boards no test program uses (mapper 4 runs its IRQ across frames) and
// for every counter of the sound unit (mapper 0: the sound program).
struct Exactness {
    const char* file; // under ../shared/testroms, or null for a built program of `mapper`
    std::uint8_t mapper, chrBanks;
    std::uint32_t before, after;
    bool exact = false; // on the exact timing model
};

constexpr Exactness Game(const char* file, std::uint32_t before = 130, std::uint32_t after = 120) {
    return {file, 0, 0, before, after};
}
constexpr Exactness Built(std::uint8_t mapper, std::uint8_t chrBanks = 2) {
    return {nullptr, mapper, chrBanks, 30, 30};
}
constexpr Exactness Exact(Exactness row) {
    row.exact = true;
    return row;
}

struct Outcome {
    std::uint32_t picture;
    Bytes ram, state;
    std::string sound; // the WAV file of the frames after the state
};

// Runs to frame `before` and saves there, or starts from `state`; then `after` frames, recorded.
Outcome Play(const std::string& path, const Exactness& row, Bytes& state, bool load, const std::string& wav) {
    Tools::InputScript buttons = {{120, Nes::Joypad::ButtonStart}, {220, Nes::Joypad::ButtonA}};
    for (std::uint32_t frame = 200; frame <= 207; ++frame) {
        buttons[frame] = Nes::Joypad::ButtonRight;
    }
    Tools::HeadlessMachine machine;
    machine.settings.cpuKind = row.exact ? "Exact" : "Static";
    EXPECT_TRUE(machine.Load(path));
    std::string error;
    if (load) {
        EXPECT_TRUE(Nes::SaveState::Load(*machine.process, state.data(), state.size(), error)) << error;
        machine.framesRun = row.before;
    } else {
        machine.RunFrames(row.before, buttons);
        state = Nes::SaveState::Write(*machine.process);
    }
    EXPECT_TRUE(machine.RecordSound(wav, error)) << error;
    machine.RunFrames(row.after, buttons);
    EXPECT_TRUE(machine.EndRecording(error)) << error;
    Outcome outcome{
        machine.PictureCrc(), {machine.process->Ram().begin(), machine.process->Ram().end()}, {}, {}};
    Nes::SaveState::WriteMachine(*machine.process, outcome.state);
    std::ifstream file(wav, std::ios::binary);
    outcome.sound.assign(std::istreambuf_iterator<char>(file), {});
    return outcome;
}

class StateExactness : public testing::TestWithParam<Exactness> {};

TEST_P(StateExactness, AFreshMachineGoesOnFromTheStateAsTheFirstDid) {
    const Exactness& row = GetParam();
    TestSupport::TempDir folder;
    std::string path =
        row.file ? (TestSupport::TestRoms / row.file).string() : folder.Path("built.nes").string();
    if (row.file) {
        HALVO_REQUIRE_TEST_ROM(path);
    } else {
        (row.mapper == 4   ? TestSupport::Mmc3IrqProgram()
         : row.mapper == 0 ? TestSupport::SoundProgram()
                           : TestSupport::BankingProgram(row.mapper, row.chrBanks))
            .Write(path);
    }
    // One machine at a time: each takes over the keyboard its script feeds.
    Bytes state;
    const Outcome original = Play(path, row, state, false, folder.Path("original.wav"));
    const Outcome resumed = Play(path, row, state, true, folder.Path("resumed.wav"));
    EXPECT_EQ(resumed.picture, original.picture);
    EXPECT_TRUE(resumed.ram == original.ram);
    EXPECT_TRUE(resumed.state == original.state);
    EXPECT_TRUE(resumed.sound == original.sound);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, StateExactness,
    testing::Values(
        Game("games/nes15-NTSC.nes"), Game("games/nes15-PAL.nes"), Game("games/240pee.nes"),
        Game("games/oam3.nes"), Game("games/scroll.nes"), Game("games/years_behind.nes"),
        Game("games/tanespot.nes"), Game("games/smwstomp.nes", 150), Game("games/smwstomp.unif", 150),
        Game("apu/apu_test/7-dmc_basics.nes", 20, 40), Built(0, 1), Built(4), Built(5), Built(9), Built(10),
        Built(11), Built(13, 0), Built(21), Built(22), Built(23), Built(25), Built(34, 1), Built(34, 4),
        Built(66), Built(69), Built(71), Built(79), Built(118), Built(119), Built(140), Built(180),
        Built(206), Built(232), Built(16), Built(153, 0), Built(159), Built(18), Built(87), Built(33),
        Built(48), Built(185, 1), Built(80), Built(207), Built(82), Built(75), Built(32), Built(65),
        Built(70), Built(152), Built(184), Built(89), Built(93, 0), Built(67), Built(68), Built(72),
        Built(92), Built(86), Built(78), Built(76), Built(88), Built(95), Built(154), Built(73, 0), Built(64),
        Built(158), Built(37), Built(47), Built(30, 0), Built(28, 0), Built(111, 0), Built(105, 0),
        // The exact model's own fields: the PPU's dot and pipeline, the processor's bus,
        // polls and DMA, the board's A12 watch.
        Exact(Game("games/240pee.nes")), Exact(Game("games/nes15-PAL.nes")),
        Exact(Game("games/smwstomp.nes", 150)), Exact(Game("apu/apu_test/7-dmc_basics.nes", 20, 40)),
        Exact(Built(0, 1)), Exact(Built(4)), Exact(Built(5))),
    [](const testing::TestParamInfo<Exactness>& info) {
        std::string name = info.param.file ? info.param.file
                                           : "mapper" + std::to_string(info.param.mapper) + "_chr" +
                                                 std::to_string(info.param.chrBanks);
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
            '_');
        return info.param.exact ? name + "_exact" : name;
    });

} // namespace
} // namespace Halvo
