#include "gfx/sdl/SdlNesCanvas.h"

#include "gfx/LinearNesRenderer.h"
#include "gfx/ScreenRect.h"
#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using TestSupport::Describe;
using TestSupport::Near;
using TestSupport::Rgb;

constexpr Uint32 Red = 0xFFFF0000u;
constexpr Uint32 Blue = 0xFF0000FFu;
constexpr Uint32 White = 0xFFFFFFFFu;
constexpr Uint32 Yellow = 0xFFFFFF00u;
constexpr Uint32 Magenta = 0xFFFF00FFu;

class SdlNesCanvas : public TestSupport::SdlTestDisplay {
protected:
    using Renderer32 = Gfx::LinearNesRenderer<unsigned int, 3>;

    void SetUp() override {
        SdlTestDisplay::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(Configure(1024, 768));
        canvas = driver->CreateNesCanvas();
        ASSERT_TRUE(canvas);
    }

    void TearDown() override {
        canvas = nullptr;
        SdlTestDisplay::TearDown();
    }

    // One frame: the shown rows 8-231 in four quadrants (red, blue / white, yellow), every other row
    // magenta. EndFrame must replace rows 7 and 232 before the filter can sample them.
    void PaintQuadrants() {
        Ref::Ptr<Gfx::NesRenderer> frame = canvas->BeginFrame();
        ASSERT_TRUE(frame);
        auto* renderer = dynamic_cast<Renderer32*>(frame.Get());
        ASSERT_NE(renderer, nullptr) << "the software renderer offers ARGB8888 first: a 32-bit canvas";
        for (int y = 0; y < 256; ++y) {
            auto* row = reinterpret_cast<Uint32*>(renderer->pixels + y * renderer->pitch);
            for (int x = 0; x < 256; ++x) {
                const bool shown = y >= 8 && y < 232;
                row[x] = !shown ? Magenta : y < 120 ? (x < 128 ? Red : Blue) : (x < 128 ? White : Yellow);
            }
        }
        canvas->EndFrame();
    }

    void DrawInto(const Gfx::ScreenRect& rect) {
        driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
        canvas->Draw(rect);
    }

    void ExpectPixel(int x, int y, Uint32 expected) {
        const Uint32 actual = ReadPixel(x, y);
        EXPECT_TRUE(Near(actual, TestSupport::ToRgb(expected)))
            << "at (" << x << ", " << y << "): " << Describe(actual) << " instead of " << Describe(expected);
    }

    Ref::Ptr<Gfx::NesCanvas> canvas;
};

TEST_F(SdlNesCanvas, TheShownRowsFillTheRectangleWithTheirEdgesIntact) {
    EXPECT_EQ(canvas->formatter->format, Gfx::PixelFormat::A8R8G8B8);
    PaintQuadrants();
    // Texture row 8 lands on y = 0 and row 232 on y = 768; columns 0-255 span x = 73-949.
    DrawInto({73, 0, 950, 768});
    for (int y : {0, 1, 300}) {
        ExpectPixel(80, y, Red);
        ExpectPixel(940, y, Blue);
    }
    for (int y : {500, 766, 767}) {
        ExpectPixel(80, y, White);
        ExpectPixel(940, y, Yellow);
    }
    // The seams sit where source column 128 and row 120 fall; nothing is drawn outside the rectangle.
    ExpectPixel(490, 10, Red);
    ExpectPixel(530, 10, Blue);
    ExpectPixel(80, 370, Red);
    ExpectPixel(80, 390, White);
    ExpectPixel(72, 10, 0xFF000000u);
    ExpectPixel(950, 10, 0xFF000000u);

    // The rows above and below the shown ones now repeat its edges for the filter.
    Ref::Ptr<Gfx::NesRenderer> frame = canvas->BeginFrame();
    ASSERT_TRUE(frame);
    auto* renderer = static_cast<Renderer32*>(frame.Get());
    const auto pixelAt = [&](int x, int y) {
        return reinterpret_cast<const Uint32*>(renderer->pixels + y * renderer->pitch)[x];
    };
    EXPECT_EQ(pixelAt(0, 7), Red);
    EXPECT_EQ(pixelAt(255, 232), Yellow);
    EXPECT_EQ(pixelAt(0, 6), Magenta);
    canvas->EndFrame();
}

TEST_F(SdlNesCanvas, OneFrameAtATimeAndAStrayEndFrameChangesNothing) {
    PaintQuadrants();
    canvas->EndFrame();   // no frame open: the texture keeps its picture
    canvas->Invalidate(); // a focus change keeps it too
    ASSERT_TRUE(canvas->Reset());
    DrawInto({0, 0, 256, 224});
    ExpectPixel(10, 10, Red);

    Ref::Ptr<Gfx::NesRenderer> first = canvas->BeginFrame();
    ASSERT_TRUE(first);
    EXPECT_FALSE(canvas->BeginFrame());
    // The renderer goes while the frame is open: the frame still closes without touching its memory.
    driver->Terminate();
    canvas->EndFrame();
    EXPECT_EQ(static_cast<Renderer32*>(first.Get())->pixels, nullptr);
    canvas->Draw({0, 0, 256, 224});
}

} // namespace
} // namespace Halvo
