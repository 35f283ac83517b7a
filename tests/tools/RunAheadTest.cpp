#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/Joypad.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// A game with two frames of lag built into its loop, as many have: its NMI reads the pad, acts on it
// a frame later and shows the outcome (the backdrop white while A is held, else black) on the frame
// after that. A also lowers the pitch of a square wave at once, so that the sound follows the pad.
std::vector<std::uint8_t> LaggingGame() {
    TestSupport::RomBuilder rom;
    rom.program = {
        0x78, 0xD8, 0xA2, 0xFF, 0x9A,                   // SEI, CLD, LDX #$FF, TXS
        0x2C, 0x02, 0x20, 0x10, 0xFB,                   // wait for vertical blank
        0x2C, 0x02, 0x20, 0x10, 0xFB,                   // and once more: the PPU has warmed up
        0xA9, 0x0F, 0x85, 0x00, 0x85, 0x01,             // the two stages of the pipeline: black
        0xA9, 0x01, 0x8D, 0x15, 0x40,                   // pulse 1 on
        0xA9, 0xBF, 0x8D, 0x00, 0x40,                   // constant volume 15, length halted
        0xA9, 0x40, 0x8D, 0x02, 0x40,                   // period $040
        0xA9, 0x00, 0x8D, 0x03, 0x40,                   //
        0xA9, 0x80, 0x8D, 0x00, 0x20,                   // NMI on
        0x4C, 0x2E, 0x80,                               // $802E: JMP $802E
        0x48,                                           // $8031 NMI: PHA
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, // backdrop := stage 2
        0x06, 0x20, 0xA5, 0x01, 0x8D, 0x07, 0x20,       //
        0xA9, 0x00, 0x8D, 0x06, 0x20, 0x8D, 0x06, 0x20, // v back to $0000
        0xA5, 0x00, 0x85, 0x01,                         // stage 2 := stage 1
        0xA9, 0x01, 0x8D, 0x16, 0x40, 0xA9, 0x00, 0x8D, // strobe the pad
        0x16, 0x40, 0xAD, 0x16, 0x40, 0x29, 0x01,       // A?
        0xF0, 0x0C,                                     // BEQ notA
        0xA9, 0x30, 0x85, 0x00,                         // stage 1 := white
        0xA9, 0x80, 0x8D, 0x02, 0x40,                   // period $080
        0x4C, 0x73, 0x80,                               // JMP done
        0xA9, 0x0F, 0x85, 0x00,                         // notA: stage 1 := black
        0xA9, 0x40, 0x8D, 0x02, 0x40,                   // period $040
        0x68, 0x40,                                     // done: PLA, RTI
    };
    std::vector<std::uint8_t> file = rom.Bytes();
    file[16 + 0x3FFA] = 0x31; // the NMI vector: $8031
    return file;
}

struct Playthrough {
    // Picture by picture: whether the backdrop shown after each frame is white.
    std::vector<bool> white;
    std::string wav;
};

// Frames 0-59 with A held from frame `pressAt` to frame 49, pictures and sound recorded.
Playthrough Play(const TestSupport::TempDir& dir, std::uint32_t runAhead, bool secondMachine,
                 std::uint32_t pressAt, const char* cpuKind = "Static") {
    const std::string rom = dir.Path("lag.nes").string();
    const std::vector<std::uint8_t> bytes = LaggingGame();
    std::ofstream(rom, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Tools::HeadlessMachine machine;
    machine.settings.cpuKind = cpuKind;
    EXPECT_TRUE(machine.Load(rom));
    machine.runAhead.frames.value = runAhead;
    machine.runAhead.instance.value = secondMachine;
    const std::string wav = dir.Path("sound.wav").string();
    std::string error;
    EXPECT_TRUE(machine.RecordSound(wav, error)) << error;
    Tools::InputScript input;
    for (std::uint32_t frame = pressAt; frame < 50; ++frame) {
        input[frame] = Nes::Joypad::ButtonA;
    }
    Playthrough run;
    for (std::uint32_t frame = 0; frame < 60; ++frame) {
        machine.RunFrames(1, input);
        run.white.push_back(machine.Picture()[(120 * 256 + 128) * 3] > 0x80);
    }
    EXPECT_TRUE(machine.EndRecording(error)) << error;
    std::ifstream in(wav, std::ios::binary);
    run.wav.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

// Frames from the press of A to the first white picture.
int Lag(const Playthrough& run, std::uint32_t pressAt) {
    for (std::size_t frame = pressAt; frame < run.white.size(); ++frame) {
        if (run.white[frame]) {
            return static_cast<int>(frame - pressAt);
        }
    }
    return -1;
}

// The game's own lag of two frames shrinks by the frames run ahead, down to the frame of the press itself;
// the release shows as early as the press. Both ways of running ahead show the same pictures, and the
// sound is exactly the sound of the game played without run-ahead: no frame heard twice or skipped.
TEST(RunAhead, ShowsThePressRunAheadFramesEarlierWithTheSameSound) {
    TestSupport::TempDir dir;
    constexpr std::uint32_t PressAt = 20;
    const Playthrough plain = Play(dir, 0, true, PressAt);
    ASSERT_GT(plain.wav.size(), 1000u);
    for (const bool secondMachine : {true, false}) {
        for (std::uint32_t ahead = 0; ahead <= 4; ++ahead) {
            SCOPED_TRACE("runahead " + std::to_string(ahead) +
                         (secondMachine ? " on a second machine" : " in place"));
            const Playthrough run = Play(dir, ahead, secondMachine, PressAt);
            EXPECT_EQ(Lag(run, PressAt), std::max(0, 2 - static_cast<int>(ahead)));
            // A is let go after frame 49: black comes back as many frames sooner (from frame 50 the
            // frames ahead run with nothing held).
            const auto black = std::find(run.white.begin() + PressAt + 2, run.white.end(), false);
            EXPECT_EQ(black - run.white.begin(), std::max(52 - static_cast<int>(ahead), 50));
            EXPECT_TRUE(run.wav == plain.wav) << "the sound differs from the game played without run-ahead";
        }
    }
    // The second machine follows the game's timing model.
    const Playthrough exact = Play(dir, 0, true, PressAt, "Exact");
    const Playthrough exactAhead = Play(dir, 1, true, PressAt, "Exact");
    EXPECT_EQ(Lag(exactAhead, PressAt), Lag(exact, PressAt) - 1);
    EXPECT_TRUE(exactAhead.wav == exact.wav);
}

} // namespace
} // namespace Halvo
