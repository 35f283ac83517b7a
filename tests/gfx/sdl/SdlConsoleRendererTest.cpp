#include "gfx/sdl/SdlConsoleRenderer.h"

#include "console/InputContext.h"
#include "gfx/ConsoleDrawing.h"
#include "gfx/sdl/SdlFont.h"
#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Gfx::ScreenRect;
using Gfx::ToEnd;
using TestSupport::Rgb;

using SdlConsoleRenderer = TestSupport::SdlTestDisplay;

// The whole console over a black picture, checked where the console drawing puts each part: the
// rectangles and lines blend and the cursor is as wide as asked. (Where each line goes is the console
// drawing's test; that text comes out where asked, the font's.)
TEST_F(SdlConsoleRenderer, BackgroundLinesAndCursorAppearWhereTheConsoleIsLaidOut) {
    ASSERT_TRUE(Configure(640, 480));
    Ref::Ptr<Gfx::ConsoleRenderer> renderer = driver->CreateConsoleRenderer();
    Ref::Ptr<Gfx::Font> font = driver->CreateFont("Courier New", 16, 0);
    ASSERT_TRUE(renderer && font);
    Ref::Ptr<Console::InputContext> input(Ref::New<Console::InputContext>(&capture.System()));
    input->openness = 1.0f;
    input->line = "ab";
    input->cursor = 2;
    input->cursorShown = true;
    input->insertMode = false;
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    Gfx::DrawConsole(*font, *renderer, *input, capture.System());

    // 480 x 0.65 gives a console 311 pixels tall; rows are 18 pixels (font height + 2).
    const int height = 311, inputTop = height - 18;
    const Rgb background{43, 43, 43}; // 0.2 grey at 0.85 over black
    const Rgb green{51, 204, 51};
    EXPECT_TRUE(Shows(600, 5, background));
    EXPECT_TRUE(Shows(320, inputTop - 2, green)); // separator above the input line
    EXPECT_TRUE(Shows(320, height, green));       // lower edge
    EXPECT_TRUE(Shows(320, height + 1, {0, 0, 0}));

    // After the input line's two characters, an overwrite cursor half a font height wide.
    ScreenRect typed{0, 0, 0, 0};
    font->MeasureText(typed, 0, "ab", 0, ToEnd);
    const int cursorX = 2 + typed.right;
    EXPECT_TRUE(Shows(cursorX + 1, inputTop + 1, green));
    EXPECT_TRUE(Shows(cursorX + 7, inputTop + 15, green));
    EXPECT_TRUE(Shows(cursorX + 9, inputTop + 8, background));
    EXPECT_TRUE(Shows(cursorX + 4, inputTop + 17, background));
}

} // namespace
} // namespace Halvo
