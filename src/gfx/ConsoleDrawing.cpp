#include "gfx/ConsoleDrawing.h"

#include "console/InputContext.h"
#include "console/System.h"
#include "console/Utf8.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"

namespace Halvo::Gfx {

void DrawConsole(Font& font, ConsoleRenderer& renderer, const Console::InputContext& input,
                 const Console::System& console) {
    const float openness = input.openness;
    if (openness <= 0.0f) {
        return;
    }
    const Color background{0.2f, 0.2f, 0.2f, 0.85f * openness};
    const Color text{0.2f, 0.8f, 0.2f, openness};
    const Color errorText{0.8f, 0.2f, 0.2f, openness};

    std::uint32_t screenWidth = 0;
    std::uint32_t screenHeight = 0;
    renderer.GetScreenSize(screenWidth, screenHeight);
    const auto width = static_cast<std::int32_t>(screenWidth);
    // The console covers at most 65% of the screen. The factor is held as a float (0.64999998) and the
    // product is taken in double precision before truncating, so that 480 x 0.5 gives 155, not 156.
    const auto height =
        static_cast<std::int32_t>(static_cast<double>(screenHeight) * openness * static_cast<double>(0.65f));
    const auto fontHeight = static_cast<std::int32_t>(font.height);
    const std::int32_t rowHeight = fontHeight + 2;

    renderer.FillRect({0, 0, width, height}, background);
    renderer.DrawLine({0, height - rowHeight - 2}, {width, height - rowHeight - 2}, text);
    renderer.DrawLine({0, height}, {width, height}, text);

    if (font.Begin()) {
        const std::int32_t rows = (height - rowHeight - 4) / rowHeight;
        std::int32_t row = 0;
        for (auto line = console.lines.begin(); row < rows && line != console.lines.end(); ++line) {
            const std::int32_t bottom = height - rowHeight - 4 - row * rowHeight;
            ScreenRect rect{2, bottom - rowHeight, width - 2, bottom};
            font.MeasureText(rect, 0, line->text, 0, ToEnd);
            const std::int32_t measuredHeight = rect.bottom - rect.top;
            // A line that wraps takes more rows; its text grows upwards from the same bottom.
            if (measuredHeight / rowHeight > 1) {
                row += measuredHeight / rowHeight - 1;
            }
            rect.top = bottom - measuredHeight;
            rect.bottom = bottom;
            font.DrawText(rect, line->isError ? errorText : text, 0, line->text, 0, ToEnd);
            ++row;
        }
        if (!input.line.empty()) {
            font.DrawText({2, height - rowHeight, width - 2, height}, text, 0, input.line, 0, ToEnd);
        }
        font.End();
    }

    if (input.cursorShown) {
        ScreenRect before{2, height - rowHeight, width - 2, height};
        font.MeasureText(before, 0, input.line, 0, input.cursor);
        const std::int32_t x = 2 + (before.right - before.left);
        std::int32_t cursorWidth = fontHeight / 2;
        if (input.cursor < Console::Utf8Length(input.line)) {
            ScreenRect at{2, height - rowHeight, width - 2, height};
            font.MeasureText(at, 0, input.line, input.cursor, 1);
            cursorWidth = at.right - at.left;
        }
        const std::int32_t top = height - rowHeight;
        const std::int32_t bottom = top + fontHeight;
        if (input.insertMode) {
            renderer.DrawLine({x, bottom}, {x + cursorWidth, bottom}, text);
        } else {
            renderer.FillRect({x, top, x + cursorWidth, bottom}, text);
        }
    }
}

} // namespace Halvo::Gfx
