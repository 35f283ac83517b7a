#pragma once

#include <cstdint>
#include <string>

#include "gfx/ScreenRect.h"
#include "ref/Object.h"

namespace Halvo::Gfx {

// Text flags of MeasureText and DrawText. The console uses 0 only.
enum TextFlags : std::uint32_t {
    TextBottom = 0x001,
    TextTop = 0x002,
    TextCenter = 0x004,
    TextRight = 0x008,
    TextLeft = 0x010,
    TextVerticalCenter = 0x020,
    TextEditControl = 0x040,
    TextExpandTabs = 0x080,
    TextNoClip = 0x100,
    TextRightToLeft = 0x200,
    TextSingleLine = 0x400,
    TextWordBreak = 0x800,
};

// A count that selects every character up to the end of the string.
inline constexpr std::uint32_t ToEnd = 0xFFFFFFFFu;

// The console font, made by a graphics driver. `start` and `count` select characters of the string:
// start is lowered to the string's length, and a count reaching past the end means up to the end.
class Font : public Ref::Object {
public:
    Font(std::string face, std::uint32_t height, std::uint32_t style)
        : face(std::move(face)), height(height), style(style) {}

    virtual bool Reset() = 0;
    virtual void Invalidate() = 0;
    virtual bool Begin() = 0;
    virtual void End() = 0;
    // Replaces the rectangle by the extent of the text, starting at its left and top.
    virtual void MeasureText(ScreenRect& rect, std::uint32_t flags, const std::string& text,
                             std::uint32_t start, std::uint32_t count) = 0;
    virtual void DrawText(const ScreenRect& rect, const Color& color, std::uint32_t flags,
                          const std::string& text, std::uint32_t start, std::uint32_t count) = 0;

    std::string face;
    std::uint32_t height; // character height in pixels
    std::uint32_t style;  // bit 0 bold, bit 1 italic
};

} // namespace Halvo::Gfx
