#include "shell/HalvoShell.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include <SDL.h>

#include <gtest/gtest.h>

#include "app/Keys.h"
#include "app/sdl/SdlBridge.h"
#include "console/ConsoleKey.h"
#include "gfx/sdl/SdlDriver.h"
#include "nes/Joypad.h"
#include "nes/mmc/Fds.h"
#include "nes/rom/RomFiles.h"
#include "support/ConsoleCapture.h"
#include "support/DiskImage.h"
#include "support/HeadlessSdl.h"
#include "support/NsfBuilder.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

// The emulator shell over the real SDL bridge and driver on SDL's headless display.
class EmulatorShell : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::UseHeadlessSdl();
        App::Bridge::SetFactory([]() -> App::Bridge* { return Ref::New<App::SdlBridge>(); });
        try {
            bridge = App::Bridge::Instance();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "SDL cannot start a display here: " << e.what();
        }
        if (bridge->GetDriverCount() == 0) {
            GTEST_SKIP() << "SDL offers no display here";
        }
        shell = HalvoShell::Instance(bridge.Get());
        TestSupport::BackdropProgram(0x16).Write(Rom("red.nes"));
        TestSupport::BackdropProgram(0x2A).Write(Rom("green.nes"));
    }

    void TearDown() override {
        if (shell) {
            shell->Terminate();
        }
        shell = nullptr;
        bridge = nullptr;
        App::Bridge::SetFactory(nullptr);
    }

    std::string Rom(const std::string& name) const { return dir.Path(name).string(); }

    bool Start(const std::vector<std::string>& arguments) { return shell->Initiate(arguments); }

    void Type(const std::string& line) { shell->console->Execute(line); }

    // One turn of the main loop a frame's time after the last: the frame pacer lets one frame run.
    void Idle() {
        shell->GetTimer()->absoluteTime += 1 / 60.0;
        shell->OnIdle();
    }

    // Draws one frame and reads the back buffer at (x, y) as 0xRRGGBB.
    std::uint32_t PixelAfterFrame(int x, int y) {
        std::vector<std::uint8_t> rgb;
        std::uint32_t width = 0, height = 0;
        shell->active = true;
        Idle();
        // OnIdle presented the frame; draw it again without presenting to read it back.
        shell->driver->Clear(0, 0, 0, 1);
        shell->canvas->Draw(shell->displayRect);
        EXPECT_TRUE(shell->driver->CaptureFrame(rgb, width, height));
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
        return static_cast<std::uint32_t>(rgb[at] << 16 | rgb[at + 1] << 8 | rgb[at + 2]);
    }

    bool HasError(const std::string& operation, const std::string& message) const {
        const Lines lines = capture.ErrorLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](auto& line) { return TestSupport::IsReport(line, operation, message); });
    }

    std::string Caption() { return SDL_GetWindowTitle(static_cast<SDL_Window*>(shell->GetWindow()->handle)); }

    // Keys down, in order, then up in the reverse order.
    void Press(const std::vector<std::string>& keys) {
        for (const std::string& key : keys) {
            shell->OnKeyboardKey(App::KeyOfName(key), true);
        }
    }
    void Release(const std::vector<std::string>& keys) {
        for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
            shell->OnKeyboardKey(App::KeyOfName(*key), false);
        }
    }

    // The buttons the joypad of $4016 or $4017 latches now, as a game strobes and reads them.
    std::uint8_t Latch(std::uint32_t address = 0x4016) {
        Nes::Ports& ports = shell->process->GetPorts();
        ports.Write(0x4016, 1);
        ports.Write(0x4016, 0);
        std::uint8_t buttons = 0;
        for (int bit = 0; bit < 8; ++bit) {
            buttons |= static_cast<std::uint8_t>((ports.Read(address) & 1) << bit);
        }
        return buttons;
    }

    TestSupport::TempDir dir;
    TestSupport::CurrentDir here{dir.Path()};
    // Settings and saves stay inside the test's folder.
    TestSupport::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.Path("config")};
    TestSupport::ScopedEnvironment data{"XDG_DATA_HOME", dir.Path("data")};
    TestSupport::ConsoleCapture capture;
    Ref::Ptr<App::Bridge> bridge;
    Ref::Ptr<HalvoShell> shell;
};

TEST_F(EmulatorShell, StartsOnTheDisplayWithAHintForNewcomers) {
    ASSERT_TRUE(Start({}));
    // Full screen on the dummy display's one mode, the next one up from 640 x 480.
    EXPECT_FALSE(shell->windowedVariable.value);
    EXPECT_EQ(shell->widthVariable.value, 1024u);
    EXPECT_EQ(shell->heightVariable.value, 768u);
    EXPECT_TRUE(shell->inputContext->visible);
    EXPECT_NE(capture.LastLine().find("loadrom"), std::string::npos);
    EXPECT_FALSE(shell->loaded);
}

// A full-screen request that no mode of the display can satisfy fails at start-up, before anything is
// sized from it (a font for 4294967295 pixels took gigabytes). The driver's tests hold which requests no
// mode satisfies.
TEST_F(EmulatorShell, StartFailsWhenNoModeFitsTheRequest) {
    EXPECT_FALSE(
        Start({"+g_format", "=", "12", "+g_width", "=", "4294967295", "+g_height", "=", "4294967295"}));
    EXPECT_TRUE(HasError("Halvo::Gfx::SdlDriver::SetAdapterConfig", "Could not create SDL renderer."));
    EXPECT_TRUE(HasError("Halvo::HalvoShell::GraphicsApplyState", "Could not set graphics state."));
    EXPECT_FALSE(shell->font || shell->consoleRenderer || shell->canvas);
}

TEST_F(EmulatorShell, ApplyWithNoFittingModeRestoresThePreviousState) {
    ASSERT_TRUE(Start({"+g_windowed", "on"}));
    const std::uint32_t fontHeight = shell->font->height;
    for (const char* size : {"@g_width = 2000", "@g_width = 4294967295"}) {
        capture.Clear();
        for (const char* line : {"@g_windowed off", size, "@g_height = 4294967295", "@g_apply"}) {
            Type(line);
        }
        EXPECT_TRUE(HasError("Halvo::Gfx::SdlDriver::SetAdapterConfig", "Could not create SDL renderer."))
            << size;
        EXPECT_EQ(capture.Lines().at(4), "Attempting to restore previous graphics state.");
        std::uint32_t driver = 0, adapter = 0;
        Gfx::DisplayConfig config;
        ASSERT_TRUE(shell->GraphicsGetState(driver, adapter, config));
        EXPECT_EQ(config, (Gfx::DisplayConfig{640, 480, Gfx::PixelFormat::X8R8G8B8, true, true}));
        EXPECT_TRUE(shell->windowedVariable.value && shell->widthVariable.value == 640u);
        EXPECT_EQ(shell->font->height, fontHeight);
    }
}

TEST_F(EmulatorShell, CommandLineRunsItsLinesInOrderThenLoadsTheRom) {
    // A name with a quote, a blank and a line end is still one file name.
    const std::string odd = Rom("\"lead red\n.nes");
    std::filesystem::copy_file(Rom("red.nes"), odd);
    ASSERT_TRUE(Start({odd, "+g_windowed", "on", "+g_width", "=", "800", "+g_width", "+=", "64", "+echo",
                       "two words", "+g_height", "=", "600"}));
    EXPECT_TRUE(shell->windowedVariable.value);
    EXPECT_EQ(shell->widthVariable.value, 864u);
    EXPECT_EQ(shell->heightVariable.value, 600u);
    const Lines lines = capture.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "two words"), lines.end());
    EXPECT_TRUE(shell->loaded);
    EXPECT_FALSE(shell->inputContext->visible);
}

// A loaded game draws inside the display rectangle and pauses while the window is inactive (the display
// objects come back on the next active turn) or the console open; a resize applies the new size.
TEST_F(EmulatorShell, DrawsTheGameAndPausesWhileInactiveOrInTheConsole) {
    ASSERT_TRUE(Start({"+g_windowed", "on"}));
    Type("loadrom \"" + Rom("red.nes") + "\"");
    ASSERT_TRUE(shell->loaded);
    EXPECT_EQ(capture.LastLine(), Rom("red.nes") + " successfully loaded.");
    // The console the start opened closes by itself after the load.
    shell->inputContext->Update(1.0f);
    EXPECT_FALSE(shell->inputContext->visible);
    // 640 x 480 stretched to 8:7: 548 x 480 from x = 46.
    EXPECT_EQ(shell->displayRect, (Gfx::ScreenRect{46, 0, 594, 480}));
    const std::uint32_t inside = PixelAfterFrame(320, 240);
    EXPECT_GT(inside >> 16, 0x80u); // red
    EXPECT_LT(inside & 0xFFFF, 0x4040u);
    EXPECT_EQ(PixelAfterFrame(20, 240), 0u); // black outside the picture

    const auto counter = [&] { return shell->process->Ram()[0]; };
    const std::uint8_t running = counter();
    Idle();
    EXPECT_NE(counter(), running);
    shell->OnActivate(false);
    EXPECT_FALSE(shell->active);
    const std::uint8_t inactive = counter();
    Idle();
    EXPECT_EQ(counter(), inactive);
    shell->OnActivate(true);
    EXPECT_TRUE(shell->lost);
    Idle();
    EXPECT_FALSE(shell->lost);
    EXPECT_GT(PixelAfterFrame(320, 240) >> 16, 0x80u);

    shell->OnKeyDown(Console::ToggleKey, 0);
    const std::uint8_t inConsole = counter();
    Idle();
    EXPECT_EQ(counter(), inConsole);

    shell->OnResize(800, 600);
    std::uint32_t driverIndex = 0, adapter = 0;
    Gfx::DisplayConfig config;
    ASSERT_TRUE(shell->GraphicsGetState(driverIndex, adapter, config));
    EXPECT_TRUE(config.width == 800 && config.height == 600 && config.windowed);
}

// "loadrom" alone, with no session bus or one that cannot be reached, has no desktop chooser: a list in
// the console takes its place, starting in the current folder and later in the last game's; a letter
// and Enter walk it, Enter on a cartridge loads it and closes the console, ` closes the list.
TEST_F(EmulatorShell, LoadromAloneFallsBackToAListInTheConsole) {
    TestSupport::ScopedEnvironment runtime{"XDG_RUNTIME_DIR", dir.Path().string()};
    TestSupport::ScopedEnvironment noBus{"DBUS_SESSION_BUS_ADDRESS", ""};
    std::filesystem::create_directories(dir.Path("games"));
    std::filesystem::rename(Rom("red.nes"), dir.Path("games/red.nes"));
    ASSERT_TRUE(Start({"+g_windowed", "on"}));
    Type("loadrom");
    ASSERT_TRUE(shell->romChooser.choosing);
    EXPECT_NE(capture.LastLine().find("No desktop file chooser (there is no session bus)"),
              std::string::npos);
    EXPECT_EQ(shell->romChooser.list.folder, dir.Path());
    Idle(); // draws the list
    for (char32_t key : {U'g', U'\n'}) {
        key == U'\n' ? shell->OnKeyDown(Console::EnterKey, 0) : shell->OnKeyDown(0, key);
    }
    EXPECT_EQ(shell->romChooser.list.folder, dir.Path("games"));
    EXPECT_TRUE(shell->inputContext->line.empty()); // the keys were the list's
    shell->OnKeyDown(Console::DownKey, 0);
    shell->OnKeyDown(Console::EnterKey, 0);
    EXPECT_TRUE(shell->loaded);
    EXPECT_FALSE(shell->romChooser.choosing || shell->inputContext->visible);

    TestSupport::ScopedEnvironment deadBus{"DBUS_SESSION_BUS_ADDRESS",
                                           "unix:path=" + dir.Path("no-bus").string()};
    shell->OnKeyDown(Console::ToggleKey, 0);
    Type("loadrom");
    ASSERT_TRUE(shell->romChooser.choosing) << capture.LastLine();
    EXPECT_NE(capture.LastLine().find("the session bus cannot be reached"), std::string::npos);
    EXPECT_EQ(shell->romChooser.list.folder, dir.Path("games"));
    shell->inputContext->Update(1.0f);
    shell->OnKeyDown(Console::ToggleKey, 0);
    EXPECT_FALSE(shell->romChooser.choosing || shell->inputContext->visible);

    // A session bus of its own without a portal on it refuses the request it is sent.
    FILE* daemon = popen("exec dbus-daemon --session --nofork --nopidfile --print-address=1 --print-pid=1 "
                         "2>/dev/null",
                         "r");
    char address[512] = {}, pid[32] = {};
    if (!daemon || !fgets(address, sizeof address, daemon) || !fgets(pid, sizeof pid, daemon)) {
        if (daemon) {
            pclose(daemon);
        }
        GTEST_SKIP() << "dbus-daemon could not be started: the portal's request is not tried";
    }
    address[std::strcspn(address, "\n")] = '\0';
    TestSupport::ScopedEnvironment ownBus{"DBUS_SESSION_BUS_ADDRESS", address};
    shell->OnKeyDown(Console::ToggleKey, 0);
    Type("loadrom");
    ASSERT_TRUE(shell->romChooser.desktop) << capture.LastLine();
    for (int turn = 0; turn < 500 && shell->romChooser.desktop; ++turn) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Idle();
    }
    kill(std::stoi(pid), SIGTERM);
    pclose(daemon);
    EXPECT_TRUE(shell->romChooser.choosing);
    EXPECT_NE(capture.LastLine().find("No desktop file chooser (the desktop portal refused: "),
              std::string::npos)
        << capture.LastLine();
}

// Without a game the commands do nothing; with one, neither a file that cannot be read nor an image
// whose board cannot be built ends the running game.
TEST_F(EmulatorShell, ResetUnloadAndFailedLoadsKeepTheRunningGame) {
    ASSERT_TRUE(Start({}));
    capture.Clear();
    for (const char* line : {"@reset soft", "@reset hard", "@unloadrom"}) {
        Type(line);
    }
    EXPECT_TRUE(capture.Lines().empty());
    Type("@reset sideways");
    EXPECT_EQ(capture.Lines(), (Lines{"Resets the current NES process.", "usage: reset {hard|soft}"}));

    Type("@loadrom " + Rom("red.nes"));
    shell->process->Ram()[0x100] = 7;
    Type("@reset soft");
    EXPECT_EQ(shell->process->Ram()[0x100], 7);
    Type("@reset");
    EXPECT_EQ(shell->process->Ram()[0x100], 0);

    Nes::Process* running = shell->process.Get();
    Nes::RomImage* image = shell->romImage.get();
    dir.Write("foobar.unif", TestSupport::UnifHeader() +
                                 TestSupport::Chunk("MAPR", std::string("NES-FOOBAR\0", 11)) +
                                 TestSupport::Chunk("PRG0", std::string(0x4000, '\xEA')));
    const std::pair<const char*, const char*> failures[] = {
        {"missing.nes", "Could not load NES ROM image file."},
        {"foobar.unif", "Could not create Nes::Process object."},
    };
    for (const auto& [file, lastReport] : failures) {
        capture.Clear();
        Type("@loadrom " + Rom(file));
        EXPECT_TRUE(shell->loaded && shell->process.Get() == running && shell->romImage.get() == image)
            << file;
        ASSERT_FALSE(capture.ErrorLines().empty()) << file;
        EXPECT_TRUE(TestSupport::IsReport(capture.ErrorLines().back(), "Halvo::HalvoShell::NesLoadRomImage",
                                          lastReport))
            << capture.ErrorLines().back();
    }
    EXPECT_EQ(Caption(), "Halvo - red");
    Type("@unloadrom");
    EXPECT_FALSE(shell->loaded);
    EXPECT_EQ(Caption(), "Halvo");
}

// A disk plays with the BIOS from the data folder; the side commands and F8 move the disk, and the
// game runs at fast-forward speed while the drive turns.
TEST_F(EmulatorShell, PlaysDisksWithTheBiosOfTheDataFolder) {
    ASSERT_TRUE(Start({}));
    dir.Write("game.fds", TestSupport::DiskFile(2, true));
    Type("@loadrom game.fds");
    EXPECT_FALSE(shell->loaded);
    ASSERT_FALSE(capture.ErrorLines().empty());
    EXPECT_NE(capture.ErrorLines().back().find("disksys.rom"), std::string::npos);

    const std::vector<std::uint8_t> bios = TestSupport::BiosStub(56);
    std::filesystem::create_directories(dir.Path("data/halvo"));
    dir.Write("data/halvo/disksys.rom", std::string(bios.begin(), bios.end()));
    Type("@nes_region dendy");
    Type("@loadrom game.fds");
    ASSERT_TRUE(shell->loaded);
    EXPECT_EQ(shell->process->region, Nes::Region::Dendy);
    Nes::Fds& drive = static_cast<Nes::Fds&>(shell->process->GetMmc());
    EXPECT_FALSE(shell->inputContext->visible); // the load closed the console
    shell->active = true;
    Idle();
    Idle();
    EXPECT_TRUE(drive.DriveBusy());
    EXPECT_TRUE(shell->fastForward);
    Type("@fds_fastload off");
    Idle();
    EXPECT_FALSE(shell->fastForward);

    EXPECT_EQ(capture.Run("fds_insert 2").back(), "Side 2 inserted.");
    EXPECT_EQ(drive.Side(), 1);
    EXPECT_EQ(capture.Run("fds_insert 3").back(), "The disk image has 2 sides.");
    EXPECT_EQ(capture.Run("fds_eject").back(), "Disk ejected.");
    EXPECT_EQ(drive.Side(), Nes::Fds::NoSide);
    Type("@fds_insert 1");
    Press({"F8"});
    Release({"F8"});
    EXPECT_EQ(drive.Side(), Nes::Fds::NoSide); // out now, side 2 in half a second
}

// (Escape quits too: the window test presses it.)
TEST_F(EmulatorShell, QuitCommandAndScreenshots) {
    ASSERT_TRUE(Start({Rom("green.nes"), "+g_windowed", "on"}));
    shell->active = true;
    // (An unnamed one: F12 in the default keys.)
    Type("@screenshot \"named shot.png\"");
    EXPECT_TRUE(shell->Turn());
    EXPECT_TRUE(std::filesystem::exists(dir.Path("named shot.png")));

    Type("quit");
    EXPECT_FALSE(shell->Turn());
    EXPECT_EQ(bridge->GetExitCode(), 0);
}

// A second of play through SDL's dummy audio; "stats" answers; "s_enabled off" stops the synthesis.
TEST_F(EmulatorShell, PlaysSoundThroughTheAudioDevice) {
    ASSERT_TRUE(Start({Rom("red.nes"), "+g_windowed", "on"}));
    ASSERT_TRUE(shell->audio) << capture.LastLine();
    shell->active = true;
    const double start = shell->GetTimer()->absoluteTime;
    while (shell->GetTimer()->absoluteTime < start + 1.0) {
        ASSERT_TRUE(shell->Turn());
    }
    // How many frames a loaded machine manages is not this test's business: the pacer's tests hold
    // the rate with a fake clock.
    EXPECT_TRUE(shell->process->GetApu().Synthesis());
    EXPECT_GT(shell->stats.EmulatedPerSecond(), 0.0);
    capture.Clear();
    Type("stats");
    EXPECT_EQ(capture.LastLine().rfind("Emulated ", 0), 0u) << capture.LastLine();
    Type("s_enabled off");
    shell->OnIdle();
    EXPECT_FALSE(shell->process->GetApu().Synthesis());
}

// A file dropped onto the window loads as "loadrom" does.
TEST_F(EmulatorShell, DroppedFileLoads) {
    ASSERT_TRUE(Start({Rom("red.nes"), "+g_windowed", "on"}));
    SDL_Event drop{};
    drop.type = SDL_DROPFILE;
    drop.drop.file = SDL_strdup(Rom("green.nes").c_str());
    SDL_PushEvent(&drop);
    ASSERT_TRUE(shell->Turn());
    EXPECT_EQ(Caption(), "Halvo - green");
}

// Bindings run quietly on a press; a "+" action runs once however long the key repeats and ends on
// the release, even when the console opened meanwhile; two keys on one button hold it until both are
// let go; a tap between two frames is still latched once.
TEST_F(EmulatorShell, KeyBindingsRunOnPressAndEndOnRelease) {
    ASSERT_TRUE(Start({Rom("red.nes"), "+g_windowed", "on"}));
    for (const char* line : {"@unbindall", "@bind k \"+p1_a\"", "@bind \"keypad 4\" echo \"four\"",
                             "@bind Ctrl+F1 +p2_start", "@bind J +p1_a"}) {
        Type(line);
    }
    const std::pair<const char*, Lines> answers[] = {
        {"@bind",
         {"bind J \"+p1_a\"", "bind K \"+p1_a\"", "bind \"Keypad 4\" echo \"four\"",
          "bind Ctrl+F1 \"+p2_start\""}},
        {"@bind K", {"bind K \"+p1_a\""}},
        {"@bind Banana x", {"\"Banana\" is not a key name; the README lists them."}},
        {"@bind Escape quit", {"Escape and ` keep their roles (quit, console) and cannot be bound."}},
        {"@unbind F9", {"F9 is not bound."}},
    };
    for (const auto& [line, expected] : answers) {
        EXPECT_EQ(capture.Run(line), expected) << line;
    }

    const auto held = Nes::Joypad::ButtonA;
    Press({"K"});
    Press({"K"}); // a key repeat
    EXPECT_EQ(Latch(), held);
    Press({"J"});
    Release({"K"});
    EXPECT_EQ(Latch(), held);
    Release({"J"});
    EXPECT_EQ(Latch(), 0);
    Press({"K"});
    Release({"K"});
    EXPECT_EQ(Latch(), held);
    EXPECT_EQ(Latch(), 0);
    Press({"K"});
    shell->OnKeyDown(Console::ToggleKey, 0);
    Release({"K"});
    Latch();
    Press({"K"}); // into the console
    EXPECT_EQ(Latch(), 0);
    Release({"K"});
    shell->inputContext->Update(1.0f);
    shell->OnKeyDown(Console::ToggleKey, 0);

    Press({"Left Ctrl", "F1"});
    EXPECT_EQ(Latch(0x4017), Nes::Joypad::ButtonStart);
    Release({"Left Ctrl", "F1"});
    capture.Clear();
    Press({"Keypad 4"});
    EXPECT_EQ(capture.Lines(), Lines{"four"});
    std::string last;
    ASSERT_TRUE(shell->console->GetHistoryLine(0, last));
    EXPECT_EQ(last.find("four"), std::string::npos) << last;
    Type("unbind k");
    Press({"K"});
    EXPECT_EQ(Latch(), 0);
}

// A program that counts its frames at $0001: each NMI runs it from the start again.
void WriteFrameCounter(const std::string& path) {
    TestSupport::RomBuilder rom;
    rom.program = {
        0xE6, 0x01,                   // INC $01
        0xA9, 0x80, 0x8D, 0x00, 0x20, // LDA #$80, STA $2000: NMI on
        0x4C, 0x07, 0x80,             // JMP to itself
    };
    rom.Write(path);
}

// The keys a fresh start binds, each pressed (and held for the check), then let go.
TEST_F(EmulatorShell, DefaultKeys) {
    WriteFrameCounter(Rom("count.nes"));
    ASSERT_TRUE(Start({Rom("count.nes"), "+g_windowed", "on"}));
    shell->active = true;
    const auto frames = [&] {
        const std::uint8_t before = shell->process->Ram()[1];
        for (int turn = 0; turn < 10; ++turn) {
            Idle();
        }
        return static_cast<std::uint8_t>(shell->process->Ram()[1] - before);
    };
    const std::string slot = dir.Path("data/halvo/states/count.0.state").string();
    const struct {
        std::vector<std::string> keys;
        std::function<bool()> held;
    } cases[] = {
        {{"X"}, [&] { return Latch() == Nes::Joypad::ButtonA; }},
        {{"Z"}, [&] { return Latch() == Nes::Joypad::ButtonB; }},
        {{"A", "S"}, [&] { return Latch() == (Nes::Joypad::ButtonSelect | Nes::Joypad::ButtonStart); }},
        {{"Up", "Right"}, [&] { return Latch() == (Nes::Joypad::ButtonUp | Nes::Joypad::ButtonRight); }},
        {{"Down", "Left"}, [&] { return Latch() == (Nes::Joypad::ButtonDown | Nes::Joypad::ButtonLeft); }},
        {{"P"}, [&] { return shell->paused && Caption() == "Halvo - count (paused)" && frames() == 0; }},
        {{"Pause"}, [&] { return !shell->paused && Caption() == "Halvo - count" && frames() >= 9; }},
        {{"Tab"}, [&] { return frames() >= 60 && !shell->process->GetApu().Synthesis(); }},
        {{"F11"}, [&] { return !shell->windowedVariable.value; }},
        {{"Left Alt", "Return"},
         [&] { return shell->windowedVariable.value && shell->widthVariable.value == 640; }},
        {{"F12"}, [&] { return Idle(), std::filesystem::exists(dir.Path("halvo-0000.png")); }},
        {{"F5"}, [&] { return capture.LastLine() == "State saved to " + slot + "."; }},
        {{"F7"}, [&] { return capture.LastLine() == "State loaded from " + slot + "."; }},
        // The count goes back by the 9 to 11 frames of 10 turns.
        {{"Backspace"}, [&] { return static_cast<std::uint8_t>(frames() + 11) <= 2; }},
    };
    for (const auto& c : cases) {
        Press(c.keys);
        EXPECT_TRUE(c.held()) << c.keys[0];
        Release(c.keys);
        EXPECT_EQ(Latch(), 0) << c.keys[0];
    }
    const std::uint8_t normal = frames();
    EXPECT_TRUE(normal >= 9 && normal <= 11) << int{normal};
    EXPECT_TRUE(shell->process->GetApu().Synthesis());

    // Loading, unloading and resetting a game end a pause; without a game there is none.
    for (const char* line : {"@loadrom count.nes", "@reset", "@unloadrom"}) {
        Type("@pause");
        ASSERT_TRUE(shell->paused);
        Type(line);
        EXPECT_FALSE(shell->paused) << line;
    }
    EXPECT_EQ(capture.Run("@pause"), Lines{"No game to pause."});
}

// Backslash ("frame_advance") pauses a running game, then runs one frame a press; the counters and the
// movie's place show in the corner; a movie recorded through the console plays back over the keys, and
// rewind waits until it ends.
TEST_F(EmulatorShell, FrameAdvanceCountersAndMovies) {
    WriteFrameCounter(Rom("count.nes"));
    ASSERT_TRUE(Start({Rom("count.nes"), "+g_windowed", "on"}));
    shell->active = true;
    const auto count = [&] { return shell->process->Ram()[1]; };
    // Turns of the loop until the condition holds (a few frames at most).
    const auto idleUntil = [&](const std::function<bool()>& done) {
        for (int turn = 0; turn < 20 && !done(); ++turn) {
            Idle();
        }
        return done();
    };
    Idle();
    Press({"\\"});
    Release({"\\"});
    EXPECT_TRUE(shell->paused);
    const std::uint8_t before = count();
    Idle();
    Idle();
    EXPECT_EQ(count(), before);
    Press({"\\"});
    Release({"\\"});
    Idle();
    Idle();
    EXPECT_EQ(count(), before + 1);
    // The program never reads the pads: every frame is a lag frame.
    Type("show_counters on");
    Idle();
    const std::string frames = std::to_string(shell->movies.frameCount);
    EXPECT_EQ(shell->messages.Status(),
              "Paused  frame " + frames + ", lag " + frames + "  1:........ 2:........");

    Type("pause");
    Type("movie_record \"take.hmv\"");
    ASSERT_EQ(shell->movies.mode, MovieFunctions::Mode::Recording);
    Press({"X"});
    ASSERT_TRUE(idleUntil([&] { return shell->movies.position >= 2; }));
    Release({"X"});
    ASSERT_TRUE(idleUntil([&] { return shell->movies.position >= 4; }));
    Type("movie_stop");
    Movie taken;
    std::string error;
    ASSERT_TRUE(ReadMovieFile(dir.Path("data/halvo/movies/take.hmv"), taken, error)) << error;
    ASSERT_GE(taken.frames.size(), 4u);
    EXPECT_EQ(taken.frames[0].pads[0], Nes::Joypad::ButtonA);
    EXPECT_EQ(taken.frames.back().pads[0], 0);

    Type("movie_play \"take.hmv\"");
    Press({"Z"});
    ASSERT_TRUE(idleUntil([&] { return shell->movies.position >= 1; }));
    EXPECT_EQ(Latch(), Nes::Joypad::ButtonA) << "the movie's A, not the key's B";
    EXPECT_NE(shell->messages.Status().find("Playing, frame "), std::string::npos)
        << shell->messages.Status();
    Type("+rewind");
    Idle();
    EXPECT_FALSE(shell->rewind.held);
    ASSERT_TRUE(idleUntil([&] { return !shell->movies.Active(); }));
    Idle();
    EXPECT_EQ(Latch(), Nes::Joypad::ButtonB) << "the keys have the game again";
    Release({"Z"});
}

// "writeconfig" and the exit write the variables and bindings; a new start runs them, then autoexec.cfg,
// whose broken line is reported while the rest runs. A folder that cannot be written is reported.
TEST_F(EmulatorShell, SettingsLastFromOneStartToTheNext) {
    ASSERT_TRUE(Start({"+g_windowed", "on", "+unbind", "P", "+bind", "F9", "loadrom \"a b.nes\""}));
    EXPECT_EQ(capture.Run("writeconfig"),
              (Lines{"writeconfig", "Settings written to " + dir.Path("config/halvo/config.cfg").string()}));
    Type("s_volume = 40"); // after the writeconfig: the exit writes it
    const std::map<std::uint32_t, std::string> bound = shell->bindings.All();
    shell->Terminate();
    shell = nullptr;
    dir.Write("config/halvo/autoexec.cfg", "s_latency = 90\nbogus\ns_latency += 10\n");

    shell = HalvoShell::Instance(bridge.Get());
    ASSERT_TRUE(Start({}));
    EXPECT_TRUE(shell->windowedVariable.value);
    EXPECT_EQ(shell->volumeVariable.value, 40u);
    EXPECT_EQ(shell->latencyVariable.value, 100u);
    EXPECT_EQ(shell->bindings.All(), bound);
    // Up brings back what was typed last time, not the lines of the settings files.
    std::string typed;
    ASSERT_TRUE(shell->console->GetHistoryLine(0, typed));
    EXPECT_EQ(typed, "s_volume = 40");
    const Lines lines = capture.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "bogus is not a valid console function or variable."),
              lines.end());

    const TestSupport::ScopedEnvironment unwritable("XDG_CONFIG_HOME", Rom("red.nes"));
    capture.Clear();
    EXPECT_FALSE(shell->WriteConfig());
    EXPECT_TRUE(HasError("Halvo::HalvoShell::WriteConfig", "Could not write the settings file " +
                                                               Rom("red.nes") +
                                                               "/halvo/config.cfg: Not a directory."))
        << capture.LastLine();
}

// SDL's virtual controllers stand for real ones: the first drives joypad 1, the second joypad 2, by
// position (east face button A), with the stick counting from half-way; plugging in and out is said.
TEST_F(EmulatorShell, GamepadsDriveTheJoypads) {
    ASSERT_TRUE(Start({Rom("red.nes"), "+g_windowed", "on"}));
    SDL_VirtualJoystickDesc description{};
    description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    description.naxes = SDL_CONTROLLER_AXIS_MAX;
    description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    description.name = "Test Pad";
    const int first = SDL_JoystickAttachVirtualEx(&description);
    const int second = SDL_JoystickAttachVirtualEx(&description);
    ASSERT_TRUE(first >= 0 && second >= 0) << SDL_GetError();
    SDL_Joystick* pads[] = {SDL_JoystickOpen(first), SDL_JoystickOpen(second)};
    ASSERT_TRUE(pads[0] && pads[1]) << SDL_GetError();
    capture.Clear();
    ASSERT_TRUE(shell->Turn());
    EXPECT_EQ(capture.Lines(), (Lines{"Gamepad connected: Test Pad", "Gamepad connected: Test Pad"}));

    const struct {
        int pad;
        int button; // or -1 for the stick
        Sint16 value;
        std::uint8_t latched1, latched2;
    } steps[] = {
        {0, SDL_CONTROLLER_BUTTON_B, 1, Nes::Joypad::ButtonA, 0},
        {0, -1, -20000, Nes::Joypad::ButtonA | Nes::Joypad::ButtonLeft, 0},
        {0, -1, 10000, Nes::Joypad::ButtonA, 0},
        {0, SDL_CONTROLLER_BUTTON_B, 0, 0, 0},
        {1, SDL_CONTROLLER_BUTTON_A, 1, 0, Nes::Joypad::ButtonB},
        {1, SDL_CONTROLLER_BUTTON_BACK, 1, 0, Nes::Joypad::ButtonB | Nes::Joypad::ButtonSelect},
        {1, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1, 0,
         Nes::Joypad::ButtonB | Nes::Joypad::ButtonSelect | Nes::Joypad::ButtonDown},
    };
    for (const auto& step : steps) {
        SDL_Joystick* pad = pads[step.pad];
        step.button < 0 ? SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, step.value)
                        : SDL_JoystickSetVirtualButton(pad, step.button, static_cast<Uint8>(step.value));
        ASSERT_TRUE(shell->Turn());
        EXPECT_EQ(Latch(0x4016), step.latched1) << step.button;
        EXPECT_EQ(Latch(0x4017), step.latched2) << step.button;
    }
    SDL_JoystickClose(pads[1]);
    capture.Clear();
    ASSERT_EQ(SDL_JoystickDetachVirtual(second), 0) << SDL_GetError();
    ASSERT_TRUE(shell->Turn());
    EXPECT_EQ(capture.Lines(), Lines{"Gamepad disconnected: Test Pad"});
    EXPECT_EQ(Latch(0x4017), 0);
    SDL_JoystickClose(pads[0]);
    SDL_JoystickDetachVirtual(first);
}

// An NSF file plays in the shell: the console names the tune and its track; the joypad's Right and Left
// (the arrow keys) and the nsf_ commands change the track, the last wrapping round to the first.
TEST_F(EmulatorShell, PlaysTheTracksOfAnNsfFile) {
    TestSupport::NsfBuilder nsf;
    nsf.songs = 3;
    nsf.program = {0x60};
    nsf.Write(Rom("tune.nsf"));
    ASSERT_TRUE(Start({Rom("tune.nsf"), "+g_windowed", "on"}));
    const Lines lines = capture.Lines();
    for (const char* line : {"Title: Test Tune", "Artist: Halvo", "Copyright: 2026 Nobody", "Track 1 of 3"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    shell->active = true;
    const auto tap = [&](const char* key) {
        Press({key});
        Idle();
        Release({key});
        Idle();
        return capture.LastLine();
    };
    EXPECT_EQ(tap("Right"), "Track 2 of 3");
    EXPECT_EQ(tap("Left"), "Track 1 of 3");
    EXPECT_EQ(tap("Left"), "Track 3 of 3");
    Type("nsf_track 2");
    EXPECT_EQ(capture.LastLine(), "Track 2 of 3");
    Type("nsf_track 4");
    EXPECT_EQ(capture.LastLine(), "The file has tracks 1 to 3.");
    EXPECT_EQ(static_cast<Nes::Nsf&>(shell->process->GetMmc()).Track(), 2u);
}

// With the console closed, what the bound keys make the console say shows over the picture for a few
// seconds (errors marked), and the game's modes show while they last; "osd off" shows neither, and lines
// written while the console is open are left to it.
TEST_F(EmulatorShell, OnScreenMessagesTellWhatTheKeysDid) {
    ASSERT_TRUE(Start({Rom("red.nes"), "+g_windowed", "on"}));
    shell->messages.Collect(*shell->console, false); // the start's lines are the console's
    const auto texts = [this] {
        shell->messages.Collect(*shell->console, shell->inputContext->visible);
        Lines shown;
        for (const Gfx::ShownMessage& message : shell->messages.Lines()) {
            shown.push_back((message.error ? "error: " : "") + message.text.substr(0, 16));
        }
        return shown;
    };
    Press({"F7"});
    Release({"F7"});
    Press({"F5"});
    Release({"F5"});
    EXPECT_EQ(texts(), (Lines{"error: [Halvo::StateFun", "State saved to /"}));
    Press({"P"});
    Idle();
    EXPECT_EQ(shell->messages.Status(), "Paused");
    Release({"P"});
    shell->messages.Update(OnScreenMessages::Seconds);
    EXPECT_TRUE(texts().empty());

    shell->OnKeyDown(Console::ToggleKey, 0);
    Type("echo typed");
    EXPECT_TRUE(texts().empty());
    shell->inputContext->Update(1.0f);
    shell->OnKeyDown(Console::ToggleKey, 0);
    Type("osd off");
    Press({"F5"});
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(shell->messages.Status(), "");
}

// The picture settings take effect at the next frame: the NTSC filter keeps a flat red red, scan lines
// darken every other row, and the classic colours differ from the decoded ones.
TEST_F(EmulatorShell, PictureFiltersAndPalettesApplyAtOnce) {
    ASSERT_TRUE(Start({Rom("red.nes"), "+g_windowed", "on"}));
    const std::uint32_t composite = PixelAfterFrame(320, 240);
    EXPECT_GT(composite >> 16, 2 * std::max(composite >> 8 & 0xFF, composite & 0xFF));
    Type("g_filter ntsc");
    const Gfx::NesCanvas* plain = shell->canvas.Get();
    const std::uint32_t filtered = PixelAfterFrame(320, 240);
    EXPECT_NE(shell->canvas.Get(), plain);
    for (int shift : {16, 8, 0}) {
        EXPECT_NEAR(static_cast<int>(filtered >> shift & 0xFF), static_cast<int>(composite >> shift & 0xFF),
                    3);
    }
    // The filter works at the width the picture is shown at: a new width makes a canvas of its own.
    const Gfx::NesCanvas* wide = shell->canvas.Get();
    Type("g_integerscale on");
    Idle();
    EXPECT_NE(shell->canvas.Get(), wide);
    Type("g_integerscale off");
    Type("g_filter scanlines");
    std::uint32_t darkest = 0xFF, brightest = 0;
    for (int y = 200; y < 208; ++y) {
        const std::uint32_t red = PixelAfterFrame(320, y) >> 16;
        darkest = std::min(darkest, red);
        brightest = std::max(brightest, red);
    }
    EXPECT_GT(brightest, darkest + 40);
    Type("g_filter none");
    Type("g_palette classic");
    EXPECT_NE(PixelAfterFrame(320, 240), composite);
}

// A paused game shows a loaded state's moment at once; "screenshot raw" writes the game's own 256 x 240
// frame without moving the game on, into the pictures folder when the desktop started Halvo.
TEST_F(EmulatorShell, PausedStatesShowAndRawScreenshotsKeepTheGame) {
    TestSupport::RomBuilder rom;
    rom.program = {
        0xE6, 0x00,                   // loop: INC $00
        0xA9, 0x3F, 0x8D, 0x06, 0x20, // LDA #$3F, STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20, // LDA #$00, STA $2006
        0xA5, 0x10, 0x8D, 0x07, 0x20, // LDA $10, STA $2007: the backdrop is the colour at $0010
        0x4C, 0x00, 0x80,             // JMP loop
    };
    rom.Write(Rom("poke.nes"));
    ASSERT_TRUE(Start({Rom("poke.nes"), "+g_windowed", "on"}));
    const auto red = [](std::uint32_t pixel) { return (pixel >> 16) > 2 * (pixel >> 8 & 0xFF); };
    shell->process->Ram()[0x10] = 0x16;
    ASSERT_TRUE(red(PixelAfterFrame(320, 240)));
    Type("savestate \"red.state\"");
    shell->process->Ram()[0x10] = 0x2A;
    ASSERT_FALSE(red(PixelAfterFrame(320, 240)));
    Type("pause");
    Type("loadstate \"red.state\"");
    EXPECT_TRUE(red(PixelAfterFrame(320, 240)));
    // So does a new canvas (another filter) while it stands still.
    Type("g_filter scanlines");
    EXPECT_TRUE(red(PixelAfterFrame(320, 241)));

    const auto pngSize = [](const std::filesystem::path& file) {
        std::ifstream png(file, std::ios::binary);
        unsigned char header[24] = {};
        png.read(reinterpret_cast<char*>(header), sizeof header);
        return std::pair{header[18] << 8 | header[19], header[22] << 8 | header[23]};
    };
    const std::uint8_t count = shell->process->Ram()[0];
    Type("screenshot raw \"raw.png\"");
    Idle();
    EXPECT_EQ(pngSize(dir.Path("raw.png")), (std::pair{256, 240}));
    EXPECT_EQ(shell->process->Ram()[0], count); // the frame drawn for it was put back
    EXPECT_TRUE(shell->paused);
    TestSupport::ScopedEnvironment pictures{"XDG_PICTURES_DIR", dir.Path("Pictures").string()};
    HalvoShell::startedFromDesktop = true;
    Type("screenshot raw");
    Idle();
    HalvoShell::startedFromDesktop = false;
    EXPECT_EQ(pngSize(dir.Path("Pictures/halvo-0000.png")), (std::pair{256, 240}));
    Type("unloadrom");
    Type("screenshot raw");
    Idle();
    EXPECT_TRUE(HasError("Halvo::HalvoShell::TakeScreenshot", "No game to take a raw screenshot of."));
}

// The window's place and size come back from the settings; a start in full screen leaves it for a
// window of that size, and the place goes into config.cfg as the window moves.
TEST_F(EmulatorShell, TheWindowComesBackWhereItWas) {
    ASSERT_TRUE(Start({"+g_window", "=", "30,40,700,500"}));
    App::Window& window = *shell->GetWindow();
    EXPECT_TRUE(window.placeKnown);
    EXPECT_EQ(window.place.Text(), "30,40,700,500");
    Type("g_togglefullscreen");
    EXPECT_TRUE(shell->windowedVariable.value);
    EXPECT_EQ(shell->widthVariable.value, 700u);
    EXPECT_EQ(shell->heightVariable.value, 500u);
    window.place.rect = {-50, 60, 700, 500};
    ASSERT_TRUE(shell->WriteConfig());
    std::ifstream config(dir.Path("config/halvo/config.cfg"));
    const std::string text((std::istreambuf_iterator<char>(config)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("@g_window = -50,60,700,500\n"), std::string::npos);
    Type("g_window = 1,2,3");
    EXPECT_EQ(shell->windowPlaceVariable.value, "-50,60,700,500");
}

} // namespace
} // namespace Halvo
