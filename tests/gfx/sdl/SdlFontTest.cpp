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
    EXPECT_EQ(Width(*font, "\xC3\xA9\xC3\xA9\xC3\xA9", 2, ToEnd), one) << "start and count are characters";
    EXPECT_EQ(Width(*font, "\xFF\xFE"), 2 * one) << "malformed bytes show one replacement each";
    ScreenRect rect{0, 0, 0, 0};
    font->MeasureText(rect, 0, "ab\nlonger", 0, ToEnd);
    EXPECT_EQ(rect.right, 6 * one);
    EXPECT_EQ(rect.bottom, 2 * font->GetLineHeight());
}

// Typed file names may hold any character: one beyond Latin-1 shows its own glyph, not the replacement.
TEST_F(SdlFont, CharactersBeyondLatin1HaveTheirOwnGlyphs) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    const int one = Width(*font, "M");
    const auto picture = [&](const std::string& text) {
        driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
        font->DrawText({0, 0, 100, 20}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, text, 0, ToEnd);
        return ReadPixels(0, 0, one, font->GetLineHeight());
    };
    const auto replacement = picture("?");
    for (const char* text : {"\xE2\x82\xAC", "\xD0\x96"}) { // euro sign, Cyrillic zhe
        EXPECT_EQ(Width(*font, text), one);
        EXPECT_NE(picture(text), replacement) << text;
    }
}

// Each drawn text is kept as a texture in its colour: the same text in another colour, or after many
// other texts have pushed it out, must still come out as asked, clipped to its rectangle.
TEST_F(SdlFont, DrawsColouredTextClippedToItsRectangle) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    const int one = Width(*font, "M");
    const int line = font->GetLineHeight();
    const auto any = [](TestSupport::Rgb p) { return p.red + p.green + p.blue > 0; };
    // The stems of M are fully covered: the colour itself shows.
    const auto red = [](TestSupport::Rgb p) { return p.red == 255 && p.green + p.blue == 0; };
    const auto blue = [](TestSupport::Rgb p) { return p.blue == 255 && p.red + p.green == 0; };
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    ASSERT_TRUE(font->Begin());
    font->DrawText({20, 0, 300, 20}, {1.0f, 0.0f, 0.0f, 1.0f}, 0, "MMMM", 0, ToEnd);
    font->DrawText({20, 20, 20 + one * 5 / 2, 40}, {0.0f, 0.0f, 1.0f, 1.0f}, 0, "MMMMMM", 0, ToEnd);
    font->End();
    EXPECT_GT(InkIn(20, 0, 20 + 4 * one, line, red), 0);
    EXPECT_GT(InkIn(20 + 3 * one, 0, 20 + 4 * one, line, any), 5) << "the fourth M";
    EXPECT_EQ(InkIn(0, 0, 20, line, any) + InkIn(20 + 4 * one, 0, 320, line, any), 0);
    EXPECT_EQ(InkIn(0, 0, 320, line, any),
              InkIn(0, 0, 320, line, [](auto p) { return p.green + p.blue == 0 && p.red; }));
    EXPECT_EQ(InkIn(0, 20, 320, 20 + line, any),
              InkIn(0, 20, 320, 20 + line, [](auto p) { return p.red + p.green == 0 && p.blue; }));
    EXPECT_GT(InkIn(20 + 2 * one, 20, 20 + one * 5 / 2, 20 + line, blue), 0);
    EXPECT_EQ(InkIn(20 + one * 5 / 2, 20, 320, 20 + line, any), 0) << "clipped after two and a half";

    for (std::size_t i = 0; i < Gfx::SdlFont::CachedTexts + 10; ++i) {
        font->DrawText({0, 40, 320, 60}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "line " + std::to_string(i), 0, ToEnd);
    }
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    font->DrawText({20, 0, 300, 20}, {1.0f, 0.0f, 0.0f, 0.5f}, 0, "MMMM", 0, ToEnd);
    EXPECT_EQ(InkIn(0, 0, 320, line, [](auto p) { return p.red > 129; }), 0) << "the alpha applies per draw";
    EXPECT_GT(InkIn(0, 0, 320, line, [](auto p) { return p.red >= 127; }), 5);
    // Wider than any texture may be: the visible start still shows, to the right edge.
    font->DrawText({20, 60, 320, 80}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, std::string(5000, 'M'), 0, ToEnd);
    EXPECT_GT(InkIn(319, 60, 320, 60 + line, any), 0);
    EXPECT_TRUE(capture.ErrorLines().empty()) << capture.LastLine();
}

} // namespace
} // namespace Halvo
