#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "gfx/LinearNesRenderer.h"
#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {

// The pixel-type half of a canvas: the NES colours and the PPU's palette as surface pixel values, and the
// renderer that writes them. A complete canvas derives from this and from a surface base, and calls
// OpenFrame / CloseFrame around the PPU's frame with the surface memory it obtained.
template <class T, int N>
class LinearNesCanvas : public virtual NesCanvas {
public:
    using Renderer = LinearNesRenderer<T, N>;

    void SetPaletteEntry(std::uint32_t index, std::uint32_t colour) override {
        // A copy, not a link: the entry keeps this pixel value until the PPU sets it again, even when the
        // colours are regenerated. Palette RAM holds 6-bit colours in 32 entries.
        paletteMap[index & 31] = colors[colour & 63];
        renderer->PaletteEntryChanged(index & 31);
    }

    void SetColor(std::uint32_t index, float red, float green, float blue, float alpha) override {
        colors[index & 63] = formatter->template FormatPixel<T>(red, green, blue, alpha);
    }

    // The pixel value of each of the PPU's 32 palette entries: 0-15 background, 16-31 sprites.
    std::array<T, 32> paletteMap{};
    // The pixel value of each NES colour.
    std::array<T, 64> colors{};
    Ref::Ptr<Renderer> renderer;

protected:
    // The NesCanvas initialiser only takes effect when this class is the most-derived one (never, since
    // it is abstract); complete canvases call the virtual base's constructor themselves.
    explicit LinearNesCanvas(PixelFormat format) : NesCanvas(format), renderer(Ref::New<Renderer>()) {}

    // Points the renderer at the surface (row 0 at `pixels`, `pitch` bytes per row) and at this canvas's
    // colours and clip widths, and marks the frame open.
    Ref::Ptr<NesRenderer> OpenFrame(std::uint8_t* pixels, std::int32_t pitch) {
        renderer->pixels = pixels;
        renderer->pitch = pitch;
        renderer->SetPalette(paletteMap.data());
        renderer->clearColour = &colors[0x0D];
        renderer->nesColours = colors.data();
        renderer->bgClipWidth = &bgClipWidth;
        renderer->spriteClipWidth = &spriteClipWidth;
        frameOpen = true;
        return renderer;
    }

    // Finishes an open frame: copies row 8 over row 7 and row 231 over row 232, so that a filtered
    // stretch of the shown rows 8-231 never blends in rows the PPU did not draw. Returns whether a
    // frame was open (the surface may then be given back); without one nothing is touched.
    bool CloseFrame() {
        if (!frameOpen) {
            return false;
        }
        frameOpen = false;
        std::uint8_t* pixels = renderer->pixels;
        const std::int32_t pitch = renderer->pitch;
        if (pixels && pitch > 0) {
            const auto rowBytes = static_cast<std::size_t>(pitch);
            std::memcpy(pixels + 7 * rowBytes, pixels + 8 * rowBytes, rowBytes);
            std::memcpy(pixels + 232 * rowBytes, pixels + 231 * rowBytes, rowBytes);
        }
        // The surface is only valid inside the frame: a stray call afterwards must not write into it.
        renderer->pixels = nullptr;
        renderer->pitch = 0;
        return true;
    }

    bool IsFrameOpen() const { return frameOpen; }

private:
    // Set by a successful BeginFrame and cleared by EndFrame. The renderer's reference count cannot
    // tell this: the PPU's own reference raises it whether or not the frame is still open.
    bool frameOpen = false;
};

} // namespace Halvo::Gfx
