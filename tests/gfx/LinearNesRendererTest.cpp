#include "gfx/LinearNesRenderer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace Halvo::Gfx {
namespace {

template <class T, int N>
struct SurfaceKind {
    using Pixel = T;
    static constexpr int Code = N;
};

using SurfaceKinds = testing::Types<SurfaceKind<unsigned char, 0>, SurfaceKind<unsigned short, 1>,
                                    SurfaceKind<unsigned int, 2>, SurfaceKind<unsigned int, 3>>;

// Builds a pattern from its eight pixel values, leftmost first ("01233210").
std::uint32_t Pattern(const char* values) {
    std::uint32_t pattern = 0;
    for (int pixel = 0; pixel < 8; ++pixel) {
        const std::uint32_t value = static_cast<std::uint32_t>(values[pixel] - '0');
        pattern |= (value & 1) << (7 - pixel);
        pattern |= (value >> 1) << (15 - pixel);
    }
    return pattern;
}

// One set of scenarios for every surface kind. Rows of the surface read back as text: a palette entry
// as '0'-'9' then 'a'-'v' (so sprite entries 16-31 are 'g'-'v'), the clear colour as '#', an untouched
// pixel as '.', anything else as '?'.
template <class Kind>
class LinearNesRendererTest : public testing::Test {
protected:
    using T = typename Kind::Pixel;
    using Renderer = LinearNesRenderer<T, Kind::Code>;
    static constexpr std::int32_t Bytes = Renderer::BytesPerPixel;
    // Twelve spare pixels after each row catch a write past the right edge: Row reads them as x 256-267.
    static constexpr std::int32_t Pitch = 268 * Bytes;
    static constexpr std::uint8_t Untouched = 0x5A;
    static constexpr unsigned ClearCode = 32;

    LinearNesRendererTest() : surface(static_cast<std::size_t>(Pitch) * 240, Untouched) {
        for (unsigned entry = 0; entry < 32; ++entry) {
            palette[entry] = static_cast<T>(ValueOf(entry));
        }
        clear = static_cast<T>(ValueOf(ClearCode));
        renderer->pixels = surface.data();
        renderer->pitch = Pitch;
        renderer->SetPalette(palette.data());
        renderer->clearColour = &clear;
        renderer->bgClipWidth = &bgClip;
        renderer->spriteClipWidth = &spriteClip;
    }

    // Every byte of a pixel value differs from the others and from the untouched filler, so a misplaced
    // byte shows. The 3-byte kind gets a top byte that must never be stored.
    static std::uint32_t ValueOf(unsigned code) {
        return (0x80 + code) | (0x40 + code) << 8 | (0x20 + code) << 16 |
               (Kind::Code == 2 ? 0xEEu : 0x10 + code) << 24;
    }

    char At(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* pixel = &surface[y * Pitch + x * Bytes];
        if (std::all_of(pixel, pixel + Bytes, [](std::uint8_t byte) { return byte == Untouched; })) {
            return '.';
        }
        for (unsigned code = 0; code <= ClearCode; ++code) {
            const std::uint32_t value = ValueOf(code); // little-endian, as the renderer stores it
            if (std::memcmp(pixel, &value, Bytes) == 0) {
                return "0123456789abcdefghijklmnopqrstuv#"[code];
            }
        }
        return '?';
    }

    std::string Row(std::int32_t y, std::int32_t from, std::int32_t count) const {
        std::string text;
        for (std::int32_t x = from; x < from + count; ++x) {
            text += At(x, y);
        }
        return text;
    }

    std::vector<std::uint8_t> surface;
    std::array<T, 32> palette{};
    T clear{};
    std::uint32_t bgClip = 0;
    std::uint32_t spriteClip = 0;
    Ref::Ptr<Renderer> renderer = Ref::New<Renderer>();
};

TYPED_TEST_SUITE(LinearNesRendererTest, SurfaceKinds);

TYPED_TEST(LinearNesRendererTest, FineScrollAndRightEdge) {
    auto& renderer = *this->renderer;
    // Fine scroll 3: the first record loses its first three pixels.
    renderer.DrawTile({-3, 5, 1, Pattern("01233210")});
    EXPECT_EQ(this->Row(5, 0, 6), "77654.");
    renderer.DrawTile({253, 5, 2, Pattern("12300000")});
    renderer.DrawTile({261, 5, 3, Pattern("33333333")});
    EXPECT_EQ(this->Row(5, 248, 20), ".....9ab............");
    EXPECT_EQ(this->Row(6, 0, 8), "........");

    // Fine scroll 7 leaves one pixel, the row's last.
    renderer.DrawTile({-7, 7, 0, Pattern("00000002")});
    EXPECT_EQ(this->Row(7, 0, 2), "2.");
}

TYPED_TEST(LinearNesRendererTest, HiddenLeftColumn) {
    auto& renderer = *this->renderer;
    renderer.DrawTile({0, 2, 0, Pattern("11111111")});
    this->bgClip = 8;
    renderer.DrawTile({0, 2, 1, Pattern("22222222")});
    renderer.DrawBackdrop({0, 2, 0, 0});
    EXPECT_EQ(this->Row(2, 0, 8), "11111111");
    renderer.DrawTile({5, 2, 1, Pattern("01230123")});
    EXPECT_EQ(this->Row(2, 0, 14), "1111111174567.");

    // The clear colour covers the left column, which keeps its opacity for behind-background sprites.
    renderer.ClearLeftColumn(2);
    renderer.DrawSprite({0, 2, 0x20, Pattern("11111111")});
    EXPECT_EQ(this->Row(2, 0, 14), "########74567.");
    EXPECT_EQ(this->Row(1, 0, 9) + this->Row(3, 0, 9), "..................");
}

TYPED_TEST(LinearNesRendererTest, SpritePriorities) {
    auto& renderer = *this->renderer;
    // Earlier sprites win over later ones, wherever they are opaque.
    renderer.DrawTile({8, 0, 0, Pattern("00001111")});
    renderer.DrawSprite({8, 0, 0, Pattern("22002200")});
    renderer.DrawSprite({8, 0, 1, Pattern("33333333")});
    EXPECT_EQ(this->Row(0, 8, 8), "iinniinn");

    // A behind-background sprite shows over the transparent background (x 0-1), not the opaque one
    // (x 4-5), and in both places keeps a later in-front sprite out.
    renderer.DrawTile({0, 1, 0, Pattern("00001111")});
    renderer.DrawSprite({0, 1, 0x20, Pattern("33003300")});
    EXPECT_EQ(this->Row(1, 0, 8), "jj001111");
    renderer.DrawSprite({0, 1, 1, Pattern("11111111")});
    EXPECT_EQ(this->Row(1, 0, 8), "jjll11ll");

    // A later behind-background sprite stays under an earlier sprite.
    renderer.DrawBackdrop({0, 2, 0, 0});
    renderer.DrawSprite({0, 2, 0, Pattern("11110000")});
    renderer.DrawSprite({0, 2, 0x21, Pattern("22222222")});
    EXPECT_EQ(this->Row(2, 0, 8), "hhhhmmmm");

    // The backdrop is transparent to sprites.
    renderer.DrawTile({0, 3, 0, Pattern("33333333")});
    renderer.DrawBackdrop({-2, 3, 3, Pattern("33333333")});
    EXPECT_EQ(this->Row(3, 0, 8), "00000033");
    renderer.DrawSprite({0, 3, 0x20, Pattern("11111111")});
    EXPECT_EQ(this->Row(3, 0, 8), "hhhhhh33");
}

// Sprites run to the right edge and no further, and are clipped in the left column while the PPU hides
// sprites there.
TYPED_TEST(LinearNesRendererTest, SpriteClipping) {
    auto& renderer = *this->renderer;
    this->spriteClip = 8;
    renderer.DrawSprite({252, 1, 0, Pattern("12312312")});
    renderer.DrawSprite({0, 1, 0, Pattern("11111111")});
    renderer.DrawSprite({4, 1, 0, Pattern("01231111")});
    EXPECT_EQ(this->Row(1, 0, 13) + this->Row(1, 248, 20), "........hhhh.....hijh............");
}

// On a fresh renderer, since sprite claims last until the background is drawn over them again. A clipped
// prefix of a flipped row skips from the row's low bits.
TYPED_TEST(LinearNesRendererTest, HorizontalFlip) {
    auto& renderer = *this->renderer;
    this->spriteClip = 8;
    renderer.DrawSprite({16, 0, 0x40, Pattern("00000001")});
    renderer.DrawSprite({24, 0, 0, Pattern("00000001")});
    renderer.DrawSprite({4, 0, 0x40, Pattern("12300000")});
    EXPECT_EQ(this->Row(0, 7, 25), "..jih....h..............h");
}

// A line's rows in one call come out as the same rows drawn one at a time, the clipped edges included.
TYPED_TEST(LinearNesRendererTest, RowsInOneCallMatchRowsOneByOne) {
    auto& renderer = *this->renderer;
    for (const std::uint32_t clip : {0u, 8u}) {
        this->bgClip = clip;
        const std::uint32_t y = clip == 0 ? 20 : 30;
        std::vector<TileRecord> line;
        for (std::int32_t k = 0; k < 34; ++k) {
            const char* patterns[] = {"01233210", "33333333", "00000000", "12012012"};
            line.push_back({8 * k - 5, y, static_cast<std::uint32_t>(k), Pattern(patterns[k % 4])});
        }
        renderer.DrawTiles(line.data(), line.size());
        for (TileRecord record : line) {
            record.y = y + 1;
            renderer.DrawTile(record);
        }
        EXPECT_EQ(this->Row(y, 0, 268), this->Row(y + 1, 0, 268)) << clip;
        EXPECT_EQ(this->Row(y, 0, 12), clip == 0 ? "210777777778" : "........7778");
        EXPECT_EQ(this->Row(y, 256, 12), std::string(12, '.'));
    }
}

// A colour that changes between two draws is in the second one, whichever palette entry it is.
TYPED_TEST(LinearNesRendererTest, ChangedColoursShowInTheNextRow) {
    auto& renderer = *this->renderer;
    renderer.DrawTile({0, 0, 2, Pattern("01230123")});
    EXPECT_EQ(this->Row(0, 0, 8), "89ab89ab");
    this->palette[9] = this->palette[3];
    renderer.PaletteEntryChanged(9);
    this->palette[8] = this->palette[5];
    renderer.PaletteEntryChanged(8);
    const TileRecord row{8, 0, 2, Pattern("01230123")};
    renderer.DrawTiles(&row, 1);
    EXPECT_EQ(this->Row(0, 8, 8), "53ab53ab");
}

} // namespace
} // namespace Halvo::Gfx
