#include <SDL.h>

#include <gtest/gtest.h>

#include "app/Keys.h"
#include "app/Shell.h"
#include "app/sdl/SdlBridge.h"
#include "app/sdl/SdlWindow.h"
#include "console/Utf8.h"
#include "support/ConsoleCapture.h"
#include "support/HeadlessSdl.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

class RecordingShell : public App::Shell {
public:
    using Shell::Shell;
    bool OnInitiate(const std::vector<std::string>&) override { return true; }
    void OnTerminate() override { calls.push_back("terminate"); }
    void OnIdle() override {}
    void OnActivate(bool active) override { calls.push_back(active ? "active" : "inactive"); }
    void OnResize(std::uint32_t w, std::uint32_t h) override {
        calls.push_back("resize " + std::to_string(w) + "x" + std::to_string(h));
    }
    void OnKeyDown(std::uint32_t key, char32_t c) override {
        calls.push_back(key ? "down " + std::to_string(key) : "char " + Console::EncodeUtf8(c));
    }
    void OnKeyUp(std::uint32_t key, char32_t) override { calls.push_back("up " + std::to_string(key)); }
    void OnKeyboardKey(std::uint32_t key, bool down) override {
        calls.push_back(App::NameOfKey(key) + (down ? " down" : " up"));
    }
    Lines calls;
};

class SdlPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::UseHeadlessSdl();
        try {
            bridge = Ref::New<App::SdlBridge>();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "SDL cannot start here: " << e.what();
        }
        shell = Ref::New<RecordingShell>(bridge.Get());
        ASSERT_TRUE(shell->Initiate({}));
        window = static_cast<App::SdlWindow*>(shell->GetWindow());
    }
    void TearDown() override {
        if (shell) {
            shell->Terminate();
        }
        shell = nullptr;
        bridge = nullptr;
    }

    void PushKey(Uint32 type, SDL_Scancode scancode, SDL_Keycode key) {
        SDL_Event event{};
        event.type = type;
        event.key.keysym = {scancode, key, 0, 0};
        SDL_PushEvent(&event);
    }
    void PushWindowEvent(Uint8 kind, int width = 0, int height = 0) {
        SDL_Event event{};
        const Uint32 id = SDL_GetWindowID(window->GetSdlWindow());
        event.window = {SDL_WINDOWEVENT, 0, id, kind, 0, 0, 0, width, height};
        SDL_PushEvent(&event);
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<App::SdlBridge> bridge;
    Ref::Ptr<RecordingShell> shell;
    App::SdlWindow* window = nullptr;
};

TEST_F(SdlPlatform, KeysBecomeConsoleCodesCharactersAndBindableKeys) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    // UTF-8 from the keyboard: a, e acute, pound sign, a control character, a stray byte, b.
    SDL_strlcpy(text.text.text,
                "`a \xC3\xA9\xC2\xA3\x7F\xFF"
                "b",
                sizeof text.text.text);
    SDL_PushEvent(&text);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER);
    PushKey(SDL_KEYUP, SDL_SCANCODE_DOWN, SDLK_DOWN);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F5, SDLK_F5); // not a console key, but bindable
    PushKey(SDL_KEYUP, SDL_SCANCODE_X, SDLK_x);
    EXPECT_TRUE(bridge->ProcessMessages());
    EXPECT_EQ(shell->calls,
              (Lines{"down 1", "` down", "char a", "char  ", "char \xC3\xA9", "char \xC2\xA3", "char b",
                     "down 5", "Keypad Enter down", "up 15", "Down up", "F5 down", "X up"}));

    // A quit in the middle of a batch lets the rest through.
    shell->calls.clear();
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN);
    bridge->Quit(5);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    EXPECT_FALSE(bridge->ProcessMessages());
    EXPECT_EQ(bridge->GetExitCode(), 5);
    EXPECT_EQ(shell->calls, (Lines{"down 5", "Return down", "down 2", "Escape down"}));
}

// The key names the bindings take are SDL's names of the keys the window delivers, and every key code of
// the window has a name.
TEST(SdlKeyNames, AreSdlsOwn) {
    const auto window = App::SdlWindow::KeyTable();
    ASSERT_EQ(window.size(), App::KeyNames().size());
    for (const auto& [sdlKey, code] : window) {
        EXPECT_EQ(App::NameOfKey(code), SDL_GetKeyName(sdlKey)) << code;
        EXPECT_EQ(App::SdlWindow::KeyCodeOf(sdlKey), code);
    }
}

TEST_F(SdlPlatform, WindowEventsReachTheShell) {
    window->width = 800;
    window->height = 600;
    window->mode = App::Window::Windowed;
    window->ApplyMode();
    shell->calls.clear();
    PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600); // the size it has: nothing
    PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1000, 700);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_TRUE(bridge->ProcessMessages());
    // The dummy display has no focus: showing the window made it active first.
    EXPECT_EQ(shell->calls, (Lines{"active", "resize 1000x700", "inactive"}));

    shell->calls.clear();
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    EXPECT_FALSE(bridge->ProcessMessages());
    EXPECT_EQ(bridge->GetExitCode(), 0);
    EXPECT_EQ(shell->calls, (Lines{"terminate"}));
}

// A display that cannot switch to the size asked for uses its closest mode; the window reports the size
// really in use, which the picture must be laid out for.
TEST_F(SdlPlatform, FullScreenReportsTheModeInUse) {
    window->width = 800;
    window->height = 600;
    window->mode = App::Window::FullScreen;
    window->ApplyMode();
    EXPECT_TRUE(window->IsModeApplied());
    EXPECT_EQ(std::to_string(window->width) + "x" + std::to_string(window->height), "1024x768");
}

} // namespace
} // namespace Halvo
