#include "gfx/sdl/SdlDriver.h"

#include <functional>

#include "app/sdl/SdlWindow.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"
#include "gfx/NesCanvas.h"
#include "gfx/sdl/SdlFormats.h"
#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Gfx::PixelFormat;
using TestSupport::IsReport;

class SdlDriver : public TestSupport::SdlTestDisplay {};

TEST_F(SdlDriver, ListsTheHeadlessDisplayWithItsOneMode) {
    EXPECT_EQ(driver->name, "SDL");
    ASSERT_EQ(driver->GetAdapterCount(), 1u);
    Gfx::AdapterInfo info;
    ASSERT_TRUE(driver->GetAdapterInfo(0, info));
    EXPECT_EQ(info.index, 0u);
    EXPECT_EQ(info.description, "0 (display 0)");
    EXPECT_EQ(info.driverName, "dummy");
    EXPECT_TRUE(info.canRenderWindowed);
    EXPECT_TRUE(info.canSyncRetrace); // the software renderer can wait for the retrace
    EXPECT_TRUE(info.canStretch);
    EXPECT_EQ(info.desktopFormat, PixelFormat::X8R8G8B8);
    EXPECT_TRUE(info.desktopUsable);
    EXPECT_EQ(info.maxWindowWidth, 1024u);
    EXPECT_EQ(info.maxWindowHeight, 768u);

    ASSERT_EQ(driver->GetModeCount(0), 1u);
    Gfx::DisplayMode mode;
    ASSERT_TRUE(driver->GetMode(0, 0, mode));
    EXPECT_EQ(mode, (Gfx::DisplayMode{1024, 768, PixelFormat::X8R8G8B8}));

    EXPECT_FALSE(driver->GetAdapterInfo(1, info));
    EXPECT_EQ(driver->GetModeCount(1), 0u);
    EXPECT_FALSE(driver->GetMode(0, 1, mode));
    EXPECT_FALSE(driver->GetMode(1, 0, mode));
}

TEST_F(SdlDriver, WindowedFullScreenAndBackKeepTheRendererAndRestoreTheWindowSize) {
    auto* sdlWindow = static_cast<App::SdlWindow*>(window.Get())->GetSdlWindow();
    ASSERT_TRUE(Configure(640, 480));
    SDL_Renderer* renderer = driver->GetRenderer();
    ASSERT_NE(renderer, nullptr);
    int w = 0, h = 0;
    SDL_GetWindowSize(sdlWindow, &w, &h);
    EXPECT_EQ(window->mode, App::Window::Windowed);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    SDL_GetRendererOutputSize(renderer, &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);

    const Gfx::DisplayConfig fullScreen{1024, 768, PixelFormat::X8R8G8B8, false, true};
    ASSERT_TRUE(driver->SetAdapterConfig(0, fullScreen));
    EXPECT_EQ(window->mode, App::Window::FullScreen);
    EXPECT_TRUE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(driver->GetRenderer(), renderer) << "the same display reconfigures the renderer in place";
    SDL_GetRendererOutputSize(renderer, &w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    std::uint32_t adapter = 7;
    Gfx::DisplayConfig config;
    ASSERT_TRUE(driver->GetAdapterConfig(adapter, config));
    EXPECT_EQ(adapter, 0u);
    EXPECT_EQ(config, fullScreen);

    ASSERT_TRUE(driver->SetAdapterConfig(0, {800, 600, PixelFormat::R5G6B5, true, false}));
    EXPECT_FALSE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN);
    SDL_GetWindowSize(sdlWindow, &w, &h);
    EXPECT_EQ(w, 800) << "the window leaves full screen at its own size";
    EXPECT_EQ(h, 600);
    SDL_GetRendererOutputSize(driver->GetRenderer(), &w, &h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(driver->GetRenderer(), renderer);
    EXPECT_TRUE(capture.ErrorLines().empty());
}

TEST_F(SdlDriver, ClearIgnoresAlphaAndTruncatesComponents) {
    ASSERT_TRUE(Configure(64, 64));
    ASSERT_TRUE(driver->BeginScene());
    driver->Clear(1.0f, 0.0f, 0.0f, 0.5f);
    EXPECT_EQ(ReadPixel(10, 10), 0xFFFF0000u);
    driver->Clear(0.5f, 0.25f, 1.0f, 0.0f);
    EXPECT_EQ(ReadPixel(63, 63), 0xFF7F3FFFu); // 127.5 and 63.75 truncate
    driver->EndScene();
    driver->Present();
}

TEST_F(SdlDriver, ConfigurationFailuresAreReported) {
    const Gfx::DisplayConfig config{640, 480, PixelFormat::X8R8G8B8, true, false};
    const std::string operation = "Halvo::Gfx::SdlDriver::SetAdapterConfig";

    EXPECT_FALSE(driver->SetAdapterConfig(0, config)) << "no window before Initiate";
    EXPECT_TRUE(IsReport(capture.LastLine(), operation, "Invalid window object.")) << capture.LastLine();

    // A window that is not SDL's is refused.
    struct OtherWindow : App::Window {
        void ApplyMode() override {}
        void UpdateTitle() override {}
    } other;
    ASSERT_TRUE(driver->Initiate(&other));
    EXPECT_FALSE(driver->SetAdapterConfig(0, config));
    EXPECT_TRUE(IsReport(capture.LastLine(), operation, "Invalid window object.")) << capture.LastLine();

    ASSERT_TRUE(driver->Initiate(window.Get()));
    EXPECT_FALSE(driver->SetAdapterConfig(3, config));
    EXPECT_TRUE(IsReport(capture.LastLine(), operation, "Invalid adapter. [adapter = 3]"))
        << capture.LastLine();
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
    for (const auto& [name, call] : operations) {
        capture.Clear();
        EXPECT_FALSE(call()) << name;
        EXPECT_TRUE(
            IsReport(capture.LastLine(), "Halvo::Gfx::SdlDriver::" + name, "Graphics driver not initiated."))
            << capture.LastLine();
    }
    ASSERT_TRUE(driver->Initiate(window.Get()));
    for (const auto& [name, call] : operations) {
        capture.Clear();
        EXPECT_FALSE(call()) << name;
        EXPECT_TRUE(
            IsReport(capture.LastLine(), "Halvo::Gfx::SdlDriver::" + name, "No adapter configuration set."))
            << capture.LastLine();
    }
    ASSERT_TRUE(driver->SetAdapterConfig(0, {320, 240, PixelFormat::X8R8G8B8, true, false}));
    for (const auto& [name, call] : operations) {
        capture.Clear();
        EXPECT_TRUE(call()) << name;
        EXPECT_TRUE(capture.ErrorLines().empty()) << name << ": " << capture.LastLine();
    }
    driver->Terminate();
    EXPECT_FALSE(driver->BeginScene());
}

// SDL reports a reset render device: the driver makes a new renderer, and the canvas and font, whose
// textures went with the old one, draw again once they are reset.
TEST_F(SdlDriver, ResetAdapterConfigMakesANewRendererOnlyAfterADeviceReset) {
    ASSERT_TRUE(Configure(320, 240));
    Ref::Ptr<Gfx::NesCanvas> canvas = driver->CreateNesCanvas();
    Ref::Ptr<Gfx::Font> font = driver->CreateFont("Courier New", 16, 0);
    ASSERT_TRUE(canvas && font);
    SDL_Renderer* before = driver->GetRenderer();
    EXPECT_TRUE(driver->ResetAdapterConfig());
    EXPECT_EQ(driver->GetRenderer(), before);

    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    ASSERT_TRUE(driver->ResetAdapterConfig());
    ASSERT_NE(driver->GetRenderer(), nullptr);
    EXPECT_FALSE(canvas->BeginFrame());
    EXPECT_FALSE(font->Begin());
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    canvas->Draw({0, 0, 256, 224});
    font->DrawText({0, 0, 100, 20}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "MM", 0, Gfx::ToEnd);
    EXPECT_EQ(ReadPixel(5, 5), 0xFF000000u);

    ASSERT_TRUE(font->Reset());
    ASSERT_TRUE(canvas->Reset());
    ASSERT_TRUE(font->Begin());
    Ref::Ptr<Gfx::NesRenderer> frame = canvas->BeginFrame();
    ASSERT_TRUE(frame);
    canvas->EndFrame();
    font->DrawText({0, 0, 100, 20}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "MM", 0, Gfx::ToEnd);
    int inked = 0;
    for (Uint32 pixel : ReadPixels(0, 0, 20, 20)) {
        inked += (pixel & 0xFFFFFF) != 0 ? 1 : 0;
    }
    EXPECT_GT(inked, 10);
    EXPECT_TRUE(capture.ErrorLines().empty());
}

// Without any display to list, the bridge must leave the driver out: construction says "unsupported".
TEST(SdlDriverWithoutDisplays, ConstructionThrowsUnsupported) {
    const char* previous = std::getenv("SDL_VIDEODRIVER");
    const std::string restore = previous ? previous : "";
    setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    try {
        Ref::Ptr<Gfx::SdlDriver> driver(Ref::New<Gfx::SdlDriver>());
        ADD_FAILURE() << "a driver without displays was made";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "unsupported");
    }
    if (restore.empty()) {
        unsetenv("SDL_VIDEODRIVER");
    } else {
        setenv("SDL_VIDEODRIVER", restore.c_str(), 1);
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "the failed listing leaves SDL as it found it";
}

// The display formats convert by name; texture formats only where the memory layout is the same.
TEST(SdlFormats, ConvertDisplayAndTextureFormats) {
    struct Row {
        Uint32 sdl;
        PixelFormat display;
        PixelFormat texture;
    };
    // clang-format off
    const Row rows[] = {
        {SDL_PIXELFORMAT_RGB565,   PixelFormat::R5G6B5,   PixelFormat::R5G6B5},
        {SDL_PIXELFORMAT_RGB24,    PixelFormat::R8G8B8,   PixelFormat::Unknown},
        {SDL_PIXELFORMAT_BGR24,    PixelFormat::Unknown,  PixelFormat::R8G8B8},
        {SDL_PIXELFORMAT_RGB888,   PixelFormat::X8R8G8B8, PixelFormat::X8R8G8B8},
        {SDL_PIXELFORMAT_ARGB8888, PixelFormat::A8R8G8B8, PixelFormat::A8R8G8B8},
        {SDL_PIXELFORMAT_ABGR8888, PixelFormat::Unknown,  PixelFormat::Unknown},
        {SDL_PIXELFORMAT_YV12,     PixelFormat::Unknown,  PixelFormat::Unknown},
    };
    // clang-format on
    for (const Row& row : rows) {
        EXPECT_EQ(Gfx::PixelFormatOfDisplay(row.sdl), row.display) << SDL_GetPixelFormatName(row.sdl);
        EXPECT_EQ(Gfx::PixelFormatOfTexture(row.sdl), row.texture) << SDL_GetPixelFormatName(row.sdl);
    }
}

} // namespace
} // namespace Halvo
