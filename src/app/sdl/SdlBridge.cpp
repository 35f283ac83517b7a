#include "app/sdl/SdlBridge.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "app/sdl/PortalFileChooser.h"
#include "app/sdl/SdlTimer.h"
#include "app/sdl/SdlWindow.h"
#include "console/System.h"
#include "gfx/sdl/SdlDriver.h"
#include "sound/sdl/SdlAudioDevice.h"

namespace Halvo::App {

SdlBridge::SdlBridge() {
    // SDL_PollEvent normally stops at the end of the events that were queued when a batch began, so a
    // quit requested while the batch is handled (closing the window, "quit", Escape) would only be seen
    // one turn later, after the shell had already let its window go. Every event is handled in the
    // batch that sees it.
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        throw std::runtime_error(std::string("Could not initialise SDL video. -- ") + SDL_GetError());
    }
    // Without a display SDL falls back to its offscreen driver, which shows nothing: unless it was asked
    // for, that is no display at all.
    const char* videoDriver = SDL_GetCurrentVideoDriver();
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (videoDriver && std::strcmp(videoDriver, "offscreen") == 0 && !(requested && *requested)) {
        SDL_Quit();
        throw std::runtime_error("Could not initialise SDL video. -- No display found (is DISPLAY or "
                                 "WAYLAND_DISPLAY set?)");
    }
    quitEventType = SDL_RegisterEvents(1);
    try {
        AddDriver(Ref::Ptr<Gfx::Driver>(Ref::New<Gfx::SdlDriver>()));
    } catch (const Gfx::DriverUnsupported& unsupported) {
        // A driver with no usable display is left out. Should that leave no driver at all, the start
        // fails later; the reason, written now, comes first in the log.
        Console::ReportError("Halvo::App::SdlBridge::SdlBridge", __LINE__) << unsupported.reason << std::endl;
    } catch (...) {
        SDL_Quit();
        throw;
    }
}

SdlBridge::~SdlBridge() {
    // The drivers hold SDL objects, which must not outlive SDL.
    ReleaseDrivers();
    SDL_Quit();
}

void SdlBridge::DetachWindow(SdlWindow* detached) {
    if (window == detached) {
        window = nullptr;
    }
}

bool SdlBridge::ProcessMessages() {
    bool quit = false;
    SDL_Event event;
    const bool wait = window && !window->IsActive();
    bool pending =
        wait ? SDL_WaitEventTimeout(&event, InactiveWaitMilliseconds) != 0 : SDL_PollEvent(&event) != 0;
    while (pending) {
        if (event.type == quitEventType) {
            // The rest of the batch is still handled; the loop ends after it.
            quit = true;
            exitCode = event.user.code;
        } else if (event.type == SDL_QUIT) {
            quit = true;
            exitCode = 0;
        } else if (window) {
            window->HandleEvent(event);
        }
        pending = SDL_PollEvent(&event) != 0;
    }
    return !quit;
}

void SdlBridge::Quit(std::int32_t code) {
    SDL_Event event{};
    event.type = quitEventType;
    event.user.code = code;
    SDL_PushEvent(&event);
}

Ref::Ptr<Timer> SdlBridge::CreateTimer() {
    return Ref::Ptr<Timer>(Ref::New<SdlTimer>());
}

Ref::Ptr<Window> SdlBridge::CreateWindow(Shell* shell) {
    return Ref::Ptr<Window>(Ref::New<SdlWindow>(shell, this));
}

Ref::Ptr<Sound::AudioDevice> SdlBridge::OpenAudioDevice(std::string& error) {
    return Sound::SdlAudioDevice::Open(error);
}

Ref::Ptr<FileChooser> SdlBridge::OpenFileChooser(const std::string& title, const std::string& folder,
                                                 std::string& error) {
    return PortalFileChooser::Open(title, folder, error);
}

} // namespace Halvo::App
