#include "shell/HalvoShell.h"

#include <algorithm>

#include <SDL.h>

#include <gtest/gtest.h>

#include "app/sdl/SdlBridge.h"
#include "console/ConsoleKey.h"
#include "gfx/sdl/SdlDriver.h"
#include "nes/rom/RomFiles.h"
#include "support/ConsoleCapture.h"
#include "support/HeadlessSdl.h"
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

    TestSupport::TempDir dir;
    TestSupport::CurrentDir here{dir.Path()};
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
// sized from it (a font for 4294967295 pixels took gigabytes).
class StartUpRequest : public EmulatorShell,
                       public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(StartUpRequest, NoModeFitsSoTheStartFails) {
    EXPECT_FALSE(Start(GetParam()));
    EXPECT_TRUE(HasError("Halvo::Gfx::SdlDriver::SetAdapterConfig", "Could not create SDL renderer."));
    EXPECT_TRUE(HasError("Halvo::HalvoShell::GraphicsApplyState", "Could not set graphics state."));
    EXPECT_FALSE(shell->font || shell->consoleRenderer || shell->canvas);
}

using Words = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    GraphicsState, StartUpRequest,
    ::testing::Values(Words{"+g_format", "=", "12", "+g_width", "=", "2000", "+g_height", "=", "768"},
                      Words{"+g_format", "=", "13", "+g_width", "=", "1024", "+g_height", "=", "768"},
                      Words{"+g_format", "=", "12", "+g_width", "=", "4294967295", "+g_height", "=",
                            "4294967295"}));

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
    // Close the console the start opened, once it has finished sliding open.
    shell->inputContext->Update(1.0f);
    shell->inputContext->OnKey(Console::ToggleKey, 0);
    shell->inputContext->Update(1.0f);
    // 640 x 480 stretched to 8:7: 548 x 480 from x = 46.
    EXPECT_EQ(shell->displayRect, (Gfx::ScreenRect{46, 0, 594, 480}));
    const std::uint32_t inside = PixelAfterFrame(320, 240);
    EXPECT_GT(inside >> 16, 0x80u); // red
    EXPECT_LT(inside & 0xFFFF, 0x4040u);
    EXPECT_EQ(PixelAfterFrame(20, 240), 0u); // black outside the picture

    const auto counter = [&] { return shell->process->ram[0]; };
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
    shell->process->ram[0x100] = 7;
    Type("@reset soft");
    EXPECT_EQ(shell->process->ram[0x100], 7);
    Type("@reset");
    EXPECT_EQ(shell->process->ram[0x100], 0);

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

// (Escape quits too: the window test presses it.)
TEST_F(EmulatorShell, QuitCommandAndScreenshots) {
    ASSERT_TRUE(Start({Rom("green.nes"), "+g_windowed", "on"}));
    shell->active = true;
    for (const char* line : {"@screenshot", "@screenshot \"named shot.png\""}) {
        Type(line);
        EXPECT_TRUE(shell->Turn());
    }
    EXPECT_TRUE(std::filesystem::exists(dir.Path("halvo-0000.png")));
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
    EXPECT_TRUE(shell->process->apu->Synthesis());
    EXPECT_GT(shell->stats.EmulatedPerSecond(), 0.0);
    capture.Clear();
    Type("stats");
    EXPECT_EQ(capture.LastLine().rfind("Emulated ", 0), 0u) << capture.LastLine();
    Type("s_enabled off");
    shell->OnIdle();
    EXPECT_FALSE(shell->process->apu->Synthesis());
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

} // namespace
} // namespace Halvo
