#include "gfx/MessageDrawing.h"

#include <algorithm>

#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"

namespace Halvo::Gfx {

namespace {

// The band behind a text: its measured extent with a margin.
ScreenRect Band(const ScreenRect& text, std::int32_t margin) {
    return {text.left - margin, text.top - margin / 2, text.right + margin, text.bottom + margin / 2};
}

} // namespace

void DrawMessages(Font& font, ConsoleRenderer& renderer, const std::vector<ShownMessage>& messages,
                  const std::string& status) {
    if (messages.empty() && status.empty()) {
        return;
    }
    std::uint32_t screenWidth = 0;
    std::uint32_t screenHeight = 0;
    renderer.GetScreenSize(screenWidth, screenHeight);
    const auto width = static_cast<std::int32_t>(screenWidth);
    const auto height = static_cast<std::int32_t>(screenHeight);
    const auto rowHeight = static_cast<std::int32_t>(font.height) + 4;
    const std::int32_t margin = std::max<std::int32_t>(4, rowHeight / 2);
    if (!font.Begin()) {
        return;
    }
    // Newest at the bottom; a line too long for the screen is cut at its edge.
    std::int32_t bottom = height - margin;
    for (auto message = messages.rbegin(); message != messages.rend() && bottom - rowHeight > 0; ++message) {
        ScreenRect extent{2 * margin, bottom - rowHeight, width - 2 * margin, bottom};
        font.MeasureText(extent, 0, message->text, 0, ToEnd);
        extent.right = std::min(extent.right, width - 2 * margin);
        extent.top = bottom - rowHeight + 2;
        extent.bottom = bottom - 2;
        const float alpha = message->opacity;
        renderer.FillRect(Band(extent, margin), {0.0f, 0.0f, 0.0f, 0.6f * alpha});
        const Color colour = message->error ? Color{1.0f, 0.4f, 0.4f, alpha} : Color{1.0f, 1.0f, 1.0f, alpha};
        font.DrawText(extent, colour, 0, message->text, 0, ToEnd);
        bottom -= rowHeight + margin;
    }
    if (!status.empty()) {
        ScreenRect extent{0, margin, width, margin + rowHeight};
        font.MeasureText(extent, 0, status, 0, ToEnd);
        const std::int32_t textWidth = extent.right - extent.left;
        extent.left = std::max(2 * margin, width - 2 * margin - textWidth);
        extent.right = width - 2 * margin;
        renderer.FillRect(Band(extent, margin), {0.0f, 0.0f, 0.0f, 0.6f});
        font.DrawText(extent, {1.0f, 0.85f, 0.3f, 1.0f}, 0, status, 0, ToEnd);
    }
    font.End();
}

} // namespace Halvo::Gfx
