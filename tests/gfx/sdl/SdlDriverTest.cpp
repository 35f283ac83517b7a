#include "gfx/sdl/SdlDriver.h"

#include <functional>
#include <set>
#include <tuple>

#include "app/sdl/SdlWindow.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"
#include "gfx/NesCanvas.h"
#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Gfx::PixelFormat;
using TestSupport::IsReport;

class SdlDriver : public TestSupport::SdlTestDisplay {};

TEST_F(SdlDriver, ListsTheHeadlessDisplayWithItsOneMode) {
    ASSERT_EQ(driver->GetAdapterCount(), 1u);
    Gfx::AdapterInfo info;
    ASSERT_TRUE(driver->GetAdapterInfo(0, info));
    // (The shell's tests show what the capability flags and the desktop format decide.)
    EXPECT_EQ(std::tie(info.description, info.driverName, info.maxWindowWidth, info.maxWindowHeight),
              std::make_tuple("0 (display 0)", "dummy", 1024u, 768u));
    Gfx::DisplayMode mode;
    ASSERT_TRUE(driver->GetModeCount(0) == 1 && driver->GetMode(0, 0, mode));
    EXPECT_EQ(mode, (Gfx::DisplayMode{1024, 768, PixelFormat::X8R8G8B8}));
    EXPECT_FALSE(driver->GetAdapterInfo(1, info) || driver->GetMode(0, 1, mode) ||
                 driver->GetMode(1, 0, mode) || driver->GetModeCount(1) != 0);
}

TEST_F(SdlDriver, WindowedFullScreenAndBackKeepTheRendererAndRestoreTheWindowSize) {
    SDL_Window* sdlWindow = static_cast<App::SdlWindow*>(window.Get())->GetSdlWindow();
    // The window's size and the renderer's output size.
    const auto sizes = [&] {
        int w = 0, h = 0, outW = 0, outH = 0;
        SDL_GetWindowSize(sdlWindow, &w, &h);
        SDL_GetRendererOutputSize(driver->GetRenderer(), &outW, &outH);
        return std::to_string(w) + "x" + std::to_string(h) + ", " + std::to_string(outW) + "x" +
               std::to_string(outH);
    };
    ASSERT_TRUE(Configure(640, 480));
    SDL_Renderer* renderer = driver->GetRenderer();
    EXPECT_EQ(window->mode, App::Window::Windowed);
    EXPECT_EQ(sizes(), "640x480, 640x480");

    const Gfx::DisplayConfig fullScreen{1024, 768, PixelFormat::X8R8G8B8, false, true};
    ASSERT_TRUE(driver->SetAdapterConfig(0, fullScreen));
    EXPECT_EQ(window->mode, App::Window::FullScreen);
    EXPECT_TRUE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(sizes(), "1024x768, 1024x768");
    std::uint32_t adapter = 7;
    Gfx::DisplayConfig config;
    EXPECT_TRUE(driver->GetAdapterConfig(adapter, config) && adapter == 0 && config == fullScreen);

    // The window leaves full screen at its own size; the same display reconfigures the renderer in place.
    ASSERT_TRUE(driver->SetAdapterConfig(0, {800, 600, PixelFormat::R5G6B5, true, false}));
    EXPECT_FALSE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(sizes(), "800x600, 800x600");
    EXPECT_EQ(driver->GetRenderer(), renderer);
    EXPECT_TRUE(capture.ErrorLines().empty());
}

// The headless display has one mode, 1024 x 768 X8R8G8B8. Any other full-screen request fails before the
// window or the renderer changes, and the windowed state stays in force.
TEST_F(SdlDriver, FullScreenTakesOnlyAModeTheDisplayHas) {
    ASSERT_TRUE(Configure(640, 480));
    SDL_Window* sdlWindow = static_cast<App::SdlWindow*>(window.Get())->GetSdlWindow();
    for (const auto& [width, height, format, text] : {
             std::tuple{2000u, 768u, PixelFormat::X8R8G8B8, "2000x768 X8R8G8B8"},
             std::tuple{1024u, 768u, PixelFormat::A8R8G8B8, "1024x768 A8R8G8B8"},
             std::tuple{0xFFFFFFFFu, 0xFFFFFFFFu, PixelFormat::X8R8G8B8, "4294967295x4294967295 X8R8G8B8"},
         }) {
        capture.Clear();
        EXPECT_FALSE(driver->SetAdapterConfig(0, {width, height, format, false, true})) << text;
        const std::vector<std::string> errors = capture.ErrorLines();
        ASSERT_EQ(errors.size(), 2u) << text;
        EXPECT_TRUE(
            IsReport(errors[0], "Halvo::Gfx::SdlDriver::SetAdapterConfig", "Could not create SDL renderer."));
        EXPECT_EQ(errors[1], "The display has no " + std::string(text) + " mode.");
        EXPECT_FALSE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN);
        std::uint32_t adapter = 0;
        Gfx::DisplayConfig config;
        EXPECT_TRUE(driver->GetAdapterConfig(adapter, config) && config.width == 640 && config.windowed);
    }
}

TEST_F(SdlDriver, ConfigurationFailuresAreReported) {
    struct OtherWindow : App::Window {
        void ApplyMode() override {}
        void UpdateTitle() override {}
    } other;
    // No window yet, a window that is not SDL's, an adapter that does not exist.
    const std::tuple<App::Window*, std::uint32_t, const char*> attempts[] = {
        {nullptr, 0, "Invalid window object."},
        {&other, 0, "Invalid window object."},
        {window.Get(), 3, "Invalid adapter. [adapter = 3]"},
    };
    for (const auto& [target, adapter, message] : attempts) {
        if (target) {
            ASSERT_TRUE(driver->Initiate(target));
        }
        EXPECT_FALSE(driver->SetAdapterConfig(adapter, {640, 480, PixelFormat::X8R8G8B8, true, false}));
        EXPECT_TRUE(IsReport(capture.LastLine(), "Halvo::Gfx::SdlDriver::SetAdapterConfig", message))
            << capture.LastLine();
    }
    std::uint32_t adapter = 0;
    Gfx::DisplayConfig current;
    EXPECT_FALSE(driver->GetAdapterConfig(adapter, current));
    driver->Terminate();
}

TEST_F(SdlDriver, ResetAndFactoriesReportWhatTheyLack) {
    const std::vector<std::pair<std::string, std::function<bool()>>> operations = {
        {"ResetAdapterConfig", [&] { return driver->ResetAdapterConfig(); }},
        {"CreateNesCanvas", [&] { return driver->CreateNesCanvas() != nullptr; }},
        {"CreateFont", [&] { return driver->CreateFont("Courier New", 16, 0) != nullptr; }},
        {"CreateConsoleRenderer", [&] { return driver->CreateConsoleRenderer() != nullptr; }},
    };
    // Before Initiate, before a configuration, and then working.
    const std::pair<const char*, std::function<bool()>> steps[] = {
        {"Graphics driver not initiated.", [&] { return driver->Initiate(window.Get()); }},
        {"No adapter configuration set.",
         [&] {
             return driver->SetAdapterConfig(0, {320, 240, PixelFormat::X8R8G8B8, true, false});
         }},
        {"", [] { return true; }},
    };
    for (const auto& [lack, next] : steps) {
        // Each report names the line of its own statement, not that of a helper they share.
        std::set<std::string> reportLines;
        for (const auto& [name, call] : operations) {
            capture.Clear();
            EXPECT_EQ(call(), *lack == '\0') << name;
            EXPECT_TRUE(capture.HoldsOnly("Halvo::Gfx::SdlDriver::" + name, lack)) << name;
            const std::string line = capture.LastLine();
            if (const std::size_t number = line.find("]["); number != std::string::npos) {
                reportLines.insert(line.substr(number + 2, line.find(']', number + 2) - number - 2));
            }
        }
        EXPECT_EQ(reportLines.size(), *lack ? operations.size() : 0) << lack;
        ASSERT_TRUE(next());
    }
    driver->Terminate();
    EXPECT_FALSE(driver->BeginScene());
}

// The bridge leaves out a driver that cannot use any display by the exception's type, and writes its
// reason where the user looks first.
TEST(SdlDriverWithoutVideo, IsUnsupportedAndSaysWhy) {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    try {
        Gfx::SdlDriver driver;
        ADD_FAILURE() << "a driver was made without video";
    } catch (const Gfx::DriverUnsupported& unsupported) {
        EXPECT_STREQ(unsupported.what(), "unsupported");
        EXPECT_EQ(unsupported.reason.rfind("Could not initialise SDL video. -- ", 0), 0u)
            << unsupported.reason;
    }
    TestSupport::UseHeadlessSdl();
}

} // namespace
} // namespace Halvo
