#pragma once

#include <vector>

#include <SDL.h>

#include "app/Window.h"
#include "gfx/Driver.h"
#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

// The graphics driver over SDL2 (name "SDL"). An adapter is an SDL video display; the device is an SDL
// renderer for the program's window.
class SdlDriver : public Driver {
public:
    // Lists the displays and their modes. Needs SDL's video subsystem; throws DriverUnsupported when
    // SDL's video cannot start or no display has a usable mode.
    SdlDriver();
    ~SdlDriver() override;

    SdlDriver(const SdlDriver&) = delete;
    SdlDriver& operator=(const SdlDriver&) = delete;

    std::uint32_t GetAdapterCount() override;
    bool GetAdapterInfo(std::uint32_t adapter, AdapterInfo& info) override;
    std::uint32_t GetModeCount(std::uint32_t adapter) override;
    bool GetMode(std::uint32_t adapter, std::uint32_t mode, DisplayMode& displayMode) override;
    std::uint32_t GetFirstFeatureCount(std::uint32_t adapter, std::uint32_t mode) override;
    bool GetFirstFeatureName(std::uint32_t adapter, std::uint32_t mode, std::uint32_t entry,
                             std::string& featureName) override;
    std::uint32_t GetSecondFeatureCount(std::uint32_t adapter, std::uint32_t mode) override;
    bool GetSecondFeatureName(std::uint32_t adapter, std::uint32_t mode, std::uint32_t entry,
                              std::string& featureName) override;

    bool Initiate(App::Window* window) override;
    void Terminate() override;
    bool GetAdapterConfig(std::uint32_t& adapter, DisplayConfig& config) override;
    bool SetAdapterConfig(std::uint32_t adapter, const DisplayConfig& config) override;
    bool ResetAdapterConfig() override;

    bool BeginScene() override;
    void EndScene() override;
    void Clear(float red, float green, float blue, float alpha) override;
    void Present() override;
    bool CaptureFrame(std::vector<std::uint8_t>& rgb, std::uint32_t& width, std::uint32_t& height) override;
    // SDL_GetRendererOutputSize: the window's drawable, in the display's own pixels.
    bool GetOutputSize(std::uint32_t& width, std::uint32_t& height) override;

    Ref::Ptr<NesCanvas> CreateNesCanvas() override;
    Ref::Ptr<NesCanvas> CreateFilteredNesCanvas(std::shared_ptr<PictureFilter> filter) override;
    Ref::Ptr<Font> CreateFont(const std::string& face, std::uint32_t height, std::uint32_t style) override;
    Ref::Ptr<ConsoleRenderer> CreateConsoleRenderer() override;
    Ref::Ptr<PictureWindow> CreatePictureWindow(const std::string& title, std::uint32_t width,
                                                std::uint32_t height) override;

    // The renderer in use, null before a configuration is set. For tests and benchmarks that read the
    // picture back.
    SDL_Renderer* GetRenderer() const { return device->renderer; }

private:
    struct Adapter {
        int displayIndex = 0; // SDL's display index
        AdapterInfo info;
        std::vector<DisplayMode> modes;
    };

    static int WatchEvents(void* driver, SDL_Event* event);

    // Reads a display's modes and capabilities; false when it has no usable mode.
    bool ListDisplay(int displayIndex, Adapter& adapter) const;
    // The largest client area of a window on each display, now that the window's borders are known.
    void UpdateWindowLimits();
    // The display's SDL mode that is the configuration's full-screen mode; false when it has none.
    static bool FindDisplayMode(int displayIndex, const DisplayConfig& config, SDL_DisplayMode& found);
    // Moves the window onto the display unless it is already there.
    void MoveWindowToDisplay(SDL_Window* sdlWindow, int displayIndex);
    void ApplyVSync();
    // The common preconditions of the three factories; reports under the operation name with the
    // caller's line.
    bool CanCreate(const char* operation, int line);

    std::vector<Adapter> adapters;
    Ref::Ptr<App::Window> window;
    // Set by Initiate: this driver's hold on SDL's video subsystem.
    bool videoHeld = false;
    bool watching = false;
    Ref::Ptr<SdlDevice> device;
    std::uint32_t currentAdapter = 0;
    DisplayConfig currentConfig;
    // SDL reported that the render device was reset: the renderer must be made again.
    bool deviceResetPending = false;
};

} // namespace Halvo::Gfx
