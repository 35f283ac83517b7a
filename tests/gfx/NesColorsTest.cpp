#include "gfx/NesColors.h"

#include <array>

#include <gtest/gtest.h>

#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {
namespace {

struct Rgb {
    float red = -1.0f, green = -1.0f, blue = -1.0f;
};

// A canvas that only keeps the colours handed to it.
class RecordingCanvas : public NesCanvas {
public:
    explicit RecordingCanvas(PixelFormat format = PixelFormat::X8R8G8B8) : NesCanvas(format) {}

    bool Reset() override { return true; }
    void Invalidate() override {}
    void Draw(const ScreenRect&) override {}
    Ref::Ptr<NesRenderer> BeginFrame() override { return nullptr; }
    void EndFrame() override {}
    void SetPaletteEntry(std::uint32_t, std::uint32_t) override {}
    void SetColor(std::uint32_t index, float red, float green, float blue, float alpha) override {
        ASSERT_LT(index, 64u);
        EXPECT_EQ(alpha, 1.0f);
        colours[index] = {red, green, blue};
        ++calls;
    }

    std::array<Rgb, 64> colours{};
    int calls = 0;
};

void ExpectColour(const Rgb& colour, float red, float green, float blue, const char* what) {
    EXPECT_NEAR(colour.red, red, 1e-4) << what;
    EXPECT_NEAR(colour.green, green, 1e-4) << what;
    EXPECT_NEAR(colour.blue, blue, 1e-4) << what;
}

TEST(NesColors, DefaultsGiveTheGraysWhitesAndHues) {
    RecordingCanvas canvas;
    canvas.emphasis = 0;
    GenerateNesColors(canvas);
    EXPECT_EQ(canvas.calls, 64);
    ExpectColour(canvas.colours[0x0F], 0.02f, 0.02f, 0.02f, "0x0F");
    ExpectColour(canvas.colours[0x0D], 0.0f, 0.0f, 0.0f, "0x0D");
    ExpectColour(canvas.colours[0x00], 0.5f, 0.5f, 0.5f, "0x00");
    ExpectColour(canvas.colours[0x20], 1.0f, 1.0f, 1.0f, "0x20");
    ExpectColour(canvas.colours[0x30], 1.0f, 1.0f, 1.0f, "0x30");
    // Hues from the colour wheel: a red, a blue; channels below 0 or above 1 are clamped.
    ExpectColour(canvas.colours[0x16], 0.97164f, 0.17209f, 0.33449f, "0x16");
    ExpectColour(canvas.colours[0x12], 0.24189f, 0.42831f, 0.94683f, "0x12");
    ExpectColour(canvas.colours[0x06], 0.79164f, 0.0f, 0.15449f, "0x06");
    ExpectColour(canvas.colours[0x0A], 0.0f, 0.50960f, 0.0f, "0x0A");
    ExpectColour(canvas.colours[0x21], 0.24868f, 0.81793f, 1.0f, "0x21");
}

TEST(NesColors, GrayscaleModeGivesEachRowItsGray) {
    RecordingCanvas canvas;
    canvas.emphasis = 0;
    canvas.colourMode = 0;
    GenerateNesColors(canvas);
    const float grays[4] = {0.5f, 0.75f, 1.0f, 1.0f};
    for (int index = 0; index < 64; ++index) {
        const float gray = grays[index / 16];
        ExpectColour(canvas.colours[index], gray, gray, gray, std::to_string(index).c_str());
    }
}

TEST(NesColors, EmphasisScalesAndClamps) {
    RecordingCanvas canvas;
    canvas.emphasis = 7;
    GenerateNesColors(canvas);
    ExpectColour(canvas.colours[0x20], 0.75f, 0.75f, 0.75f, "emphasis 7, 0x20");
    ExpectColour(canvas.colours[0x0F], 0.015f, 0.015f, 0.015f, "emphasis 7, 0x0F");

    // Red emphasis lifts white's red to 1.239, which is clamped.
    canvas.emphasis = 1;
    GenerateNesColors(canvas);
    ExpectColour(canvas.colours[0x20], 1.0f, 0.915f, 0.743f, "emphasis 1, 0x20");

    // Only the register's three bits exist: a new canvas (all bits set) reads as 7.
    RecordingCanvas fresh;
    GenerateNesColors(fresh);
    ExpectColour(fresh.colours[0x20], 0.75f, 0.75f, 0.75f, "new canvas, 0x20");
}

TEST(NesColors, BrightnessAndMonochromeOutput) {
    RecordingCanvas canvas;
    canvas.emphasis = 0;
    canvas.brightness = 1.0f;
    GenerateNesColors(canvas);
    ExpectColour(canvas.colours[0x0F], 0.04f, 0.04f, 0.04f, "brightness 1");

    canvas.brightness = 0.5f;
    canvas.colourOutput = 0;
    GenerateNesColors(canvas);
    const float mean = (0.97164f + 0.17209f + 0.33449f) / 3.0f;
    ExpectColour(canvas.colours[0x16], mean, mean, mean, "monochrome 0x16");
}

TEST(NesColors, PalettedCanvasGetsThePaletteFilled) {
    RecordingCanvas canvas(PixelFormat::P8);
    ASSERT_TRUE(canvas.palette);
    canvas.emphasis = 0;
    canvas.palette->dirty = false;
    GenerateNesColors(canvas);
    EXPECT_TRUE(canvas.palette->dirty);
    EXPECT_EQ(canvas.palette->entries[0x20], (Palette::Entry{255, 255, 255, 255}));
    EXPECT_EQ(canvas.palette->entries[0x0F], (Palette::Entry{5, 5, 5, 255}));
    EXPECT_EQ(canvas.palette->entries[0x16], (Palette::Entry{247, 43, 85, 255}));
    EXPECT_EQ(canvas.palette->entries[64], (Palette::Entry{0, 0, 0, 255}));
}

} // namespace
} // namespace Halvo::Gfx
