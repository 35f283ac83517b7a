#include "gfx/sdl/SdlDriver.h"

#include <algorithm>
#include <new>
#include <source_location>
#include <stdexcept>
#include <strings.h>

#include "app/sdl/SdlWindow.h"
#include "console/System.h"
#include "gfx/sdl/SdlConsoleRenderer.h"
#include "gfx/sdl/SdlError.h"
#include "gfx/sdl/SdlFilteredNesCanvas.h"
#include "gfx/sdl/SdlFont.h"
#include "gfx/sdl/SdlFormats.h"
#include "gfx/sdl/SdlNesCanvas.h"
#include "gfx/sdl/SdlPictureWindow.h"

namespace Halvo::Gfx {

namespace {

SDL_Window* SdlWindowOf(App::Window* window) {
    auto* sdlWindow = dynamic_cast<App::SdlWindow*>(window);
    return sdlWindow ? sdlWindow->GetSdlWindow() : nullptr;
}

// Whether a renderer that waits for the vertical retrace can be made: the renderer the
// SDL_RENDER_DRIVER hint names, or, without a usable hint, any renderer SDL has.
bool RendererCanSyncRetrace() {
    const char* hint = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    const int count = SDL_GetNumRenderDrivers();
    for (const bool byHint : {true, false}) {
        bool named = false;
        for (int index = 0; index < count; ++index) {
            SDL_RendererInfo info{};
            if (SDL_GetRenderDriverInfo(index, &info) != 0) {
                continue;
            }
            if (byHint && (!hint || !info.name || strcasecmp(hint, info.name) != 0)) {
                continue;
            }
            named = true;
            if (info.flags & SDL_RENDERER_PRESENTVSYNC) {
                return true;
            }
        }
        if (named) {
            return false;
        }
    }
    return false;
}

// Runs a factory's construction, turning exceptions into the factory's report: a standard exception
// gives a null result; an allocation failure, or anything that is not a standard exception, is reported
// and passed on. The report carries the line of the call.
template <class Make>
auto Guarded(const char* operation, const char* prefix, Make make,
             const std::source_location where = std::source_location::current()) -> decltype(make()) {
    const auto line = static_cast<int>(where.line());
    try {
        return make();
    } catch (const std::bad_alloc& e) {
        Console::ReportError(operation, line) << prefix << e.what() << std::endl;
        throw;
    } catch (const std::exception& e) {
        Console::ReportError(operation, line) << prefix << e.what() << std::endl;
        return nullptr;
    } catch (...) {
        Console::ReportError(operation, line) << prefix << "unknown exception." << std::endl;
        throw;
    }
}

} // namespace

SdlDriver::SdlDriver() : Driver("SDL"), device(Ref::New<SdlDevice>()) {
    // Listing needs the video subsystem; hold it for the listing only.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        throw DriverUnsupported(std::string("Could not initialise SDL video. -- ") + SDL_GetError());
    }
    const int displays = SDL_GetNumVideoDisplays();
    for (int displayIndex = 0; displayIndex < displays; ++displayIndex) {
        Adapter adapter;
        if (ListDisplay(displayIndex, adapter)) {
            adapter.info.index = static_cast<std::uint32_t>(adapters.size());
            adapters.push_back(std::move(adapter));
        }
    }
    UpdateWindowLimits();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (adapters.empty()) {
        throw DriverUnsupported("SDL finds no display with a usable mode.");
    }
}

SdlDriver::~SdlDriver() {
    SdlDriver::Terminate();
}

bool SdlDriver::ListDisplay(int displayIndex, Adapter& adapter) const {
    const int modeCount = SDL_GetNumDisplayModes(displayIndex);
    for (int index = 0; index < modeCount; ++index) {
        SDL_DisplayMode sdlMode{};
        if (SDL_GetDisplayMode(displayIndex, index, &sdlMode) != 0 || sdlMode.w <= 0 || sdlMode.h <= 0) {
            continue;
        }
        const DisplayMode mode{static_cast<std::uint32_t>(sdlMode.w), static_cast<std::uint32_t>(sdlMode.h),
                               PixelFormatOfDisplay(sdlMode.format)};
        // Modes that differ only in refresh rate are one mode here.
        if (mode.format == PixelFormat::Unknown ||
            std::find(adapter.modes.begin(), adapter.modes.end(), mode) != adapter.modes.end()) {
            continue;
        }
        adapter.modes.push_back(mode);
    }
    if (adapter.modes.empty()) {
        return false;
    }
    std::sort(adapter.modes.begin(), adapter.modes.end());

    adapter.displayIndex = displayIndex;
    AdapterInfo& info = adapter.info;
    const char* driverName = SDL_GetCurrentVideoDriver();
    info.driverName = driverName ? driverName : "";
    // Display names repeat (two monitors of one model): the index tells them apart.
    const char* displayName = SDL_GetDisplayName(displayIndex);
    info.description = std::string(displayName ? displayName : "Display") + " (display " +
                       std::to_string(displayIndex) + ")";
    info.canRenderWindowed = true;
    info.canSyncRetrace = RendererCanSyncRetrace();
    info.canStretch = true;
    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(displayIndex, &desktop) == 0) {
        info.desktopFormat = PixelFormatOfDisplay(desktop.format);
    }
    info.desktopUsable = info.desktopFormat != PixelFormat::Unknown;
    return true;
}

void SdlDriver::UpdateWindowLimits() {
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_Window* sdlWindow = SdlWindowOf(window.Get());
    // Without a window, or before the window manager has framed it, the borders count as nothing.
    if (!sdlWindow || SDL_GetWindowBordersSize(sdlWindow, &top, &left, &bottom, &right) != 0) {
        top = left = bottom = right = 0;
    }
    for (Adapter& adapter : adapters) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayUsableBounds(adapter.displayIndex, &bounds) == 0) {
            adapter.info.maxWindowWidth = static_cast<std::uint32_t>(std::max(bounds.w - left - right, 0));
            adapter.info.maxWindowHeight = static_cast<std::uint32_t>(std::max(bounds.h - top - bottom, 0));
        }
    }
}

std::uint32_t SdlDriver::GetAdapterCount() {
    return static_cast<std::uint32_t>(adapters.size());
}

bool SdlDriver::GetAdapterInfo(std::uint32_t adapter, AdapterInfo& info) {
    if (adapter >= adapters.size()) {
        return false;
    }
    info = adapters[adapter].info;
    return true;
}

std::uint32_t SdlDriver::GetModeCount(std::uint32_t adapter) {
    return adapter < adapters.size() ? static_cast<std::uint32_t>(adapters[adapter].modes.size()) : 0;
}

bool SdlDriver::GetMode(std::uint32_t adapter, std::uint32_t mode, DisplayMode& displayMode) {
    if (adapter >= adapters.size() || mode >= adapters[adapter].modes.size()) {
        return false;
    }
    displayMode = adapters[adapter].modes[mode];
    return true;
}

std::uint32_t SdlDriver::GetFirstFeatureCount(std::uint32_t, std::uint32_t) {
    return 1;
}

bool SdlDriver::GetFirstFeatureName(std::uint32_t, std::uint32_t, std::uint32_t entry,
                                    std::string& featureName) {
    if (entry != 0) {
        return false;
    }
    featureName = "None";
    return true;
}

std::uint32_t SdlDriver::GetSecondFeatureCount(std::uint32_t, std::uint32_t) {
    return 1;
}

bool SdlDriver::GetSecondFeatureName(std::uint32_t, std::uint32_t, std::uint32_t entry,
                                     std::string& featureName) {
    if (entry != 0) {
        return false;
    }
    featureName = "None";
    return true;
}

bool SdlDriver::Initiate(App::Window* newWindow) {
    if (!videoHeld) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            Console::ReportError("Halvo::Gfx::SdlDriver::Initiate", __LINE__)
                << "Could not initialise SDL video. -- " << SDL_GetError() << std::endl;
            return false;
        }
        videoHeld = true;
    }
    if (!watching) {
        SDL_AddEventWatch(&SdlDriver::WatchEvents, this);
        watching = true;
    }
    if (window.Get() != newWindow) {
        // A renderer belongs to one window: the next configuration makes one for the new window.
        device->Destroy();
        window = newWindow;
    }
    UpdateWindowLimits();
    return true;
}

void SdlDriver::Terminate() {
    device->Destroy();
    deviceResetPending = false;
    if (watching) {
        SDL_DelEventWatch(&SdlDriver::WatchEvents, this);
        watching = false;
    }
    if (videoHeld) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoHeld = false;
    }
    window = nullptr;
}

int SdlDriver::WatchEvents(void* driver, SDL_Event* event) {
    if (event->type == SDL_RENDER_DEVICE_RESET) {
        static_cast<SdlDriver*>(driver)->deviceResetPending = true;
    }
    return 0;
}

bool SdlDriver::GetAdapterConfig(std::uint32_t& adapter, DisplayConfig& config) {
    if (!device->renderer) {
        return false;
    }
    adapter = currentAdapter;
    config = currentConfig;
    return true;
}

bool SdlDriver::FindDisplayMode(int displayIndex, const DisplayConfig& config, SDL_DisplayMode& found) {
    // SDL lists the highest refresh rate of a size first.
    const int modeCount = SDL_GetNumDisplayModes(displayIndex);
    for (int index = 0; index < modeCount; ++index) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(displayIndex, index, &mode) == 0 && mode.w >= 0 && mode.h >= 0 &&
            static_cast<std::uint32_t>(mode.w) == config.width &&
            static_cast<std::uint32_t>(mode.h) == config.height &&
            PixelFormatOfDisplay(mode.format) == config.format) {
            found = mode;
            return true;
        }
    }
    return false;
}

void SdlDriver::MoveWindowToDisplay(SDL_Window* sdlWindow, int displayIndex) {
    if (SDL_GetWindowDisplayIndex(sdlWindow) == displayIndex) {
        return;
    }
    // A full-screen window is tied to its display: leave full screen before moving.
    if (SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowFullscreen(sdlWindow, 0);
    }
    SDL_SetWindowPosition(sdlWindow, SDL_WINDOWPOS_CENTERED_DISPLAY(displayIndex),
                          SDL_WINDOWPOS_CENTERED_DISPLAY(displayIndex));
}

void SdlDriver::ApplyVSync() {
    // Like a device without the retrace interval, a renderer that cannot wait presents at once.
    const bool wait = currentConfig.vsync && adapters[currentAdapter].info.canSyncRetrace;
    SDL_RenderSetVSync(device->renderer, wait ? 1 : 0);
}

bool SdlDriver::SetAdapterConfig(std::uint32_t adapter, const DisplayConfig& config) {
    constexpr const char* Operation = "Halvo::Gfx::SdlDriver::SetAdapterConfig";
    SDL_Window* sdlWindow = SdlWindowOf(window.Get());
    if (!sdlWindow) {
        Console::ReportError(Operation, __LINE__) << "Invalid window object." << std::endl;
        return false;
    }
    if (!videoHeld) {
        Console::ReportError(Operation, __LINE__) << "Graphics driver not initiated." << std::endl;
        return false;
    }
    AdapterInfo info;
    if (!GetAdapterInfo(adapter, info)) {
        Console::ReportError(Operation, __LINE__)
            << "Invalid adapter. [adapter = " << adapter << "]" << std::endl;
        return false;
    }
    const int displayIndex = adapters[adapter].displayIndex;
    if (config.windowed) {
        if (!info.canRenderWindowed) {
            Console::ReportError(Operation, __LINE__)
                << "Display adapter cannot render in windowed mode." << std::endl;
            return false;
        }
        if (!info.desktopUsable) {
            Console::ReportError(Operation, __LINE__)
                << "Desktop display mode is incompatible with SDL." << std::endl;
            return false;
        }
        MoveWindowToDisplay(sdlWindow, displayIndex);
        // The window takes the size after the renderer exists, below.
        window->mode = App::Window::Windowed;
        window->width = config.width;
        window->height = config.height;
    } else {
        // Only a mode the display has can be set: SDL would quietly take the nearest one and leave the
        // picture, the font and the console laid out for a screen that does not exist.
        SDL_DisplayMode mode{};
        if (!FindDisplayMode(displayIndex, config, mode)) {
            Console::ReportError(Operation, __LINE__)
                << "Could not create SDL renderer.\n"
                << "The display has no " << config.width << "x" << config.height << " "
                << GetFormatName(config.format) << " mode." << std::endl;
            return false;
        }
        MoveWindowToDisplay(sdlWindow, displayIndex);
        auto* fullScreenWindow = static_cast<App::SdlWindow*>(window.Get());
        fullScreenWindow->mode = App::Window::FullScreen;
        fullScreenWindow->width = config.width;
        fullScreenWindow->height = config.height;
        fullScreenWindow->fullScreenMode = mode;
        fullScreenWindow->ApplyMode();
        if (!fullScreenWindow->IsModeApplied()) {
            ReportSdlError(Operation, __LINE__, "Could not create SDL renderer.");
            return false;
        }
    }

    // On the same display the renderer follows the window's new size and mode by itself; another
    // display, or a render device that SDL reset, needs a new one.
    if (device->renderer && (currentAdapter != adapter || deviceResetPending)) {
        device->Destroy();
    }
    if (!device->renderer) {
        deviceResetPending = false;
        if (!device->Create(sdlWindow)) {
            ReportSdlError(Operation, __LINE__, "Could not create SDL renderer.");
            return false;
        }
    }
    if (config.windowed) {
        window->ApplyMode();
        UpdateWindowLimits();
    }
    currentAdapter = adapter;
    currentConfig = config;
    if (!config.windowed) {
        // What the display really switched to, which the rest of the picture must be laid out for.
        const auto* fullScreenWindow = static_cast<const App::SdlWindow*>(window.Get());
        currentConfig.width = fullScreenWindow->width;
        currentConfig.height = fullScreenWindow->height;
        if (const PixelFormat format = PixelFormatOfDisplay(fullScreenWindow->fullScreenMode.format);
            format != PixelFormat::Unknown) {
            currentConfig.format = format;
        }
    }
    ApplyVSync();
    return true;
}

bool SdlDriver::ResetAdapterConfig() {
    constexpr const char* Operation = "Halvo::Gfx::SdlDriver::ResetAdapterConfig";
    if (!videoHeld) {
        Console::ReportError(Operation, __LINE__) << "Graphics driver not initiated." << std::endl;
        return false;
    }
    if (!device->renderer) {
        Console::ReportError(Operation, __LINE__) << "No adapter configuration set." << std::endl;
        return false;
    }
    // SDL never loses a renderer on its own; only a reset render device takes its textures.
    if (!deviceResetPending) {
        return true;
    }
    deviceResetPending = false;
    if (!device->Create(SdlWindowOf(window.Get()))) {
        ReportSdlError(Operation, __LINE__, "Could not reset device.");
        return false;
    }
    ApplyVSync();
    return true;
}

bool SdlDriver::BeginScene() {
    return device->renderer != nullptr;
}

void SdlDriver::EndScene() {}

void SdlDriver::Clear(float red, float green, float blue, float) {
    if (!device->renderer) {
        return;
    }
    // The alpha argument is not used: the back buffer is always cleared opaque.
    SDL_SetRenderDrawColor(device->renderer, ColorByte(red), ColorByte(green), ColorByte(blue), 0xFF);
    SDL_RenderClear(device->renderer);
}

void SdlDriver::Present() {
    if (device->renderer) {
        SDL_RenderPresent(device->renderer);
    }
}

bool SdlDriver::CaptureFrame(std::vector<std::uint8_t>& rgb, std::uint32_t& width, std::uint32_t& height) {
    int w = 0;
    int h = 0;
    if (!device->renderer || SDL_GetRendererOutputSize(device->renderer, &w, &h) != 0 || w <= 0 || h <= 0) {
        return false;
    }
    rgb.resize(static_cast<std::size_t>(w) * h * 3);
    if (SDL_RenderReadPixels(device->renderer, nullptr, SDL_PIXELFORMAT_RGB24, rgb.data(), w * 3) != 0) {
        return false;
    }
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
    return true;
}

bool SdlDriver::CanCreate(const char* operation, int line) {
    if (!videoHeld) {
        Console::ReportError(operation, line) << "Graphics driver not initiated." << std::endl;
        return false;
    }
    if (!device->renderer) {
        Console::ReportError(operation, line) << "No adapter configuration set." << std::endl;
        return false;
    }
    return true;
}

Ref::Ptr<NesCanvas> SdlDriver::CreateNesCanvas() {
    constexpr const char* Operation = "Halvo::Gfx::SdlDriver::CreateNesCanvas";
    if (!CanCreate(Operation, __LINE__)) {
        return nullptr;
    }
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(device->renderer, &info) != 0) {
        ReportSdlError(Operation, __LINE__, "Could not get device capabilities.");
        return nullptr;
    }
    // SDL has no paletted textures: take the first format the renderer offers that a canvas can write.
    Uint32 textureFormat = SDL_PIXELFORMAT_UNKNOWN;
    PixelFormat format = PixelFormat::Unknown;
    for (Uint32 index = 0; index < info.num_texture_formats; ++index) {
        const PixelFormat candidate = PixelFormatOfTexture(info.texture_formats[index]);
        const std::int32_t bits = GetBitsPerPixel(candidate);
        if (bits == 16 || bits == 24 || bits == 32) {
            textureFormat = info.texture_formats[index];
            format = candidate;
            break;
        }
    }
    if (format == PixelFormat::Unknown) {
        Console::ReportError(Operation, __LINE__)
            << "Adapter does not support compatible texture format." << std::endl;
        return nullptr;
    }
    Ref::Ptr<NesCanvas> canvas = Guarded(Operation, "Could not create NES canvas object--", [&] {
        Ref::Ptr<NesCanvas> made;
        switch (GetBitsPerPixel(format)) {
        case 16:
            made = Ref::New<SdlNesCanvas<unsigned short, 1>>(format, device, textureFormat);
            break;
        case 24:
            made = Ref::New<SdlNesCanvas<unsigned int, 2>>(format, device, textureFormat);
            break;
        default:
            made = Ref::New<SdlNesCanvas<unsigned int, 3>>(format, device, textureFormat);
            break;
        }
        return made;
    });
    if (!canvas || !canvas->Reset()) {
        return nullptr;
    }
    return canvas;
}

Ref::Ptr<NesCanvas> SdlDriver::CreateFilteredNesCanvas(std::shared_ptr<PictureFilter> filter) {
    constexpr const char* Operation = "Halvo::Gfx::SdlDriver::CreateFilteredNesCanvas";
    if (!CanCreate(Operation, __LINE__)) {
        return nullptr;
    }
    Ref::Ptr<NesCanvas> canvas = Guarded(Operation, "Could not create NES canvas object--", [&] {
        return Ref::Ptr<NesCanvas>(Ref::New<SdlFilteredNesCanvas>(device, std::move(filter)));
    });
    if (!canvas || !canvas->Reset()) {
        return nullptr;
    }
    return canvas;
}

Ref::Ptr<Font> SdlDriver::CreateFont(const std::string& face, std::uint32_t height, std::uint32_t style) {
    constexpr const char* Operation = "Halvo::Gfx::SdlDriver::CreateFont";
    if (!CanCreate(Operation, __LINE__)) {
        return nullptr;
    }
    Ref::Ptr<Font> font = Guarded(Operation, "Could not create font object--", [&] {
        return Ref::Ptr<Font>(Ref::New<SdlFont>(face, height, style, device));
    });
    if (!font || !font->Reset()) {
        return nullptr;
    }
    return font;
}

Ref::Ptr<PictureWindow> SdlDriver::CreatePictureWindow(const std::string& title, std::uint32_t width,
                                                       std::uint32_t height) {
    return Guarded("Halvo::Gfx::SdlDriver::CreatePictureWindow", "Could not create the viewer--",
                   [&] { return Ref::Ptr<PictureWindow>(Ref::New<SdlPictureWindow>(title, width, height)); });
}

Ref::Ptr<ConsoleRenderer> SdlDriver::CreateConsoleRenderer() {
    constexpr const char* Operation = "Halvo::Gfx::SdlDriver::CreateConsoleRenderer";
    if (!CanCreate(Operation, __LINE__)) {
        return nullptr;
    }
    Ref::Ptr<ConsoleRenderer> renderer = Guarded(Operation, "Could not create console display object--", [&] {
        return Ref::Ptr<ConsoleRenderer>(Ref::New<SdlConsoleRenderer>(device));
    });
    if (!renderer || !renderer->Reset()) {
        return nullptr;
    }
    return renderer;
}

bool SdlDriver::GetOutputSize(std::uint32_t& width, std::uint32_t& height) {
    int w = 0;
    int h = 0;
    if (!device->renderer || SDL_GetRendererOutputSize(device->renderer, &w, &h) != 0 || w <= 0 || h <= 0) {
        return false;
    }
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
    return true;
}

} // namespace Halvo::Gfx
