#include "shell/BatterySave.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <thread>

#include <gtest/gtest.h>

#include "shell/Settings.h"
#include "support/BatteryRom.h"
#include "support/ChildProgram.h"
#include "support/ConsoleCapture.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using namespace std::chrono_literals;
using TestSupport::ReadFile;

class BatteryFile : public ::testing::Test {
protected:
    std::filesystem::path Folder() const { return dir.Path("saves"); }

    TestSupport::TempDir dir;
    TestSupport::ConsoleCapture capture;
    std::array<std::uint8_t, BatterySave::DefaultSize> ram{};
};

// A save written and read back gives the same RAM; the write leaves no temporary file behind; the
// folder follows XDG_DATA_HOME when it is absolute, else HOME.
TEST_F(BatteryFile, WritesAtomicallyAndReadsBack) {
    BatterySave save(Folder(), "/roms/Quest (U).nes", ram.data());
    EXPECT_EQ(save.path, Folder() / "Quest (U).sav");
    save.Load(); // no file yet: the RAM stays
    ram[0] = 0x42;
    ram[BatterySave::DefaultSize - 1] = 0x24;
    ASSERT_TRUE(save.Save());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder()), {}), 1);
    const std::string written = ReadFile(save.path);
    ASSERT_EQ(written.size(), BatterySave::DefaultSize);

    std::array<std::uint8_t, BatterySave::DefaultSize> fresh{};
    BatterySave(Folder(), "Quest (U).nes", fresh.data()).Load();
    EXPECT_EQ(fresh, ram);

    // The settings folder follows XDG_CONFIG_HOME the same way. A relative value is ignored, as an empty
    // one is: it would name another folder wherever Halvo was started.
    const TestSupport::ScopedEnvironment home("HOME", "/home/player");
    for (const std::string xdg : {"/xdg", "", "xdg", "./xdg"}) {
        const TestSupport::ScopedEnvironment data("XDG_DATA_HOME", xdg), config("XDG_CONFIG_HOME", xdg);
        const bool used = xdg == "/xdg";
        EXPECT_EQ(BatterySave::DefaultFolder(),
                  used ? "/xdg/halvo/saves" : "/home/player/.local/share/halvo/saves");
        EXPECT_EQ(ConfigFolder(), used ? "/xdg/halvo" : "/home/player/.config/halvo");
    }
}

// A save of the wrong size is not loaded and not overwritten: it is set aside as .sav.bad with one line.
TEST_F(BatteryFile, AWrongSizeIsSetAside) {
    std::filesystem::create_directories(Folder());
    std::ofstream(Folder() / "quest.sav") << "short";
    ram.fill(7);
    BatterySave save(Folder(), "quest.nes", ram.data());
    save.Load();
    EXPECT_EQ(ram[0], 7);
    EXPECT_EQ(ReadFile(Folder() / "quest.sav.bad"), "short");
    EXPECT_NE(capture.LastLine().find("renamed to"), std::string::npos) << capture.LastLine();
    ram[0] = 8;
    EXPECT_TRUE(save.Save());
    EXPECT_EQ(ReadFile(Folder() / "quest.sav.bad"), "short");
}

// A folder that cannot be made is reported once, however often the game changes its RAM.
TEST_F(BatteryFile, AnUnwritableFolderIsReportedOnce) {
    std::ofstream(dir.Path("file")) << "x";
    BatterySave save(dir.Path("file") / "saves", "quest.nes", ram.data());
    for (int change = 1; change <= 3; ++change) {
        ram[0] = static_cast<std::uint8_t>(change);
        EXPECT_FALSE(save.Save());
    }
    EXPECT_EQ(capture.ErrorLines().size(), 1u);
}

// A change is written once the RAM has been quiet for a second, and within 5 seconds while it keeps
// changing; looks come at most once a second.
TEST_F(BatteryFile, ChangesReachTheFileWithinSeconds) {
    BatterySave save(Folder(), "quest.nes", ram.data());
    ram[0] = 1;
    save.Poll(0.0); // first seen
    save.Poll(0.5); // too soon to look
    EXPECT_FALSE(std::filesystem::exists(save.path));
    save.Poll(1.0); // quiet for a second
    EXPECT_EQ(ReadFile(save.path)[0], 1);
    double now = 1.0;
    for (int frame = 0; frame < 360 && ReadFile(save.path)[0] == 1; ++frame) {
        now += 1 / 60.0;
        ++ram[1];
        ram[0] = 2;
        save.Poll(now);
    }
    EXPECT_EQ(ReadFile(save.path)[0], 2);
    EXPECT_LE(now, 6.5);
}

#ifdef HALVO_EXECUTABLE

// The program killed with SIGTERM while a battery game runs leaves its save behind.
TEST(BatteryProgram, SigtermKeepsTheSave) {
    TestSupport::UseHeadlessSdl();
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    TestSupport::TempDir dir;
    TestSupport::CurrentDir here(dir.Path());
    TestSupport::WriteBatteryRom(dir.Path("quest.nes").string());
    const TestSupport::ScopedEnvironment data("XDG_DATA_HOME", dir.Path("data"));
    const TestSupport::ScopedEnvironment config("XDG_CONFIG_HOME", dir.Path("config"));
    const pid_t pid =
        TestSupport::Spawn(HALVO_EXECUTABLE, {dir.Path("quest.nes").string(), "+g_windowed", "on"});
    ASSERT_NE(pid, -1);
    const auto giveUp = std::chrono::steady_clock::now() + 30s;
    while (ReadFile(dir.Path("halvo.log")).find("successfully loaded") == std::string::npos &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(300ms);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string save = ReadFile(dir.Path("data/halvo/saves/quest.sav"));
    ASSERT_EQ(save.size(), BatterySave::DefaultSize);
    EXPECT_EQ(save[1], 1); // one start
    EXPECT_NE(save[0], 0); // the counter ran
}

#endif

} // namespace
} // namespace Halvo
