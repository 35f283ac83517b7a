#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "gfx/DisplayMode.h"
#include "gfx/PictureWindow.h"
#include "ref/Object.h"

namespace Halvo::App {
class Window;
}

namespace Halvo::Gfx {

class ConsoleRenderer;
class Font;
class NesCanvas;
class PictureFilter;

// Thrown by a driver's construction when it cannot use any display; the bridge leaves such a driver
// out of its list. The text is "unsupported"; `reason` tells the user why.
class DriverUnsupported : public std::runtime_error {
public:
    explicit DriverUnsupported(std::string reason)
        : std::runtime_error("unsupported"), reason(std::move(reason)) {}

    std::string reason;
};

// A graphics driver: it lists display adapters and their modes, takes over the program's window, sets
// an adapter configuration, brackets and presents each frame, and makes the drawing objects.
class Driver : public Ref::Object {
public:
    explicit Driver(std::string name) : name(std::move(name)) {}

    virtual std::uint32_t GetAdapterCount() = 0;
    // False for an index out of range.
    virtual bool GetAdapterInfo(std::uint32_t adapter, AdapterInfo& info) = 0;
    // 0 for an adapter out of range.
    virtual std::uint32_t GetModeCount(std::uint32_t adapter) = 0;
    // False when either index is out of range.
    virtual bool GetMode(std::uint32_t adapter, std::uint32_t mode, DisplayMode& displayMode) = 0;
    // Two optional feature lists per adapter and mode that nothing in the program uses yet.
    virtual std::uint32_t GetFirstFeatureCount(std::uint32_t adapter, std::uint32_t mode) = 0;
    virtual bool GetFirstFeatureName(std::uint32_t adapter, std::uint32_t mode, std::uint32_t entry,
                                     std::string& featureName) = 0;
    virtual std::uint32_t GetSecondFeatureCount(std::uint32_t adapter, std::uint32_t mode) = 0;
    virtual bool GetSecondFeatureName(std::uint32_t adapter, std::uint32_t mode, std::uint32_t entry,
                                      std::string& featureName) = 0;

    // Prepares drawing into the window; called again with another window, it switches windows.
    virtual bool Initiate(App::Window* window) = 0;
    virtual void Terminate() = 0;
    // The configuration in force; false when none is set.
    virtual bool GetAdapterConfig(std::uint32_t& adapter, DisplayConfig& config) = 0;
    virtual bool SetAdapterConfig(std::uint32_t adapter, const DisplayConfig& config) = 0;
    // Re-establishes the configuration in force after the device was lost.
    virtual bool ResetAdapterConfig() = 0;

    virtual bool BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual void Clear(float red, float green, float blue, float alpha) = 0;
    virtual void Present() = 0;

    // Reads back what has been drawn into the back buffer since the last Present, as 8-bit RGB rows
    // top to bottom; false when there is nothing to read. Call it before Present.
    virtual bool CaptureFrame(std::vector<std::uint8_t>& rgb, std::uint32_t& width,
                              std::uint32_t& height) = 0;

    // The back buffer's size in pixels, which on a high-density display is larger than the window's
    // size; false when the driver cannot say (the configuration's size is then the back buffer's).
    virtual bool GetOutputSize(std::uint32_t& width, std::uint32_t& height) {
        (void)width, (void)height;
        return false;
    }

    virtual Ref::Ptr<NesCanvas> CreateNesCanvas() = 0;
    // A canvas whose frames pass through the filter; null (with a report) where the driver cannot make
    // one, and from a driver without filtered canvases.
    virtual Ref::Ptr<NesCanvas> CreateFilteredNesCanvas(std::shared_ptr<PictureFilter> filter);
    virtual Ref::Ptr<Font> CreateFont(const std::string& face, std::uint32_t height, std::uint32_t style) = 0;
    virtual Ref::Ptr<ConsoleRenderer> CreateConsoleRenderer() = 0;
    // A window beside the program's for a debugger's viewer; null where the platform has none.
    virtual Ref::Ptr<PictureWindow> CreatePictureWindow(const std::string& title, std::uint32_t width,
                                                        std::uint32_t height) {
        (void)title;
        (void)width;
        (void)height;
        return nullptr;
    }

    std::string name;
};

} // namespace Halvo::Gfx
