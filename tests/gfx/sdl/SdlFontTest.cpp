#include "gfx/sdl/SdlFont.h"

#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Gfx::ScreenRect;
using Gfx::ToEnd;

class SdlFont : public TestSupport::SdlTestDisplay {
protected:
    void SetUp() override {
        SdlTestDisplay::SetUp();
        if (!IsSkipped()) {
            ASSERT_TRUE(Configure(320, 240));
        }
    }

    Ref::Ptr<Gfx::SdlFont> MakeFont(const std::string& face, std::uint32_t height) {
        Ref::Ptr<Gfx::Font> font = driver->CreateFont(face, height, 0);
        return Ref::Ptr<Gfx::SdlFont>(dynamic_cast<Gfx::SdlFont*>(font.Get()));
    }

    static int Width(Gfx::Font& font, const std::string& text, std::uint32_t start = 0,
                     std::uint32_t count = ToEnd) {
        ScreenRect rect{10, 20, 10, 20};
        font.MeasureText(rect, 0, text, start, count);
        return rect.right - rect.left;
    }

    // What was drawn in the rows from `top` to `bottom`: the first and last column with anything but
    // black (-1 for none) and the strongest red and blue.
    struct Ink {
        int first = -1;
        int last = -1;
        int red = 0;
        int blue = 0;
    };
    Ink InkIn(int top, int bottom) {
        Ink ink;
        const std::vector<Uint32> pixels = ReadPixels(0, top, 320, bottom - top);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const TestSupport::Rgb rgb = TestSupport::ToRgb(pixels[i]);
            if (rgb.red + rgb.green + rgb.blue > 0) {
                const int x = static_cast<int>(i % 320);
                ink.first = ink.first < 0 ? x : std::min(ink.first, x);
                ink.last = std::max(ink.last, x);
            }
            ink.red = std::max(ink.red, rgb.red);
            ink.blue = std::max(ink.blue, rgb.blue);
        }
        return ink;
    }
};

TEST_F(SdlFont, CourierNewIsMonospacedAndAProportionalFaceGivesWayToOne) {
    for (const char* face : {"Courier New", "Liberation Sans"}) {
        Ref::Ptr<Gfx::SdlFont> font = MakeFont(face, 16);
        ASSERT_TRUE(font) << face;
        const int one = Width(*font, "M");
        EXPECT_GT(one, 0);
        EXPECT_EQ(Width(*font, "iiii"), 4 * one) << face << " gave " << font->GetFontFile();
    }
}

TEST_F(SdlFont, MeasureSelectsCharactersAndBreaksAtNewlines) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    const int one = Width(*font, "x");
    EXPECT_EQ(Width(*font, "console", 0, 3), 3 * one);
    EXPECT_EQ(Width(*font, "console", 4, 100), 3 * one) << "a count past the end stops there";
    EXPECT_EQ(Width(*font, "console", 99, ToEnd), 0) << "the start is lowered to the length";
    EXPECT_EQ(Width(*font, "caf\xC3\xA9"), 4 * one) << "UTF-8 counts as characters";
    EXPECT_EQ(Width(*font, "\xFF\xFE"), 2 * one) << "malformed bytes show one replacement each";
    ScreenRect rect{0, 0, 0, 0};
    font->MeasureText(rect, 0, "ab\nlonger", 0, ToEnd);
    EXPECT_EQ(rect.right, 6 * one);
    EXPECT_EQ(rect.bottom, 2 * font->GetLineHeight());
}

// Each drawn text is kept as a texture in its colour: the same text in another colour, or after many
// other texts have pushed it out, must still come out as asked, clipped to its rectangle.
TEST_F(SdlFont, DrawsColouredTextClippedToItsRectangle) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    const int one = Width(*font, "M");
    const int line = font->GetLineHeight();
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    ASSERT_TRUE(font->Begin());
    font->DrawText({20, 0, 300, 20}, {1.0f, 0.0f, 0.0f, 1.0f}, 0, "MMMM", 0, ToEnd);
    font->DrawText({20, 20, 20 + one * 5 / 2, 40}, {0.0f, 0.0f, 1.0f, 1.0f}, 0, "MMMMMM", 0, ToEnd);
    font->End();
    const Ink red = InkIn(0, line);
    EXPECT_TRUE(red.first >= 20 && red.first <= 22) << red.first;
    EXPECT_TRUE(red.last >= 20 + 3 * one && red.last < 20 + 4 * one) << red.last;
    EXPECT_EQ(red.red, 255) << "the stems of M are fully covered";
    EXPECT_EQ(red.blue, 0);
    const Ink blue = InkIn(20, 20 + line);
    EXPECT_EQ(blue.red, 0);
    EXPECT_EQ(blue.blue, 255);
    EXPECT_TRUE(blue.last >= 20 + 2 * one && blue.last < 20 + one * 5 / 2) << "clipped after two and a half";

    for (std::size_t i = 0; i < Gfx::SdlFont::CachedTexts + 10; ++i) {
        font->DrawText({0, 40, 320, 60}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "line " + std::to_string(i), 0, ToEnd);
    }
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    font->DrawText({20, 0, 300, 20}, {1.0f, 0.0f, 0.0f, 0.5f}, 0, "MMMM", 0, ToEnd);
    EXPECT_NEAR(InkIn(0, line).red, 128, 1) << "the alpha applies per draw";
    // Wider than any texture may be: the visible start still shows.
    font->DrawText({20, 60, 320, 80}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, std::string(5000, 'M'), 0, ToEnd);
    EXPECT_EQ(InkIn(60, 60 + line).last, 319);
    EXPECT_TRUE(capture.ErrorLines().empty()) << capture.LastLine();
}

} // namespace
} // namespace Halvo
