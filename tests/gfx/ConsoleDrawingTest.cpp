#include "gfx/ConsoleDrawing.h"

#include <sstream>

#include <gtest/gtest.h>

#include "console/InputContext.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using Gfx::Color;
using Gfx::ScreenRect;
using Lines = std::vector<std::string>;

std::string Describe(const ScreenRect& r) {
    std::ostringstream s;
    s << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
    return s.str();
}

// A fixed-width font of 12-pixel characters 8 pixels wide; text longer than the rectangle wraps onto
// further rows of 14 pixels. It keeps what it draws.
struct FakeFont : Gfx::Font {
    struct Drawn {
        std::string text;
        ScreenRect rect;
        Color color;
    };

    FakeFont() : Font("Courier New", 12, 0) {}
    bool Reset() override { return true; }
    void Invalidate() override {}
    bool Begin() override { return beginSucceeds; }
    void End() override {}
    void MeasureText(ScreenRect& rect, std::uint32_t, const std::string& text, std::uint32_t start,
                     std::uint32_t count) override {
        const auto n = static_cast<int>(
            std::min<std::size_t>(count, text.size() - std::min<std::size_t>(start, text.size())));
        const int perRow = std::max(1, (rect.right - rect.left) / 8);
        rect.right = rect.left + std::min(n, perRow) * 8;
        rect.bottom = rect.top + std::max(1, (n + perRow - 1) / perRow) * 14;
    }
    void DrawText(const ScreenRect& rect, const Color& color, std::uint32_t, const std::string& text,
                  std::uint32_t, std::uint32_t) override {
        drawn.push_back({text, rect, color});
    }

    std::vector<Drawn> drawn;
    bool beginSucceeds = true;
};

// A 640 x 480 screen that keeps the shapes it is asked to draw and their colours.
struct FakeRenderer : Gfx::ConsoleRenderer {
    bool Reset() override { return true; }
    void Invalidate() override {}
    void GetScreenSize(std::uint32_t& w, std::uint32_t& h) override {
        w = 640;
        h = 480;
    }
    void FillRect(const ScreenRect& rect, const Color& color) override {
        calls.push_back("fill" + Describe(rect));
        colors.push_back(color);
    }
    void DrawLine(const Gfx::ScreenPoint& a, const Gfx::ScreenPoint& b, const Color& color) override {
        calls.push_back("line" + Describe({a.x, a.y, b.x, b.y}));
        colors.push_back(color);
    }
    Lines calls;
    std::vector<Color> colors;
};

class ConsoleDrawing : public ::testing::Test {
protected:
    void Draw(float openness) {
        input->openness = openness;
        Gfx::DrawConsole(font, renderer, *input, capture.System());
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<Console::InputContext> input = Ref::New<Console::InputContext>(&capture.System());
    FakeFont font;
    FakeRenderer renderer;
};

TEST_F(ConsoleDrawing, HalfOpenGeometryFadesWithOpenness) {
    for (int i = 0; i < 20; ++i) {
        capture.System().Output() << "line " << i << std::endl;
    }
    Draw(0.0f);
    EXPECT_TRUE(renderer.calls.empty() && font.drawn.empty()) << "a closed console draws nothing";
    Draw(0.5f);
    // 480 x 0.5 x 0.65f truncates to 155; rows are 14 pixels; the separator sits above the input row.
    EXPECT_EQ(renderer.calls, (Lines{"fill(0,0,640,155)", "line(0,139,640,139)", "line(0,155,640,155)"}));
    EXPECT_EQ(renderer.colors[0], (Color{0.2f, 0.2f, 0.2f, 0.85f * 0.5f}));
    EXPECT_EQ(renderer.colors[1], (Color{0.2f, 0.8f, 0.2f, 0.5f}));
    ASSERT_EQ(font.drawn.size(), 9u); // (155 - 14 - 4) / 14 rows, the newest at the bottom
    EXPECT_EQ(font.drawn[0].text, "line 19");
    EXPECT_EQ(Describe(font.drawn[0].rect), "(2,123,58,137)");
    EXPECT_EQ(font.drawn[8].text, "line 11");
    EXPECT_EQ(font.drawn[8].rect.bottom, 137 - 8 * 14);
}

TEST_F(ConsoleDrawing, FullyOpenShowsErrorsInRedAndWrappedLinesTakeMoreRows) {
    capture.System().Output() << "oldest" << std::endl;
    // 79 characters a row in 636 pixels: this wraps onto three rows.
    capture.System().Output() << std::string(200, 'w') << std::endl;
    Console::ReportError("Op", 1) << "failed" << std::endl;
    Draw(1.0f);
    EXPECT_EQ(renderer.calls[0], "fill(0,0,640,311)");
    ASSERT_EQ(font.drawn.size(), 3u);
    EXPECT_EQ(font.drawn[0].text, "[Op][1] Error: failed");
    EXPECT_EQ(font.drawn[0].color, (Color{0.8f, 0.2f, 0.2f, 1.0f}));
    EXPECT_EQ(font.drawn[0].rect.bottom, 311 - 14 - 4);
    EXPECT_EQ(font.drawn[1].color, (Color{0.2f, 0.8f, 0.2f, 1.0f}));
    EXPECT_EQ(Describe(font.drawn[1].rect), "(2,237,634,279)");
    EXPECT_EQ(font.drawn[2].rect.bottom, 279 - 3 * 14);
}

TEST_F(ConsoleDrawing, InputLineAndCursorInBothModes) {
    input->line = "abc";
    input->cursor = 3;
    input->cursorShown = true;
    Draw(1.0f);
    ASSERT_EQ(font.drawn.size(), 1u);
    EXPECT_EQ(Describe(font.drawn[0].rect), "(2,297,638,311)");
    // At the end of the line the cursor is half the font height wide, under the next character.
    EXPECT_EQ(renderer.calls.back(), "line(26,309,32,309)");

    // Overwrite mode fills the character under the cursor; without text the cursor still shows.
    input->cursor = 1;
    input->insertMode = false;
    font.beginSucceeds = false;
    font.drawn.clear();
    Draw(1.0f);
    EXPECT_TRUE(font.drawn.empty());
    EXPECT_EQ(renderer.calls.back(), "fill(10,297,18,309)");
}

} // namespace
} // namespace Halvo
