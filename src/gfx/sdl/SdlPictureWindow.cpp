#include "gfx/sdl/SdlPictureWindow.h"

#include <stdexcept>

namespace Halvo::Gfx {

SdlPictureWindow::SdlPictureWindow(const std::string& title, std::uint32_t width, std::uint32_t height) {
    // A viewer that took the focus would stop the game, which runs only while its own window is active.
    const char* const activation = SDL_GetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN);
    const std::string previous = activation ? activation : "";
    SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "1");
    window =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                         static_cast<int>(width * 2), static_cast<int>(height * 2), SDL_WINDOW_RESIZABLE);
    SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, activation ? previous.c_str() : nullptr);
    if (window) {
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (!renderer) {
            renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        }
    }
    if (!window || !renderer) {
        const std::string reason = SDL_GetError();
        if (window) {
            SDL_DestroyWindow(window);
        }
        throw std::runtime_error("Could not open the viewer's window: " + reason);
    }
    SDL_AddEventWatch(&WatchEvents, this);
}

SdlPictureWindow::~SdlPictureWindow() {
    SDL_DelEventWatch(&WatchEvents, this);
    if (texture) {
        SDL_DestroyTexture(texture);
    }
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
}

int SdlPictureWindow::WatchEvents(void* self, SDL_Event* event) {
    auto* viewer = static_cast<SdlPictureWindow*>(self);
    if (event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_CLOSE &&
        event->window.windowID == SDL_GetWindowID(viewer->window)) {
        viewer->closed = true;
    }
    return 1;
}

void SdlPictureWindow::Show(const DebugPicture& picture) {
    if (picture.width == 0 || picture.height == 0) {
        return;
    }
    if (!texture || textureWidth != picture.width || textureHeight != picture.height) {
        if (texture) {
            SDL_DestroyTexture(texture);
        }
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                    static_cast<int>(picture.width), static_cast<int>(picture.height));
        textureWidth = picture.width;
        textureHeight = picture.height;
        if (!texture) {
            return;
        }
    }
    SDL_UpdateTexture(texture, nullptr, picture.pixels.data(), static_cast<int>(picture.width * 4));
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

} // namespace Halvo::Gfx
