#include "gfx/sdl/SdlFont.h"

#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Gfx::ScreenRect;
using Gfx::ToEnd;
using TestSupport::Rgb;
using TestSupport::ToRgb;

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

    // The columns, within the rows from `top` to `bottom`, where something other than black was drawn.
    std::pair<int, int> InkColumns(int top, int bottom) {
        int first = -1;
        int last = -1;
        const std::vector<Uint32> pixels = ReadPixels(0, top, 320, bottom - top);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            if ((pixels[i] & 0xFFFFFF) != 0) {
                const int x = static_cast<int>(i % 320);
                first = first < 0 ? x : std::min(first, x);
                last = std::max(last, x);
            }
        }
        return {first, last};
    }
};

TEST_F(SdlFont, LinesFitTheRequestedHeight) {
    for (std::uint32_t height : {8u, 12u, 16u, 23u, 40u}) {
        Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", height);
        ASSERT_TRUE(font) << height;
        EXPECT_LE(font->GetLineHeight(), static_cast<int>(height));
        EXPECT_GE(font->GetLineHeight(), static_cast<int>(height) * 3 / 4)
            << "no smaller than it needs to be";
        ScreenRect rect{5, 7, 5, 7};
        font->MeasureText(rect, 0, "Halvo", 0, ToEnd);
        EXPECT_EQ(rect.top, 7);
        EXPECT_EQ(rect.bottom, 7 + font->GetLineHeight());
    }
}

TEST_F(SdlFont, CourierNewIsMonospacedAndAProportionalFaceGivesWayToOne) {
    for (const char* face : {"Courier New", "Liberation Sans"}) {
        Ref::Ptr<Gfx::SdlFont> font = MakeFont(face, 16);
        ASSERT_TRUE(font) << face;
        const int one = Width(*font, "M");
        EXPECT_GT(one, 0);
        EXPECT_EQ(Width(*font, "iiii"), 4 * one) << face << " gave " << font->GetFontFile();
        EXPECT_EQ(Width(*font, "MMMM"), 4 * one) << face;
    }
}

TEST_F(SdlFont, MeasureSelectsCharactersAndBreaksAtNewlines) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    const int one = Width(*font, "x");
    const std::string text = "console";
    EXPECT_EQ(Width(*font, text, 0, 3), 3 * one);
    EXPECT_EQ(Width(*font, text, 4, 100), 3 * one) << "a count past the end stops there";
    EXPECT_EQ(Width(*font, text, 99, ToEnd), 0) << "the start is lowered to the length";
    EXPECT_EQ(Width(*font, "caf\xC3\xA9"), 4 * one) << "UTF-8 counts as characters";
    EXPECT_EQ(Width(*font, "\xFF\xFE"), 2 * one) << "malformed bytes show one replacement each";

    ScreenRect rect{0, 0, 0, 0};
    font->MeasureText(rect, 0, "ab\nlonger", 0, ToEnd);
    EXPECT_EQ(rect.right, 6 * one);
    EXPECT_EQ(rect.bottom, 2 * font->GetLineHeight());
}

TEST_F(SdlFont, DrawsColouredTextClippedToItsRectangle) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    const int one = Width(*font, "M");
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    ASSERT_TRUE(font->Begin());
    font->DrawText({20, 30, 300, 60}, {1.0f, 0.0f, 0.0f, 1.0f}, 0, "MMMM", 0, ToEnd);
    // Clipped after two and a half characters.
    font->DrawText({20, 60, 20 + one * 5 / 2, 90}, {0.0f, 1.0f, 0.0f, 1.0f}, 0, "MMMMMM", 0, ToEnd);
    font->End();

    const auto [redFirst, redLast] = InkColumns(30, 30 + font->GetLineHeight());
    EXPECT_GE(redFirst, 20);
    EXPECT_LE(redFirst, 22);
    EXPECT_GE(redLast, 20 + 3 * one);
    EXPECT_LT(redLast, 20 + 4 * one);
    const std::vector<Uint32> row = ReadPixels(0, 30, 320, font->GetLineHeight());
    int reddest = 0;
    for (Uint32 pixel : row) {
        EXPECT_EQ(ToRgb(pixel).green, 0);
        reddest = std::max(reddest, ToRgb(pixel).red);
    }
    EXPECT_EQ(reddest, 255) << "the stems of M are fully covered";

    const auto [greenFirst, greenLast] = InkColumns(60, 90);
    EXPECT_GE(greenFirst, 20);
    EXPECT_LT(greenLast, 20 + one * 5 / 2);
    EXPECT_GE(greenLast, 20 + 2 * one);
}

// Drawn texts are kept as textures: the same text in another colour, or after many other texts have
// pushed it out, must still come out as asked.
TEST_F(SdlFont, KeptTextsFollowTheirColourAndSurviveEviction) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    ASSERT_TRUE(font->Begin());
    const auto strongest = [&](int top) {
        Rgb most;
        for (Uint32 pixel : ReadPixels(0, top, 320, 16)) {
            const Rgb rgb = ToRgb(pixel);
            most = {std::max(most.red, rgb.red), std::max(most.green, rgb.green),
                    std::max(most.blue, rgb.blue)};
        }
        return most;
    };
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    font->DrawText({0, 0, 320, 16}, {1.0f, 0.0f, 0.0f, 1.0f}, 0, "MMMM", 0, ToEnd);
    font->DrawText({0, 20, 320, 36}, {0.0f, 0.0f, 1.0f, 1.0f}, 0, "MMMM", 0, ToEnd);
    EXPECT_EQ(strongest(0).red, 255);
    EXPECT_EQ(strongest(0).blue, 0);
    EXPECT_EQ(strongest(20).red, 0);
    EXPECT_EQ(strongest(20).blue, 255);

    for (std::size_t i = 0; i < Gfx::SdlFont::CachedTexts + 10; ++i) {
        font->DrawText({0, 40, 320, 56}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "line " + std::to_string(i), 0, ToEnd);
    }
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    font->DrawText({0, 0, 320, 16}, {1.0f, 0.0f, 0.0f, 0.5f}, 0, "MMMM", 0, ToEnd);
    const Rgb faded = strongest(0);
    EXPECT_NEAR(faded.red, 128, 1) << "the alpha applies per draw";
    EXPECT_EQ(faded.green, 0);
}

TEST_F(SdlFont, TextReturnsAfterTheRendererIsReplacedAndTheFontReset) {
    Ref::Ptr<Gfx::SdlFont> font = MakeFont("Courier New", 16);
    ASSERT_TRUE(font);
    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    ASSERT_TRUE(driver->ResetAdapterConfig());
    EXPECT_FALSE(font->Begin()) << "the atlas went with the old renderer";
    driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
    font->DrawText({0, 0, 100, 20}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "MM", 0, ToEnd);
    EXPECT_EQ(InkColumns(0, 20).first, -1);

    ASSERT_TRUE(font->Reset());
    ASSERT_TRUE(font->Begin());
    font->DrawText({0, 0, 100, 20}, {1.0f, 1.0f, 1.0f, 1.0f}, 0, "MM", 0, ToEnd);
    EXPECT_GE(InkColumns(0, 20).first, 0);
}

} // namespace
} // namespace Halvo
