#include "gfx/NesColors.h"

#include <array>

#include <gtest/gtest.h>

#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {
namespace {

struct Colour {
    int index;
    float red, green, blue;
};

// A canvas that only keeps the colours handed to it.
class RecordingCanvas : public NesCanvas {
public:
    RecordingCanvas() : NesCanvas(PixelFormat::X8R8G8B8) {}
    bool Reset() override { return true; }
    void Invalidate() override {}
    void Draw(const ScreenRect&) override {}
    Ref::Ptr<NesRenderer> BeginFrame() override { return nullptr; }
    void EndFrame() override {}
    void SetPaletteEntry(std::uint32_t, std::uint32_t) override {}
    void SetColor(std::uint32_t index, float red, float green, float blue, float alpha) override {
        ASSERT_LT(index, 64u);
        EXPECT_EQ(alpha, 1.0f);
        colours[index] = {static_cast<int>(index), red, green, blue};
    }

    // Generates the colours with the emphasis bits and checks those given.
    void Expect(std::uint32_t emphasisBits, std::initializer_list<Colour> expected) {
        emphasis = emphasisBits;
        colours.fill({-1, -1.0f, -1.0f, -1.0f});
        GenerateNesColors(*this);
        for (const Colour& colour : expected) {
            EXPECT_EQ(colours[colour.index].index, colour.index);
            EXPECT_NEAR(colours[colour.index].red, colour.red, 1e-4) << colour.index;
            EXPECT_NEAR(colours[colour.index].green, colour.green, 1e-4) << colour.index;
            EXPECT_NEAR(colours[colour.index].blue, colour.blue, 1e-4) << colour.index;
        }
    }

    std::array<Colour, 64> colours{};
};

TEST(NesColors, DefaultsGiveTheGraysWhitesAndHues) {
    RecordingCanvas canvas;
    // Hues from the colour wheel: a red, a blue, a green; channels below 0 or above 1 are clamped.
    canvas.Expect(0, {{0x0F, 0.02f, 0.02f, 0.02f},
                      {0x0D, 0.0f, 0.0f, 0.0f},
                      {0x00, 0.5f, 0.5f, 0.5f},
                      {0x30, 1.0f, 1.0f, 1.0f},
                      {0x16, 0.97164f, 0.17209f, 0.33449f},
                      {0x12, 0.24189f, 0.42831f, 0.94683f},
                      {0x06, 0.79164f, 0.0f, 0.15449f},
                      {0x0A, 0.0f, 0.50960f, 0.0f},
                      {0x21, 0.24868f, 0.81793f, 1.0f}});
    for (const auto& colour : canvas.colours) {
        EXPECT_GE(colour.index, 0) << "every colour is generated";
    }
}

TEST(NesColors, GrayscaleModeGivesEachRowItsGray) {
    RecordingCanvas canvas;
    canvas.colourMode = 0;
    canvas.Expect(0, {{0x00, 0.5f, 0.5f, 0.5f},
                      {0x1A, 0.75f, 0.75f, 0.75f},
                      {0x26, 1.0f, 1.0f, 1.0f},
                      {0x3F, 1.0f, 1.0f, 1.0f}});
}

TEST(NesColors, EmphasisScalesAndClamps) {
    RecordingCanvas canvas;
    canvas.Expect(7, {{0x20, 0.75f, 0.75f, 0.75f}, {0x0F, 0.015f, 0.015f, 0.015f}});
    // Red emphasis lifts white's red to 1.239, which is clamped.
    canvas.Expect(1, {{0x20, 1.0f, 0.915f, 0.743f}});
    // Only the register's three bits exist: a new canvas (all bits set) reads as 7.
    canvas.Expect(0xFFFFFFFFu, {{0x20, 0.75f, 0.75f, 0.75f}});
}

} // namespace
} // namespace Halvo::Gfx
