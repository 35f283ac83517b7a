#include "gfx/sdl/SdlNesCanvas.h"

#include <tuple>

#include "gfx/LinearNesRenderer.h"
#include "gfx/ScreenRect.h"
#include "gfx/sdl/SdlTestDisplay.h"

namespace Halvo {
namespace {

using Renderer32 = Gfx::LinearNesRenderer<unsigned int, 3>;
constexpr Uint32 Red = 0xFFFF0000u, Blue = 0xFF0000FFu, White = 0xFFFFFFFFu, Yellow = 0xFFFFFF00u,
                 Magenta = 0xFFFF00FFu;

class SdlNesCanvas : public TestSupport::SdlTestDisplay {
protected:
    void SetUp() override {
        SdlTestDisplay::SetUp();
        if (!IsSkipped()) {
            ASSERT_TRUE(Configure(1024, 768));
            canvas = driver->CreateNesCanvas();
            ASSERT_TRUE(canvas);
        }
    }
    void TearDown() override {
        canvas = nullptr;
        SdlTestDisplay::TearDown();
    }

    // One frame: the shown rows 8-231 in four quadrants (red, blue / white, yellow), the rows outside
    // them magenta. EndFrame must replace rows 7 and 232 before the filter can sample them: the top and
    // bottom rows drawn show no magenta.
    void PaintQuadrants() {
        Ref::Ptr<Gfx::NesRenderer> frame = canvas->BeginFrame();
        auto* renderer = dynamic_cast<Renderer32*>(frame.Get());
        ASSERT_NE(renderer, nullptr) << "the software renderer offers ARGB8888 first: a 32-bit canvas";
        for (int y = 0; y < 256; ++y) {
            auto* row = reinterpret_cast<Uint32*>(renderer->pixels + y * renderer->pitch);
            for (int x = 0; x < 256; ++x) {
                row[x] = y < 8 || y >= 232 ? Magenta
                         : y < 120         ? (x < 128 ? Red : Blue)
                                           : (x < 128 ? White : Yellow);
            }
        }
        canvas->EndFrame();
    }

    void DrawInto(const Gfx::ScreenRect& rect) {
        driver->Clear(0.0f, 0.0f, 0.0f, 1.0f);
        canvas->Draw(rect);
    }

    Ref::Ptr<Gfx::NesCanvas> canvas;
};

TEST_F(SdlNesCanvas, TheShownRowsFillTheRectangleWithTheirEdgesIntact) {
    PaintQuadrants();
    // Texture row 8 lands on y = 0 and row 232 on y = 768; columns 0-255 span x = 73-949.
    DrawInto({73, 0, 950, 768});
    // Rows 0-1 and 766-767 are the frame's edges; the seams sit where source column 128 and row 120 fall;
    // nothing is drawn outside the rectangle.
    const std::tuple<int, int, Uint32> points[] = {
        {80, 0, Red},     {940, 0, Blue},     {80, 1, Red},       {940, 1, Blue},   {80, 300, Red},
        {940, 300, Blue}, {80, 500, White},   {940, 500, Yellow}, {80, 766, White}, {940, 766, Yellow},
        {80, 767, White}, {940, 767, Yellow}, {490, 10, Red},     {530, 10, Blue},  {80, 370, Red},
        {80, 390, White}, {72, 10, 0},        {950, 10, 0}};
    for (const auto& [x, y, colour] : points) {
        EXPECT_TRUE(Shows(x, y, TestSupport::ToRgb(colour)));
    }
}

TEST_F(SdlNesCanvas, OneFrameAtATimeAndAStrayEndFrameChangesNothing) {
    PaintQuadrants();
    canvas->EndFrame();   // no frame open: the texture keeps its picture
    canvas->Invalidate(); // a focus change keeps it too
    ASSERT_TRUE(canvas->Reset());
    DrawInto({0, 0, 256, 224});
    EXPECT_TRUE(Shows(10, 10, TestSupport::ToRgb(Red)));

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
