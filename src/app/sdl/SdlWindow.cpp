#include "app/sdl/SdlWindow.h"

#include <cstring>
#include <stdexcept>
#include <string_view>

#include "app/Shell.h"
#include "app/sdl/SdlBridge.h"
#include "console/ConsoleKey.h"
#include "console/System.h"
#include "console/Utf8.h"
#include "nes/KeyState.h"
#include "ref/Object.h"

namespace Halvo::App {

namespace {

// Video drivers that have no notion of focus never send focus events: a window shown there counts as
// active.
bool DriverHasNoFocus() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

} // namespace

SdlWindow::SdlWindow(Shell* owner, SdlBridge* bridge, Nes::KeyStateTable* keys) : bridge(bridge), keys(keys) {
    shell = owner;
    handle = SDL_CreateWindow("Halvo", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 640, 480,
                              SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!handle) {
        // SDL's reason goes to the console before the failure ends the program.
        Console::System::Instance()->Output() << SDL_GetError() << std::endl;
        throw std::runtime_error("Could not create window.");
    }
    mode = Hidden;
    ApplyMode();
    bridge->AttachWindow(this);
}

SdlWindow::~SdlWindow() {
    bridge->DetachWindow(this);
    if (handle) {
        SDL_DestroyWindow(GetSdlWindow());
    }
}

void SdlWindow::ApplyMode() {
    SDL_Window* sdlWindow = GetSdlWindow();
    if (!sdlWindow) {
        return;
    }
    modeApplied = true;
    switch (mode) {
    case Hidden:
        SDL_HideWindow(sdlWindow);
        break;
    case Windowed:
        SDL_SetWindowFullscreen(sdlWindow, 0);
        // SDL keeps the full-screen size after leaving full screen: set the client size again.
        SDL_SetWindowSize(sdlWindow, static_cast<int>(width), static_cast<int>(height));
        SDL_ShowWindow(sdlWindow);
        break;
    case FullScreen: {
        SDL_DisplayMode requested = fullScreenMode;
        if (requested.w <= 0 || requested.h <= 0) {
            requested = SDL_DisplayMode{};
            requested.w = static_cast<int>(width);
            requested.h = static_cast<int>(height);
        }
        // Without a window manager nobody else moves the window over the display, and SDL ignores the
        // position of a window that is already full screen: place it first.
        SDL_Rect bounds{};
        if (!(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN) &&
            SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(sdlWindow), &bounds) == 0) {
            SDL_SetWindowPosition(sdlWindow, bounds.x, bounds.y);
            SDL_SetWindowSize(sdlWindow, requested.w, requested.h);
        }
        modeApplied = SDL_SetWindowDisplayMode(sdlWindow, &requested) == 0 &&
                      SDL_SetWindowFullscreen(sdlWindow, SDL_WINDOW_FULLSCREEN) == 0;
        SDL_ShowWindow(sdlWindow);
        // A display that cannot switch uses its closest mode: report the mode really in use.
        if (SDL_GetWindowDisplayMode(sdlWindow, &fullScreenMode) == 0) {
            width = static_cast<std::uint32_t>(fullScreenMode.w);
            height = static_cast<std::uint32_t>(fullScreenMode.h);
        }
        break;
    }
    default:
        break;
    }
    SDL_ShowCursor(mode == Windowed ? SDL_ENABLE : SDL_DISABLE);
    if (mode != Hidden && !active && DriverHasNoFocus()) {
        // Delivered with the next batch of events, like a real focus change.
        SDL_Event focus{};
        focus.type = SDL_WINDOWEVENT;
        focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
        focus.window.windowID = SDL_GetWindowID(sdlWindow);
        SDL_PushEvent(&focus);
    }
}

void SdlWindow::UpdateTitle() {
    if (handle) {
        const std::string caption = title.empty() ? std::string("Halvo") : "Halvo - " + title;
        SDL_SetWindowTitle(GetSdlWindow(), caption.c_str());
    }
}

std::uint32_t SdlWindow::ConsoleKeyOf(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_GRAVE:
        return Console::ToggleKey;
    case SDL_SCANCODE_ESCAPE:
        return Console::EscapeKey;
    case SDL_SCANCODE_BACKSPACE:
        return Console::BackspaceKey;
    case SDL_SCANCODE_TAB:
        return Console::TabKey;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
        return Console::EnterKey;
    case SDL_SCANCODE_INSERT:
        return Console::InsertKey;
    case SDL_SCANCODE_DELETE:
        return Console::DeleteKey;
    case SDL_SCANCODE_HOME:
        return Console::HomeKey;
    case SDL_SCANCODE_END:
        return Console::EndKey;
    case SDL_SCANCODE_PAGEUP:
        return Console::PageUpKey;
    case SDL_SCANCODE_PAGEDOWN:
        return Console::PageDownKey;
    case SDL_SCANCODE_LEFT:
        return Console::LeftKey;
    case SDL_SCANCODE_RIGHT:
        return Console::RightKey;
    case SDL_SCANCODE_UP:
        return Console::UpKey;
    case SDL_SCANCODE_DOWN:
        return Console::DownKey;
    default:
        return 0;
    }
}

std::uint32_t SdlWindow::JoypadKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<std::uint32_t>('A' + (key - SDLK_a));
    }
    switch (key) {
    case SDLK_LEFT:
        return Nes::KeyLeftArrow;
    case SDLK_UP:
        return Nes::KeyUpArrow;
    case SDLK_RIGHT:
        return Nes::KeyRightArrow;
    case SDLK_DOWN:
        return Nes::KeyDownArrow;
    default:
        return 0;
    }
}

void SdlWindow::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const bool down = event.type == SDL_KEYDOWN;
        if (const std::uint32_t joypadKey = JoypadKeyOf(event.key.keysym.sym); joypadKey && keys) {
            down ? keys->KeyDown(joypadKey) : keys->KeyUp(joypadKey);
        }
        const std::uint32_t code = ConsoleKeyOf(event.key.keysym.scancode);
        if (code && shell) {
            down ? shell->OnKeyDown(code, 0) : shell->OnKeyUp(code, 0);
        }
        break;
    }
    case SDL_TEXTINPUT: {
        // SDL gives the typed text as UTF-8: each character goes on as its code point. The grave accent
        // toggles the console, and control characters are keys, not text.
        const std::string_view text = event.text.text;
        for (std::size_t at = 0; at < text.size() && shell;) {
            const char32_t c = Console::DecodeUtf8(text, at);
            const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
            const bool unicode = c < 0x110000 && !(c >= 0xD800 && c < 0xE000);
            if (c != '`' && !control && unicode) {
                shell->OnKeyDown(0, c);
            }
        }
        break;
    }
    case SDL_WINDOWEVENT:
        if (handle && event.window.windowID == SDL_GetWindowID(GetSdlWindow())) {
            HandleWindowEvent(event.window);
        }
        break;
    case SDL_DROPFILE:
        // The name is the receiver's to free.
        if (event.drop.file) {
            const std::string file = event.drop.file;
            SDL_free(event.drop.file);
            if (shell) {
                shell->OnDropFile(file);
            }
        }
        break;
    default:
        break;
    }
}

void SdlWindow::HandleWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE: {
        // Terminating the shell releases this window: keep it alive until the event is handled.
        Ref::Ptr<Window> self(this);
        if (shell) {
            shell->Terminate();
        }
        bridge->Quit(0);
        break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (mode == Windowed && shell &&
            (static_cast<std::uint32_t>(event.data1) != width ||
             static_cast<std::uint32_t>(event.data2) != height)) {
            shell->OnResize(static_cast<std::uint32_t>(event.data1), static_cast<std::uint32_t>(event.data2));
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Activate(true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        Activate(false);
        break;
    default:
        break;
    }
}

void SdlWindow::Activate(bool nowActive) {
    if (!nowActive && keys) {
        // Keys released while another window has the focus never send their key-up here.
        keys->ReleaseAll();
    }
    active = nowActive;
    if (shell) {
        shell->OnActivate(nowActive);
    }
}

} // namespace Halvo::App
