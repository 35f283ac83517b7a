#include "app/sdl/SdlWindow.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "app/Keys.h"
#include "app/Shell.h"
#include "app/sdl/SdlBridge.h"
#include "console/ConsoleKey.h"
#include "console/System.h"
#include "console/Utf8.h"
#include "ref/Object.h"

namespace Halvo::App {

namespace {

// Video drivers that have no notion of focus never send focus events: a window shown there counts as
// active.
bool DriverHasNoFocus() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

using SdlKey = std::pair<SDL_Keycode, std::uint32_t>;

constexpr SdlKey FixedKeys[] = {
    {SDLK_BACKSPACE, KeyBackspace},
    {SDLK_TAB, KeyTab},
    {SDLK_RETURN, KeyReturn},
    {SDLK_PAUSE, KeyPause},
    {SDLK_CAPSLOCK, 0x14},
    {SDLK_ESCAPE, KeyEscape},
    {SDLK_SPACE, KeySpace},
    {SDLK_PAGEUP, 0x21},
    {SDLK_PAGEDOWN, 0x22},
    {SDLK_END, 0x23},
    {SDLK_HOME, 0x24},
    {SDLK_LEFT, KeyLeft},
    {SDLK_UP, KeyUp},
    {SDLK_RIGHT, KeyRight},
    {SDLK_DOWN, KeyDown},
    {SDLK_PRINTSCREEN, 0x2C},
    {SDLK_INSERT, 0x2D},
    {SDLK_DELETE, 0x2E},
    {SDLK_LGUI, 0x5B},
    {SDLK_RGUI, 0x5C},
    {SDLK_APPLICATION, 0x5D},
    {SDLK_KP_0, 0x60},
    {SDLK_KP_1, 0x61},
    {SDLK_KP_2, 0x62},
    {SDLK_KP_3, 0x63},
    {SDLK_KP_4, 0x64},
    {SDLK_KP_5, 0x65},
    {SDLK_KP_6, 0x66},
    {SDLK_KP_7, 0x67},
    {SDLK_KP_8, 0x68},
    {SDLK_KP_9, 0x69},
    {SDLK_KP_MULTIPLY, 0x6A},
    {SDLK_KP_PLUS, 0x6B},
    {SDLK_KP_MINUS, 0x6D},
    {SDLK_KP_PERIOD, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F},
    {SDLK_NUMLOCKCLEAR, 0x90},
    {SDLK_SCROLLLOCK, 0x91},
    {SDLK_LSHIFT, KeyLeftShift},
    {SDLK_RSHIFT, KeyRightShift},
    {SDLK_LCTRL, KeyLeftCtrl},
    {SDLK_RCTRL, KeyRightCtrl},
    {SDLK_LALT, KeyLeftAlt},
    {SDLK_RALT, KeyRightAlt},
    {SDLK_SEMICOLON, 0xBA},
    {SDLK_EQUALS, 0xBB},
    {SDLK_COMMA, 0xBC},
    {SDLK_MINUS, 0xBD},
    {SDLK_PERIOD, 0xBE},
    {SDLK_SLASH, 0xBF},
    {SDLK_BACKQUOTE, KeyGrave},
    {SDLK_LEFTBRACKET, 0xDB},
    {SDLK_BACKSLASH, 0xDC},
    {SDLK_RIGHTBRACKET, 0xDD},
    {SDLK_QUOTE, 0xDE},
    {SDLK_KP_ENTER, KeyKeypadEnter},
};

constexpr std::size_t SdlKeyCount = std::size(FixedKeys) + 10 + 26 + 12;

// SDL's character keys are their lower-case characters, its function keys consecutive.
constexpr std::array<SdlKey, SdlKeyCount> BuildKeyTable() {
    std::array<SdlKey, SdlKeyCount> table{};
    std::size_t at = 0;
    for (const SdlKey& key : FixedKeys) {
        table[at++] = key;
    }
    for (std::uint32_t i = 0; i < 10; ++i) {
        table[at++] = {static_cast<SDL_Keycode>(SDLK_0 + i), '0' + i};
    }
    for (std::uint32_t i = 0; i < 26; ++i) {
        table[at++] = {static_cast<SDL_Keycode>(SDLK_a + i), 'A' + i};
    }
    for (std::uint32_t i = 0; i < 12; ++i) {
        table[at++] = {static_cast<SDL_Keycode>(SDLK_F1 + i), KeyF1 + i};
    }
    return table;
}

constexpr std::array<SdlKey, SdlKeyCount> KeyCodes = BuildKeyTable();

} // namespace

SdlWindow::SdlWindow(Shell* owner, SdlBridge* bridge) : bridge(bridge) {
    shell = owner;
    handle = SDL_CreateWindow("Halvo", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 640, 480,
                              SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
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
        if (appliedMode != Windowed) {
            RestorePlace();
        }
        SDL_ShowWindow(sdlWindow);
        place.rect.width = static_cast<std::int32_t>(width);
        place.rect.height = static_cast<std::int32_t>(height);
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
    appliedMode = mode;
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

double SdlWindow::RefreshRate() {
    SDL_DisplayMode shown{};
    const int display = SDL_GetWindowDisplayIndex(GetSdlWindow());
    const bool known = mode == FullScreen ? SDL_GetWindowDisplayMode(GetSdlWindow(), &shown) == 0
                                          : display >= 0 && SDL_GetCurrentDisplayMode(display, &shown) == 0;
    return known ? shown.refresh_rate : 0;
}

void SdlWindow::RestorePlace() {
    if (!placeKnown) {
        return;
    }
    std::vector<WindowPlace::Rect> displays;
    for (int display = 0; display < SDL_GetNumVideoDisplays(); ++display) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(display, &bounds) == 0) {
            displays.push_back({bounds.x, bounds.y, bounds.w, bounds.h});
        }
    }
    WindowPlace wanted = place;
    wanted.rect.width = static_cast<std::int32_t>(width);
    wanted.rect.height = static_cast<std::int32_t>(height);
    if (wanted.Reachable(displays)) {
        SDL_SetWindowPosition(GetSdlWindow(), place.rect.x, place.rect.y);
    } else {
        SDL_SetWindowPosition(GetSdlWindow(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
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

std::uint32_t SdlWindow::KeyCodeOf(SDL_Keycode key) {
    for (const SdlKey& entry : KeyCodes) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    return 0;
}

std::span<const std::pair<SDL_Keycode, std::uint32_t>> SdlWindow::KeyTable() {
    return KeyCodes;
}

void SdlWindow::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const bool down = event.type == SDL_KEYDOWN;
        if (down && !event.key.repeat && shell) {
            // SDL stamps its events in milliseconds of SDL_GetTicks.
            const Uint32 now = SDL_GetTicks();
            shell->OnInputAge(now >= event.key.timestamp ? (now - event.key.timestamp) / 1000.0 : 0.0);
        }
        const std::uint32_t code = ConsoleKeyOf(event.key.keysym.scancode);
        if (code && shell) {
            down ? shell->OnKeyDown(code, 0) : shell->OnKeyUp(code, 0);
        }
        if (const std::uint32_t key = KeyCodeOf(event.key.keysym.sym); key && shell) {
            shell->OnKeyboardKey(key, down);
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
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
        gamepads.HandleEvent(event, shell);
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
    case SDL_WINDOWEVENT_MOVED:
        // Full screen moves the window to the display's corner: that is not its place.
        if (mode == Windowed && !(SDL_GetWindowFlags(GetSdlWindow()) & SDL_WINDOW_FULLSCREEN)) {
            place.rect.x = event.data1;
            place.rect.y = event.data2;
            place.rect.width = static_cast<std::int32_t>(width);
            place.rect.height = static_cast<std::int32_t>(height);
            placeKnown = true;
        }
        break;
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        if (shell) {
            shell->OnDisplayChanged();
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
    active = nowActive;
    if (shell) {
        shell->OnActivate(nowActive);
    }
}

} // namespace Halvo::App
