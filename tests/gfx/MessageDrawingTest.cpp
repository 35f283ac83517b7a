#include "gfx/MessageDrawing.h"

#include <sstream>

#include <gtest/gtest.h>

#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"

namespace Halvo {
namespace {

using Gfx::Color;
using Gfx::ScreenRect;
using Lines = std::vector<std::string>;

// A font of 8 x 12 pixel characters on a 640 x 480 screen, recording what is drawn as
// "fill|text left,top,right,bottom alpha" (and the text for text).
struct Recorder : Gfx::Font, Gfx::ConsoleRenderer {
    Recorder() : Font("Courier New", 12, 0) {}
    bool Reset() override { return true; }
    void Invalidate() override {}
    bool Begin() override { return true; }
    void End() override {}
    void GetScreenSize(std::uint32_t& width, std::uint32_t& height) override {
        width = 640;
        height = 480;
    }
    void MeasureText(ScreenRect& rect, std::uint32_t, const std::string& text, std::uint32_t,
                     std::uint32_t) override {
        rect.right = rect.left + static_cast<int>(text.size()) * 8;
        rect.bottom = rect.top + 12;
    }
    void DrawText(const ScreenRect& rect, const Color& color, std::uint32_t, const std::string& text,
                  std::uint32_t, std::uint32_t) override {
        Log("text", rect, color, (color.green < 0.5f ? " red " : " ") + text);
    }
    void FillRect(const ScreenRect& rect, const Color& color) override { Log("fill", rect, color); }
    void DrawLine(const Gfx::ScreenPoint&, const Gfx::ScreenPoint&, const Color&) override {}
    void Log(const char* what, const ScreenRect& r, const Color& c, const std::string& text = "") {
        std::ostringstream s;
        s << what << ' ' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << ' ' << c.alpha
          << text;
        drawn.push_back(s.str());
    }
    Lines drawn;
};

// The newest message sits at the bottom left and older ones stack above it, each on its band, errors in
// red, a fading line fainter; the status stands in the top right corner; a line wider than the screen
// is cut at its margin.
TEST(MessageDrawing, StacksMessagesUpFromTheBottomAndPutsTheStatusTopRight) {
    Recorder recorder;
    Gfx::DrawMessages(recorder, recorder,
                      {{"State saved.", false, 1.0f}, {"[Op][1] Error: no slot", true, 0.5f}}, "Paused");
    // Rows of 16 pixels, an 8-pixel margin: the bottom line's text from 458 to 470.
    EXPECT_EQ(recorder.drawn,
              (Lines{"fill 8,454,200,474 0.3", "text 16,458,192,470 0.5 red [Op][1] Error: no slot",
                     "fill 8,430,120,450 0.6", "text 16,434,112,446 1 State saved.", "fill 568,4,632,24 0.6",
                     "text 576,8,624,20 1 Paused"}));

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
