#include "gfx/ConsoleDrawing.h"

#include <sstream>

#include <gtest/gtest.h>

#include "console/InputContext.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"
#include "gfx/MessageDrawing.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using Gfx::Color;
using Gfx::ScreenRect;
using Lines = std::vector<std::string>;

// A font and a 640 x 480 screen in one, for the console and the on-screen messages. Characters are 8
// pixels wide and 12 high, and text longer than its rectangle wraps onto further rows of `rowHeight`.
// Everything drawn goes into one list as "fill|line|text left,top,right,bottom red,green,blue,alpha" and the
// text's first characters.
struct Recorder : Gfx::Font, Gfx::ConsoleRenderer {
    Recorder() : Font("Courier New", 12, 0) {}
    bool Reset() override { return true; }
    void Invalidate() override {}
    bool Begin() override { return fontWorks; }
    void End() override {}
    void GetScreenSize(std::uint32_t& width, std::uint32_t& height) override {
        width = 640;
        height = 480;
    }
    void MeasureText(ScreenRect& rect, std::uint32_t, const std::string& text, std::uint32_t start,
                     std::uint32_t count) override {
        const auto n = static_cast<int>(
            std::min<std::size_t>(count, text.size() - std::min<std::size_t>(start, text.size())));
        // A font that does not wrap (as SDL's) measures the whole text on one row.
        const int perRow = wraps ? std::max(1, (rect.right - rect.left) / 8) : std::max(1, n);
        rect.right = rect.left + std::min(n, perRow) * 8;
        rect.bottom = rect.top + std::max(1, (n + perRow - 1) / perRow) * rowHeight;
    }
    void DrawText(const ScreenRect& rect, const Color& color, std::uint32_t, const std::string& text,
                  std::uint32_t start, std::uint32_t count) override {
        Log("text", rect, color,
            " " + text.substr(std::min<std::size_t>(start, text.size()), count).substr(0, 12));
    }
    void FillRect(const ScreenRect& rect, const Color& color) override { Log("fill", rect, color); }
    void DrawLine(const Gfx::ScreenPoint& a, const Gfx::ScreenPoint& b, const Color& color) override {
        Log("line", {a.x, a.y, b.x, b.y}, color);
    }
    void Log(const char* what, const ScreenRect& r, const Color& c, const std::string& text = "") {
        std::ostringstream s;
        s << what << ' ' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << ' ' << c.red << ','
          << c.green << ',' << c.blue << ',' << c.alpha << text;
        drawn.push_back(s.str());
    }

    Lines drawn;
    bool fontWorks = true;
    bool wraps = true;
    int rowHeight = 14;
};

class ConsoleDrawing : public ::testing::Test {
protected:
    const Lines& Draw(float openness) {
        input->openness = openness;
        recorder.drawn.clear();
        Gfx::DrawConsole(recorder, recorder, *input, capture.System());
        return recorder.drawn;
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<Console::InputContext> input = Ref::New<Console::InputContext>(&capture.System());
    Recorder recorder;
};

TEST_F(ConsoleDrawing, HalfOpenGeometryFadesWithOpenness) {
    for (int i = 0; i < 20; ++i) {
        capture.System().Output() << "line " << i << std::endl;
    }
    EXPECT_TRUE(Draw(0.0f).empty()) << "a closed console draws nothing";
    // 480 x 0.5 x 0.65f truncates to 155; rows are 14 pixels; the separator sits above the input row;
    // (155 - 14 - 4) / 14 = 9 rows of text, the newest at the bottom.
    const Lines& drawn = Draw(0.5f);
    ASSERT_EQ(drawn.size(), 12u);
    EXPECT_EQ(Lines(drawn.begin(), drawn.begin() + 4),
              (Lines{"fill 0,0,640,155 0.2,0.2,0.2,0.425", "line 0,139,640,139 0.2,0.8,0.2,0.5",
                     "line 0,155,640,155 0.2,0.8,0.2,0.5", "text 2,123,58,137 0.2,0.8,0.2,0.5 line 19"}));
    EXPECT_EQ(drawn.back(), "text 2,11,58,25 0.2,0.8,0.2,0.5 line 11");
}

TEST_F(ConsoleDrawing, FullyOpenShowsErrorsInRedAndWrappedLinesTakeMoreRows) {
    capture.System().Output() << "oldest" << std::endl;
    // 79 characters a row in 636 pixels: this wraps onto three rows.
    capture.System().Output() << std::string(200, 'w') << std::endl;
    Console::ReportError("Op", 1) << "failed" << std::endl;
    const Lines& drawn = Draw(1.0f);
    ASSERT_EQ(drawn.size(), 6u);
    EXPECT_EQ(drawn[0], "fill 0,0,640,311 0.2,0.2,0.2,0.85");
    EXPECT_EQ(Lines(drawn.begin() + 3, drawn.end()), (Lines{"text 2,279,170,293 0.8,0.2,0.2,1 [Op][1] Erro",
                                                            "text 2,237,634,279 0.2,0.8,0.2,1 wwwwwwwwwwww",
                                                            "text 2,223,50,237 0.2,0.8,0.2,1 oldest"}));
}

TEST_F(ConsoleDrawing, InputLineAndCursorInBothModes) {
    input->line = "abc";
    input->cursor = 3;
    input->cursorShown = true;
    const Lines& drawn = Draw(1.0f);
    // At the end of the line the cursor is half the font height wide, under the next character.
    EXPECT_EQ(Lines(drawn.end() - 2, drawn.end()),
              (Lines{"text 2,297,638,311 0.2,0.8,0.2,1 abc", "line 26,309,32,309 0.2,0.8,0.2,1"}));

    // The cursor counts characters: after the two of "a" and e acute it is at the end of the line.
    input->line = "a\xC3\xA9";
    input->cursor = 2;
    EXPECT_EQ(Draw(1.0f).back(), "line 18,309,24,309 0.2,0.8,0.2,1");

    // Overwrite mode fills the character under the cursor; without text the cursor still shows.
    input->line = "abc";
    input->cursor = 1;
    input->insertMode = false;
    recorder.fontWorks = false;
    EXPECT_EQ(Draw(1.0f).back(), "fill 10,297,18,309 0.2,0.8,0.2,1");
    EXPECT_EQ(recorder.drawn.size(), 4u);
}

// With a font that does not wrap, a long line is cut into rows that fit; Page Up's scroll leaves the
// newest lines out.
TEST_F(ConsoleDrawing, LongLinesWrapAndScrollBackHidesTheNewest) {
    recorder.wraps = false;
    capture.System().Output() << "before" << std::endl;
    capture.System().Output() << std::string(79, 'a') + std::string(79, 'b') + "cc" << std::endl;
    const Lines& drawn = Draw(1.0f);
    ASSERT_EQ(drawn.size(), 7u);
    EXPECT_EQ(
        Lines(drawn.begin() + 3, drawn.end()),
        (Lines{"text 2,279,18,293 0.2,0.8,0.2,1 cc", "text 2,265,634,279 0.2,0.8,0.2,1 bbbbbbbbbbbb",
               "text 2,251,634,265 0.2,0.8,0.2,1 aaaaaaaaaaaa", "text 2,237,50,251 0.2,0.8,0.2,1 before"}));
    input->scrollBack = 1;
    const Lines& scrolled = Draw(1.0f);
    ASSERT_EQ(scrolled.size(), 4u);
    EXPECT_EQ(scrolled[3], "text 2,279,50,293 0.2,0.8,0.2,1 before");
}

// The newest message sits at the bottom left and older ones stack above it, each on its band, errors in
// red, a fading line fainter; the status stands in the top right corner; a line wider than the screen
// is cut at its margin.
TEST(MessageDrawing, StacksMessagesUpFromTheBottomAndPutsTheStatusTopRight) {
    Recorder recorder;
    recorder.wraps = false;
    recorder.rowHeight = 12;
    Gfx::DrawMessages(recorder, recorder,
                      {{"State saved.", false, 1.0f}, {"[Op][1] Error: no slot", true, 0.5f}}, "Paused");
    // Rows of 16 pixels, an 8-pixel margin: the bottom line's text from 458 to 470.
    EXPECT_EQ(recorder.drawn,
              (Lines{"fill 8,454,200,474 0,0,0,0.3", "text 16,458,192,470 1,0.4,0.4,0.5 [Op][1] Erro",
                     "fill 8,430,120,450 0,0,0,0.6", "text 16,434,112,446 1,1,1,1 State saved.",
                     "fill 568,4,632,24 0,0,0,0.6", "text 576,8,624,20 1,0.85,0.3,1 Paused"}));

    recorder.drawn.clear();
    Gfx::DrawMessages(recorder, recorder, {{std::string(100, 'x'), false, 1.0f}}, "");
    ASSERT_EQ(recorder.drawn.size(), 2u);
    EXPECT_EQ(recorder.drawn[1].substr(0, 20), "text 16,458,624,470 ");

    recorder.drawn.clear();
    Gfx::DrawMessages(recorder, recorder, {}, "");
    EXPECT_TRUE(recorder.drawn.empty());
}

} // namespace
} // namespace Halvo
