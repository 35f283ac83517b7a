#include "gfx/sdl/SdlConsoleRenderer.h"

#include "console/InputContext.h"
#include "gfx/ConsoleDrawing.h"
#include "gfx/sdl/SdlFont.h"
#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Gfx::ScreenRect;
using Gfx::ToEnd;
using TestSupport::Describe;
using TestSupport::Near;
using TestSupport::Rgb;
using TestSupport::ToRgb;

class SdlConsoleRenderer : public TestSupport::SdlTestDisplay {
protected:
    void SetUp() override {
        SdlTestDisplay::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(Configure(640, 480));
        renderer = driver->CreateConsoleRenderer();
        ASSERT_TRUE(renderer);
        driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    }

    void TearDown() override {
        renderer = nullptr;
        SdlTestDisplay::TearDown();
    }

    void ExpectPixel(int x, int y, Rgb expected) {
        const Uint32 actual = ReadPixel(x, y);
        EXPECT_TRUE(Near(actual, expected)) << "at (" << x << ", " << y << "): " << Describe(actual);
    }

    Ref::Ptr<Gfx::ConsoleRenderer> renderer;
};

TEST_F(SdlConsoleRenderer, RectanglesAndLinesBlendOverThePicture) {
    driver->Clear(1.0f, 1.0f, 1.0f, 1.0f);
    renderer->FillRect({10, 10, 50, 30}, {0.0f, 0.0f, 1.0f, 0.5f});
    // Corners given the other way round cover the same pixels.
    renderer->FillRect({100, 30, 60, 10}, {1.0f, 0.0f, 0.0f, 1.0f});
    renderer->DrawLine({10, 40}, {50, 40}, {0.0f, 0.0f, 0.0f, 1.0f});

    ExpectPixel(10, 10, {128, 128, 255}); // half of white shows through
    ExpectPixel(49, 29, {128, 128, 255});
    ExpectPixel(50, 29, {255, 255, 255});
    ExpectPixel(49, 30, {255, 255, 255});
    ExpectPixel(60, 10, {255, 0, 0});
    ExpectPixel(99, 29, {255, 0, 0});
    ExpectPixel(100, 29, {255, 255, 255});
    // A line stops one pixel short of its end point, as a device draws it.
    ExpectPixel(10, 40, {0, 0, 0});
    ExpectPixel(49, 40, {0, 0, 0});
    ExpectPixel(50, 40, {255, 255, 255});
    ExpectPixel(30, 41, {255, 255, 255});
}

// The whole console over a black picture, checked where the console drawing puts each part.
TEST_F(SdlConsoleRenderer, ConsoleTextAndCursorAppearWhereTheConsoleIsLaidOut) {
    Ref::Ptr<Gfx::Font> font = driver->CreateFont("Courier New", 16, 0);
    ASSERT_TRUE(font);
    capture.System().Output() << "older line" << std::endl;
    Console::ReportError("Halvo::Test", 1) << "broken" << std::endl;
    capture.System().Output() << "MMMM" << std::endl;
    Ref::Ptr<Console::InputContext> input(Ref::New<Console::InputContext>(&capture.System()));
    input->openness = 1.0f;
    input->line = "ab";
    input->cursor = 2;
    input->cursorShown = true;
    input->insertMode = false;
    Gfx::DrawConsole(*font, *renderer, *input, capture.System());

    // 480 x 0.65 gives a console 311 pixels tall; rows are 18 pixels (font height + 2).
    const int height = 311;
    const int row = 18;
    const Rgb background{43, 43, 43}; // 0.2 grey at 0.85 over black
    const Rgb green{51, 204, 51};
    ExpectPixel(600, 5, background);
    ExpectPixel(320, height - row - 2, green); // separator above the input line
    ExpectPixel(320, height, green);           // lower edge
    ExpectPixel(320, height + 1, {0, 0, 0});

    // Each output line is drawn from x = 2 with its bottom on the row's bottom line, newest lowest.
    const auto inkIn = [&](int top, int bottom, int left, int right, auto isInk) {
        int count = 0;
        for (Uint32 pixel : ReadPixels(left, top, right - left, bottom - top)) {
            count += isInk(ToRgb(pixel)) ? 1 : 0;
        }
        return count;
    };
    const auto greenInk = [](Rgb p) { return p.green > p.red + 40; };
    const auto redInk = [](Rgb p) { return p.red > p.green + 40; };
    ScreenRect measured{0, 0, 0, 0};
    font->MeasureText(measured, 0, "MMMM", 0, ToEnd);
    const int textWidth = measured.right;
    const int newestBottom = height - row - 4;
    const int lineHeight = measured.bottom;
    EXPECT_GT(inkIn(newestBottom - lineHeight, newestBottom, 2, 2 + textWidth, greenInk), 20);
    EXPECT_EQ(inkIn(newestBottom - lineHeight, newestBottom, 3 + textWidth, 640, greenInk), 0);
    EXPECT_EQ(inkIn(newestBottom - row, newestBottom, 0, 640, redInk), 0);
    const int errorBottom = newestBottom - row;
    EXPECT_GT(inkIn(errorBottom - lineHeight, errorBottom, 2, 300, redInk), 20) << "error lines are red";
    EXPECT_EQ(inkIn(errorBottom - lineHeight, errorBottom, 0, 640, greenInk), 0);

    // The input line and, after its two characters, an overwrite cursor half a font height wide.
    const int inputTop = height - row;
    ScreenRect typed{0, 0, 0, 0};
    font->MeasureText(typed, 0, "ab", 0, ToEnd);
    const int cursorX = 2 + typed.right;
    EXPECT_GT(inkIn(inputTop, inputTop + 16, 2, cursorX, greenInk), 10);
    ExpectPixel(cursorX + 1, inputTop + 1, green);
    ExpectPixel(cursorX + 7, inputTop + 15, green);
    ExpectPixel(cursorX + 9, inputTop + 8, background);
    ExpectPixel(cursorX + 4, inputTop + 17, background);
}

} // namespace
} // namespace Halvo
