#include "gfx/MemoryNesCanvas.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/NesColors.h"
#include "support/ConsoleCapture.h"

namespace Halvo::Gfx {
namespace {

using Rgb = std::vector<std::uint8_t>;

Rgb PixelOf(const Rgb& picture, std::int32_t x, std::int32_t y) {
    const auto at = static_cast<std::size_t>((y * 256 + x) * 3);
    return {picture[at], picture[at + 1], picture[at + 2]};
}

// A row of eight opaque pixels of palette entry 1 at (x, y).
constexpr TileRecord SolidRow(std::int32_t x, std::uint32_t y) {
    return {x, y, 0, 0x00FF};
}

TEST(MemoryNesCanvas, CreateRefusesFormatsWithoutACanvas) {
    TestSupport::ConsoleCapture console;
    for (const PixelFormat format :
         {PixelFormat::Unknown, PixelFormat::X16R16G16B16, static_cast<PixelFormat>(99)}) {
        console.Clear();
        EXPECT_FALSE(MemoryNesCanvasBase::Create(format));
        ASSERT_EQ(console.ErrorLines().size(), 1u);
        const std::string message =
            std::string("No NES canvas for pixel format ") + GetFormatName(format) + ".";
        EXPECT_TRUE(TestSupport::IsReport(console.ErrorLines()[0], "Halvo::Gfx::MemoryNesCanvasBase::Create",
                                          message))
            << console.ErrorLines()[0];
    }
}

TEST(MemoryNesCanvas, PaletteEntriesHoldCopiesOfColours) {
    const Ref::Ptr<MemoryNesCanvas<unsigned int, 3>> canvas =
        Ref::New<MemoryNesCanvas<unsigned int, 3>>(PixelFormat::X8R8G8B8);
    canvas->SetColor(0x16, 1.0f, 0.0f, 0.0f, 1.0f);
    canvas->SetPaletteEntry(3, 0x16);
    canvas->SetColor(0x16, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(canvas->paletteMap[3], 0xFF0000u);
    EXPECT_EQ(canvas->colors[0x16], 0x0000FFu);
    canvas->SetPaletteEntry(3, 0x16);
    EXPECT_EQ(canvas->paletteMap[3], 0x0000FFu);
    // Palette RAM has 32 six-bit entries: larger numbers wrap instead of reaching past the tables.
    canvas->SetPaletteEntry(35, 0x56);
    EXPECT_EQ(canvas->paletteMap[3], 0x0000FFu);
}

TEST(MemoryNesCanvas, FrameDrawsIntoTheSurfaceAndCopiesTheBorderRows) {
    const Ref::Ptr<MemoryNesCanvasBase> canvas = MemoryNesCanvasBase::Create(PixelFormat::X8R8G8B8);
    canvas->SetColor(0x20, 1.0f, 1.0f, 1.0f, 1.0f);
    canvas->SetColor(0x0D, 0.0f, 0.0f, 0.0f, 1.0f);
    canvas->SetPaletteEntry(1, 0x20);

    Ref::Ptr<NesRenderer> renderer = canvas->BeginFrame();
    ASSERT_TRUE(renderer);
    renderer->DrawTile(SolidRow(0, 8));
    renderer->DrawTile(SolidRow(8, 231));
    // The renderer reads the canvas's clip width as the PPU changes it.
    canvas->bgClipWidth = 8;
    renderer->DrawTile(SolidRow(0, 100));
    canvas->EndFrame();

    EXPECT_EQ(canvas->GetPixel(0, 8), 0xFFFFFFu);
    EXPECT_EQ(canvas->GetPixel(0, 7), 0xFFFFFFu);
    EXPECT_EQ(canvas->GetPixel(8, 232), 0xFFFFFFu);
    EXPECT_EQ(canvas->GetPixel(0, 232), 0u);
    EXPECT_EQ(canvas->GetPixel(0, 100), 0u);

    // A second frame finds the colours and clip width the PPU changed in between.
    canvas->bgClipWidth = 0;
    canvas->SetColor(0x20, 0.0f, 1.0f, 0.0f, 1.0f);
    canvas->SetPaletteEntry(1, 0x20);
    renderer = canvas->BeginFrame();
    renderer->DrawTile(SolidRow(0, 8));
    // A palette write while the picture is drawn (games change colours between lines) colours the rows
    // drawn after it.
    canvas->SetColor(0x21, 0.0f, 0.0f, 1.0f, 1.0f);
    canvas->SetPaletteEntry(1, 0x21);
    renderer->DrawTile(SolidRow(8, 8));
    canvas->EndFrame();
    EXPECT_EQ(canvas->GetPixel(0, 7), 0x00FF00u);
    EXPECT_EQ(canvas->GetPixel(8, 8), 0x0000FFu);

    // With no frame open (the PPU may still hold its renderer) EndFrame leaves the surface alone.
    const std::vector<std::uint8_t> before = canvas->Surface();
    canvas->EndFrame();
    renderer = nullptr;
    canvas->EndFrame();
    EXPECT_EQ(canvas->Surface(), before);
}

TEST(MemoryNesCanvas, PictureIsReadBackAsEightBitRgb) {
    const auto canvas = Ref::New<MemoryNesCanvas<unsigned short, 1>>(PixelFormat::R5G6B5);
    const Ref::Ptr<NesCanvas> hold(canvas);
    canvas->SetColor(1, 1.0f, 0.5f, 0.25f, 1.0f);
    canvas->SetColor(2, 0.0f, 1.0f, 0.0f, 1.0f);
    canvas->SetPaletteEntry(0, 2);
    canvas->SetPaletteEntry(1, 1);
    {
        const Ref::Ptr<NesRenderer> renderer = canvas->BeginFrame();
        for (std::uint32_t y = 0; y < 240; ++y) {
            renderer->DrawBackdrop({0, y, 0, 0});
        }
        renderer->DrawTile(SolidRow(248, 8));
        renderer->DrawTile(SolidRow(0, 239));
        canvas->EndFrame();
    }

    const Rgb picture = canvas->GetPicture();
    ASSERT_EQ(picture.size(), 256u * 240u * 3u);
    EXPECT_EQ(PixelOf(picture, 0, 0), (Rgb{0, 255, 0}));
    // 0xFBE7: red 31 of 31, green 31 of 63, blue 7 of 31.
    EXPECT_EQ(PixelOf(picture, 255, 8), (Rgb{255, 125, 58}));
    EXPECT_EQ(PixelOf(picture, 0, 239), (Rgb{255, 125, 58}));

    const Rgb shown = canvas->GetShownPicture();
    ASSERT_EQ(shown.size(), 256u * 224u * 3u);
    EXPECT_EQ(Rgb(shown.begin(), shown.end()),
              Rgb(picture.begin() + 8 * 256 * 3, picture.begin() + 232 * 256 * 3));
}

TEST(MemoryNesCanvas, GeneratedColoursReachEveryCanvasKind) {
    // White backdrop, black (entry $0D) left column: the same picture whatever pixel type the format
    // needs (the read-back would garble a surface of the wrong width).
    for (const PixelFormat format :
         {PixelFormat::P8, PixelFormat::A8P8, PixelFormat::R3G3B2, PixelFormat::X1R5G5B5, PixelFormat::R8G8B8,
          PixelFormat::A8R8G8B8, PixelFormat::A2B10G10R10}) {
        const Ref::Ptr<MemoryNesCanvasBase> canvas = MemoryNesCanvasBase::Create(format);
        ASSERT_TRUE(canvas);
        canvas->emphasis = 0;
        GenerateNesColors(*canvas);
        canvas->SetPaletteEntry(0, 0x30);
        const Ref::Ptr<NesRenderer> renderer = canvas->BeginFrame();
        renderer->DrawBackdrop({0, 20, 0, 0});
        renderer->DrawBackdrop({8, 20, 0, 0});
        renderer->ClearLeftColumn(20);
        canvas->EndFrame();
        const Rgb picture = canvas->GetPicture();
        EXPECT_EQ(PixelOf(picture, 8, 20), (Rgb{255, 255, 255})) << GetFormatName(format);
        EXPECT_EQ(PixelOf(picture, 7, 20), (Rgb{0, 0, 0})) << GetFormatName(format);
    }
}

} // namespace
} // namespace Halvo::Gfx
