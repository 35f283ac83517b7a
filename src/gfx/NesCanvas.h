#pragma once

#include <cstdint>
#include <memory>

#include "gfx/NesRenderer.h"
#include "gfx/NtscSignal.h"
#include "gfx/Palette.h"
#include "gfx/PixelFormat.h"
#include "gfx/PixelFormatter.h"
#include "ref/Object.h"

namespace Halvo::Gfx {

struct ScreenRect;

// The surface that receives the NES picture, and the colour state the PPU keeps up to date on it.
// Complete canvases derive from it twice over (through LinearNesCanvas and through a platform base), so
// it is always a virtual base: the most-derived class calls its constructor.
class NesCanvas : public Ref::Object {
public:
    explicit NesCanvas(PixelFormat format);
    ~NesCanvas() override;

    NesCanvas(const NesCanvas&) = delete;
    NesCanvas& operator=(const NesCanvas&) = delete;

    // (Re-)creates the device resources; false when they cannot be had.
    virtual bool Reset() = 0;
    // Drops the device resources that a device reset destroys.
    virtual void Invalidate() = 0;
    // Draws the shown picture (rows 8-231) into the rectangle of the back buffer.
    virtual void Draw(const ScreenRect& rect) = 0;
    // The renderer for one frame, writing into the surface; null when the surface cannot be had. The
    // caller keeps its reference until after EndFrame.
    virtual Ref::Ptr<NesRenderer> BeginFrame() = 0;
    // Finishes the frame begun by a successful BeginFrame; does nothing otherwise.
    virtual void EndFrame() = 0;
    // PPU palette RAM entry `index` (0-31) now holds NES colour `colour` (0-63).
    virtual void SetPaletteEntry(std::uint32_t index, std::uint32_t colour) = 0;
    // NES colour `index` (0-63) is this RGBA colour (components 0.0..1.0).
    virtual void SetColor(std::uint32_t index, float red, float green, float blue, float alpha) = 0;

    Ref::Ptr<PixelFormatter> formatter;
    // Only for "P8" and "A8P8"; the formatter packs through the same palette.
    Ref::Ptr<Palette> palette;
    // 8 while the PPU hides the background (or the sprites) in the leftmost 8 pixels, else 0. The
    // renderer reads these through pointers while it draws.
    std::uint32_t bgClipWidth = 0;
    std::uint32_t spriteClipWidth = 0;
    // 1 colour, 0 the PPU's grayscale mode.
    std::uint8_t colourMode = 1;
    // The mask register's three emphasis bits. Starts with no valid value so that the PPU's first update
    // of a new canvas always generates the colours.
    std::uint32_t emphasis = 0xFFFFFFFFu;
    // 0 turns the generated colours into grays.
    std::uint8_t colourOutput = 1;
    float hue = 0.5f;
    float saturation = 0.5f;
    float brightness = 0.5f;
    // When set, the NES colours come from this table (a palette file, or the composite signal's) instead
    // of being generated from the controls above.
    std::shared_ptr<const NesColourTable> colourTable;
};

} // namespace Halvo::Gfx
