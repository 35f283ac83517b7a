#pragma once

#include <string>

#include <SDL.h>

#include "gfx/PictureWindow.h"

namespace Halvo::Gfx {

// A viewer's window: an SDL window with a renderer and a streaming texture of the picture's size,
// shown twice as large. Its close button is seen through an event watch, since the program's own
// event loop only looks at the game's window.
class SdlPictureWindow : public PictureWindow {
public:
    // Throws std::runtime_error with SDL's reason when the window cannot be made.
    SdlPictureWindow(const std::string& title, std::uint32_t width, std::uint32_t height);
    ~SdlPictureWindow() override;
    SdlPictureWindow(const SdlPictureWindow&) = delete;
    SdlPictureWindow& operator=(const SdlPictureWindow&) = delete;

    void Show(const DebugPicture& picture) override;
    bool Closed() const override { return closed; }

private:
    static int WatchEvents(void* self, SDL_Event* event);

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::uint32_t textureWidth = 0;
    std::uint32_t textureHeight = 0;
    bool closed = false;
};

} // namespace Halvo::Gfx
