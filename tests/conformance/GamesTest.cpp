#include "TestRoms.h"
#include "nes/Cpu.h"
#include "nes/Joypad.h"

namespace Halvo {
namespace {

using TestSupport::TestRoms;

// Each homebrew program's picture CRC-32, as the headless runner computes it, at two fixed frames: the
// title at frame 120, and frame 300 after the same buttons for every game (Start at 120, Right held
// through 200-207, A at 220). Any change to what a game draws, or to when it draws it, moves a pin.
//
// When a change to the picture is intended, look at the new pictures first, then take the new values
// from the failure message or from the "picture CRC-32" that the runner prints, and say why in the
// commit. From the worktree, with a Release build:
//     (echo 120 START; echo 220 A; for f in 200 201 202 203 204 205 206 207; do echo $f RIGHT; done) >b.txt
//     build/release/tools/halvo-run ../shared/testroms/games/FILE --frames 120 --png title.png
//     build/release/tools/halvo-run ../shared/testroms/games/FILE --frames 300 --input b.txt --png 300.png
// The NTSC and PAL builds of nes15 share their pins, and so do the iNES and UNIF builds of smwstomp.
// years_behind refuses NTSC; the automatic region runs it on PAL, so its pins show the demo itself.
struct Pins {
    const char* file;
    std::uint32_t title;  // at frame 120
    std::uint32_t played; // at frame 300
    bool exact = false;   // on the exact timing model
};

void PrintTo(const Pins& pins, std::ostream* out) {
    *out << pins.file << (pins.exact ? " (exact)" : "");
}

class Game : public testing::TestWithParam<Pins> {};

TEST_P(Game, DrawsItsPinnedPictures) {
    const auto path = TestRoms / "games" / GetParam().file;
    HALVO_REQUIRE_TEST_ROM(path);
    Tools::HeadlessMachine machine;
    machine.settings.cpuKind = GetParam().exact ? "Exact" : "Static";
    ASSERT_TRUE(machine.Load(path.string()));
    machine.RunFrames(120);
    EXPECT_EQ(machine.PictureCrc(), GetParam().title) << "title: CRC-32 " << std::hex << machine.PictureCrc();
    Tools::InputScript buttons = {{120, Nes::Joypad::ButtonStart}, {220, Nes::Joypad::ButtonA}};
    for (std::uint32_t frame = 200; frame <= 207; ++frame) {
        buttons[frame] = Nes::Joypad::ButtonRight;
    }
    machine.RunFrames(180, buttons);
    EXPECT_EQ(machine.PictureCrc(), GetParam().played)
        << "played: CRC-32 " << std::hex << machine.PictureCrc();
    EXPECT_FALSE(machine.process->GetCpu().jammed)
        << "halted at $" << std::hex << machine.process->GetCpu().pc;
}

INSTANTIATE_TEST_SUITE_P(
    Homebrew, Game,
    testing::Values(
        Pins{"nes15-NTSC.nes", 0xD311A691, 0x457EA686}, Pins{"nes15-PAL.nes", 0xD311A691, 0x457EA686},
        Pins{"240pee.nes", 0xDB6D2C69, 0x69DBA541}, Pins{"oam3.nes", 0x99F21BE3, 0x253726F6},
        Pins{"scroll.nes", 0x8122BC78, 0xD197119A}, Pins{"years_behind.nes", 0xD3C7B2AD, 0x96B5657D},
        Pins{"tanespot.nes", 0xD51D2CAC, 0x7DF82E0A}, Pins{"smwstomp.nes", 0x216A67FA, 0x12BC41E4},
        Pins{"smwstomp.unif", 0x216A67FA, 0x12BC41E4},
        // The exact model: the boards and PPU uses its stretches and
        // catch-ups take (MMC3's IRQ with A12, UNROM, CNROM, AxROM).
        Pins{"smwstomp.nes", 0x216A67FA, 0x62C832E8, true}, Pins{"240pee.nes", 0xDB6D2C69, 0x69DBA541, true},
        Pins{"scroll.nes", 0x8122BC78, 0xB17B090D, true}, Pins{"tanespot.nes", 0xD51D2CAC, 0x7DF82E0A, true},
        Pins{"oam3.nes", 0x99F21BE3, 0x253726F6, true}),
    [](const testing::TestParamInfo<Pins>& info) {
        std::string name = info.param.file;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name + (info.param.exact ? "_exact" : "");
    });

} // namespace
} // namespace Halvo
