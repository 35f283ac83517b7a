#include "gfx/ConsoleDrawing.h"

#include <algorithm>
#include <vector>

#include "console/InputContext.h"
#include "console/System.h"
#include "console/Utf8.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"

namespace Halvo::Gfx {

namespace {

// Where each piece of a line that fits `width` pixels begins, in characters: 0 alone for a line that
// fits whole.
std::vector<std::uint32_t> PieceStarts(Font& font, const std::string& text, std::int32_t width) {
    const std::uint32_t length = Console::Utf8Length(text);
    const auto widthOf = [&](std::uint32_t start, std::uint32_t count) {
        ScreenRect rect{0, 0, width, 0};
        font.MeasureText(rect, 0, text, start, count);
        return rect.right - rect.left;
    };
    std::vector<std::uint32_t> starts{0};
    while (starts.back() < length && widthOf(starts.back(), ToEnd) > width) {
        // The most characters that fit, at least one.
        std::uint32_t low = 1, high = length - starts.back();
        while (low < high) {
            const std::uint32_t middle = (low + high + 1) / 2;
            if (widthOf(starts.back(), middle) <= width) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        starts.push_back(starts.back() + low);
    }
    return starts;
}

// The console's height at `openness` on a screen `screenHeight` pixels high: at most 65% of it. The
// factor is held as a float (0.64999998) and the product is taken in double precision before
// truncating, so that 480 x 0.5 gives 155, not 156.
std::int32_t ConsoleHeight(std::uint32_t screenHeight, float openness) {
    return static_cast<std::int32_t>(static_cast<double>(screenHeight) * openness *
                                     static_cast<double>(0.65f));
}

void Draw(Font& font, ConsoleRenderer& renderer, const Console::InputContext& input,
          const std::deque<Console::ConsoleLine>& lines, std::uint32_t scrollBack,
          const std::string& inputLine, bool cursorShown) {
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
    const std::int32_t height = ConsoleHeight(screenHeight, openness);
    const auto fontHeight = static_cast<std::int32_t>(font.height);
    const std::int32_t rowHeight = fontHeight + 2;

    renderer.FillRect({0, 0, width, height}, background);
    renderer.DrawLine({0, height - rowHeight - 2}, {width, height - rowHeight - 2}, text);
    renderer.DrawLine({0, height}, {width, height}, text);

    if (font.Begin()) {
        const std::int32_t rows = (height - rowHeight - 4) / rowHeight;
        std::int32_t row = 0;
        // Page Up has scrolled past the newest lines.
        auto line = lines.begin() + std::min<std::size_t>(scrollBack, lines.size());
        for (; row < rows && line != lines.end(); ++line) {
            // A line wider than the console is cut into pieces of as many characters as fit, drawn on
            // rows of their own, the last piece lowest.
            const std::vector<std::uint32_t> starts = PieceStarts(font, line->text, width - 4);
            for (std::size_t piece = starts.size(); piece-- > 0 && row < rows;) {
                const std::uint32_t start = starts[piece];
                const std::uint32_t count = piece + 1 < starts.size() ? starts[piece + 1] - start : ToEnd;
                const std::int32_t bottom = height - rowHeight - 4 - row * rowHeight;
                ScreenRect rect{2, bottom - rowHeight, width - 2, bottom};
                font.MeasureText(rect, 0, line->text, start, count);
                const std::int32_t measuredHeight = rect.bottom - rect.top;
                // A font that wraps by itself takes more rows; its text grows upwards from the same bottom.
                if (measuredHeight / rowHeight > 1) {
                    row += measuredHeight / rowHeight - 1;
                }
                rect.top = bottom - measuredHeight;
                rect.bottom = bottom;
                font.DrawText(rect, line->isError ? errorText : text, 0, line->text, start, count);
                ++row;
            }
        }
        if (!inputLine.empty()) {
            font.DrawText({2, height - rowHeight, width - 2, height}, text, 0, inputLine, 0, ToEnd);
        }
        font.End();
    }

    if (cursorShown) {
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

} // namespace

void DrawConsole(Font& font, ConsoleRenderer& renderer, const Console::InputContext& input,
                 const Console::System& console) {
    Draw(font, renderer, input, console.lines, input.scrollBack, input.line, input.cursorShown);
}

void DrawConsoleLines(Font& font, ConsoleRenderer& renderer, const Console::InputContext& input,
                      const std::deque<Console::ConsoleLine>& lines, const std::string& inputLine) {
    Draw(font, renderer, input, lines, 0, inputLine, false);
}

std::uint32_t ConsoleRows(const Font& font, std::uint32_t screenHeight) {
    const auto rowHeight = static_cast<std::int32_t>(font.height) + 2;
    const std::int32_t rows = (ConsoleHeight(screenHeight, 1.0f) - rowHeight - 4) / rowHeight;
    return rows > 0 ? static_cast<std::uint32_t>(rows) : 0;
}

} // namespace Halvo::Gfx
