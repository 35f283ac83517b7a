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
    for (const PixelFormat format : {PixelFormat::Unknown, PixelFormat::X16R16G16B16}) {
        EXPECT_FALSE(MemoryNesCanvasBase::Create(format));
        EXPECT_TRUE(TestSupport::IsReport(console.LastLine(), "Halvo::Gfx::MemoryNesCanvasBase::Create",
                                          std::string("No NES canvas for pixel format ") +
                                              GetFormatName(format) + "."))
            << console.LastLine();
    }
}

// The same picture whatever pixel type the format needs (a surface of the wrong width would garble the
// read-back): white rows at the edges of the shown part, repeated above and below it at the end of the
// frame, a clipped row and a black left column.
TEST(MemoryNesCanvas, EveryKindDrawsTheSamePictureAndCopiesTheBorderRows) {
    const Rgb white{255, 255, 255};
    for (const PixelFormat format :
         {PixelFormat::P8, PixelFormat::A8P8, PixelFormat::R3G3B2, PixelFormat::X1R5G5B5, PixelFormat::R5G6B5,
          PixelFormat::R8G8B8, PixelFormat::A8R8G8B8, PixelFormat::A2B10G10R10}) {
        SCOPED_TRACE(GetFormatName(format));
        const Ref::Ptr<MemoryNesCanvasBase> canvas = MemoryNesCanvasBase::Create(format);
        ASSERT_TRUE(canvas);
        canvas->emphasis = 0;
        GenerateNesColors(*canvas);
        canvas->SetPaletteEntry(1, 0x30);
        const Ref::Ptr<NesRenderer> renderer = canvas->BeginFrame();
        renderer->DrawTile(SolidRow(0, 8));
        renderer->DrawTile(SolidRow(8, 231));
        renderer->ClearLeftColumn(20);
        canvas->bgClipWidth = 8; // the renderer reads the clip width as the PPU changes it
        renderer->DrawTile(SolidRow(0, 100));
        canvas->EndFrame();

        const Rgb picture = canvas->GetPicture();
        ASSERT_EQ(picture.size(), 256u * 240u * 3u);
        EXPECT_EQ(PixelOf(picture, 0, 8), white);
        EXPECT_EQ(PixelOf(picture, 0, 7), white);
        EXPECT_EQ(PixelOf(picture, 8, 232), white);
        EXPECT_EQ(PixelOf(picture, 7, 20), (Rgb{0, 0, 0}));
        EXPECT_NE(PixelOf(picture, 0, 100), white);
        EXPECT_EQ(canvas->GetShownPicture(),
                  Rgb(picture.begin() + 8 * 256 * 3, picture.begin() + 232 * 256 * 3));
    }
}

// Games change colours between lines: a palette entry holds a copy of its colour, so a palette write
// while the picture is drawn colours the rows drawn after it, and only those.
TEST(MemoryNesCanvas, PaletteWritesDuringAFrameColourTheRowsDrawnAfterThem) {
    const Ref::Ptr<MemoryNesCanvasBase> canvas = MemoryNesCanvasBase::Create(PixelFormat::X8R8G8B8);
    canvas->SetColor(0x20, 0.0f, 1.0f, 0.0f, 1.0f);
    canvas->SetPaletteEntry(1, 0x20);
    canvas->SetColor(0x20, 1.0f, 0.0f, 0.0f, 1.0f); // not seen until the entry is written again
    Ref::Ptr<NesRenderer> renderer = canvas->BeginFrame();
    renderer->DrawTile(SolidRow(0, 10));
    canvas->SetPaletteEntry(33, 0x60); // palette RAM has 32 six-bit entries: this is entry 1, colour 0x20
    renderer->DrawTile(SolidRow(0, 11));
    canvas->EndFrame();
    EXPECT_EQ(canvas->GetPixel(0, 10), 0x00FF00u);
    EXPECT_EQ(canvas->GetPixel(0, 11), 0xFF0000u);
}

} // namespace
} // namespace Halvo::Gfx
