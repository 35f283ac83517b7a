#include "TestRoms.h"
#include "nes/Cpu.h"
#include "nes/Joypad.h"

namespace Halvo {
namespace {

using TestSupport::TestRoms;

// The homebrew programs load on their boards, run without halting the processor and end on a picture
// of several colours.
class Game : public testing::TestWithParam<const char*> {};

TEST_P(Game, RunsAndDrawsAPicture) {
    const auto path = TestRoms / "games" / GetParam();
    HALVO_REQUIRE_TEST_ROM(path);
    Tools::HeadlessMachine machine;
    ASSERT_TRUE(machine.Load(path.string()));
    machine.RunFrames(600);
    EXPECT_FALSE(machine.process->cpu->jammed) << "halted at $" << std::hex << machine.process->cpu->pc;
    EXPECT_GE(machine.PictureColours(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Homebrew, Game,
                         testing::Values("nes15-NTSC.nes", "nes15-PAL.nes", "240pee.nes", "oam3.nes",
                                         "scroll.nes", "years_behind.nes", "tanespot.nes", "smwstomp.nes",
                                         "smwstomp.unif"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = std::filesystem::path(info.param).string();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST(Games, Nes15ShowsItsTitleAndAnswersStart) {
    const auto path = TestRoms / "games/nes15-NTSC.nes";
    HALVO_REQUIRE_TEST_ROM(path);
    Tools::HeadlessMachine title;
    ASSERT_TRUE(title.Load(path.string()));
    title.RunFrames(120);
    EXPECT_GE(title.PictureColours(), 3u);

    Tools::HeadlessMachine started;
    ASSERT_TRUE(started.Load(path.string()));
    started.RunFrames(180, {{120, Nes::Joypad::ButtonStart}});
    title.RunFrames(60);
    EXPECT_NE(started.PictureCrc(), title.PictureCrc());
}

TEST(Games, UnifAndInesBuildsOfTheSameDemoDrawTheSamePicture) {
    const auto ines = TestRoms / "games/smwstomp.nes";
    const auto unif = TestRoms / "games/smwstomp.unif";
    HALVO_REQUIRE_TEST_ROM(ines);
    HALVO_REQUIRE_TEST_ROM(unif);
    Tools::HeadlessMachine a;
    Tools::HeadlessMachine b;
    ASSERT_TRUE(a.Load(ines.string()));
    a.RunFrames(600);
    const std::uint32_t inesPicture = a.PictureCrc();
    a.process.Reset();
    ASSERT_TRUE(b.Load(unif.string()));
    b.RunFrames(600);
    EXPECT_EQ(b.PictureCrc(), inesPicture);
}

} // namespace
} // namespace Halvo
