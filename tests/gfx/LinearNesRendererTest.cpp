#include "gfx/LinearNesRenderer.h"

#include <array>
#include <cstdint>
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
// pixel as '.'.
template <class Kind>
class LinearNesRendererTest : public testing::Test {
protected:
    using T = typename Kind::Pixel;
    using Renderer = LinearNesRenderer<T, Kind::Code>;
    static constexpr std::int32_t Bytes = Renderer::BytesPerPixel;
    // Spare bytes after each row catch a write past the right edge.
    static constexpr std::int32_t Pitch = 256 * Bytes + 16;
    static constexpr std::uint8_t Untouched = 0x5A;
    static constexpr unsigned ClearCode = 32;

    LinearNesRendererTest() : surface(static_cast<std::size_t>(Pitch) * 240, Untouched) {
        for (unsigned entry = 0; entry < 32; ++entry) {
            palette[entry] = ValueOf(entry);
        }
        clear = ValueOf(ClearCode);
        renderer->pixels = surface.data();
        renderer->pitch = Pitch;
        renderer->SetPalette(palette.data());
        renderer->clearColour = &clear;
        renderer->bgClipWidth = &bgClip;
        renderer->spriteClipWidth = &spriteClip;
    }

    // Every byte of a pixel value differs from the others and from the untouched filler, so a misplaced
    // byte shows. The 3-byte kind gets a top byte that must never be stored.
    static T ValueOf(unsigned code) {
        const std::uint32_t value = (0x80 + code) | (0x40 + code) << 8 | (0x20 + code) << 16 |
                                    (Kind::Code == 2 ? 0xEEu : 0x10 + code) << 24;
        return static_cast<T>(value);
    }

    std::uint32_t Stored(std::int32_t x, std::int32_t y) const {
        std::uint32_t value = 0;
        for (std::int32_t byte = 0; byte < Bytes; ++byte) {
            value |= static_cast<std::uint32_t>(surface[y * Pitch + x * Bytes + byte]) << (8 * byte);
        }
        return value;
    }

    static std::uint32_t AsStored(std::uint32_t value) {
        return Bytes == 4 ? value : value & ((1u << (8 * Bytes)) - 1);
    }

    char At(std::int32_t x, std::int32_t y) const {
        const std::uint32_t stored = Stored(x, y);
        if (stored == AsStored(0x5A5A5A5Au)) {
            return '.';
        }
        if (stored == AsStored(ValueOf(ClearCode))) {
            return '#';
        }
        for (unsigned entry = 0; entry < 32; ++entry) {
            if (stored == AsStored(ValueOf(entry))) {
                return static_cast<char>(entry < 10 ? '0' + entry : 'a' + entry - 10);
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

    bool PaddingUntouched(std::int32_t y) const {
        for (std::int32_t byte = 256 * Bytes; byte < Pitch; ++byte) {
            if (surface[y * Pitch + byte] != Untouched) {
                return false;
            }
        }
        return true;
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
    EXPECT_EQ(this->Row(5, 248, 8), ".....9ab");
    EXPECT_TRUE(this->PaddingUntouched(5));
    EXPECT_EQ(this->Row(6, 0, 8), "........");

    // Fine scroll 7 leaves one pixel, the row's last.
    renderer.DrawTile({-7, 7, 0, Pattern("00000002")});
    EXPECT_EQ(this->Row(7, 0, 2), "2.");
}

TYPED_TEST(LinearNesRendererTest, BackdropIsTransparentToSprites) {
    auto& renderer = *this->renderer;
    renderer.DrawTile({0, 3, 0, Pattern("33333333")});
    renderer.DrawBackdrop({-2, 3, 3, Pattern("33333333")});
    EXPECT_EQ(this->Row(3, 0, 8), "00000033");
    renderer.DrawSprite({0, 3, 0x20, Pattern("11111111")});
    EXPECT_EQ(this->Row(3, 0, 8), "hhhhhh33");
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

TYPED_TEST(LinearNesRendererTest, SpriteClipping) {
    auto& renderer = *this->renderer;
    renderer.DrawSprite({252, 1, 0, Pattern("12312312")});
    EXPECT_EQ(this->Row(1, 248, 8), "....hijh");
    EXPECT_TRUE(this->PaddingUntouched(1));

    this->spriteClip = 8;
    renderer.DrawSprite({0, 1, 0, Pattern("11111111")});
    renderer.DrawSprite({4, 1, 0, Pattern("01231111")});
    EXPECT_EQ(this->Row(1, 0, 13), "........hhhh.");
}

TYPED_TEST(LinearNesRendererTest, EarlierSpritesWin) {
    auto& renderer = *this->renderer;
    renderer.DrawTile({8, 0, 0, Pattern("00001111")});
    renderer.DrawSprite({8, 0, 0, Pattern("22002200")});
    renderer.DrawSprite({8, 0, 1, Pattern("33333333")});
    EXPECT_EQ(this->Row(0, 8, 8), "iinniinn");
}

TYPED_TEST(LinearNesRendererTest, BehindBackgroundSpriteHidesLaterSprites) {
    auto& renderer = *this->renderer;
    renderer.DrawTile({0, 0, 0, Pattern("00001111")});
    // Shown over the transparent background (x 0-1), hidden by the opaque one (x 4-5)...
    renderer.DrawSprite({0, 0, 0x20, Pattern("33003300")});
    EXPECT_EQ(this->Row(0, 0, 8), "jj001111");
    // ...and in both places it keeps a later in-front sprite out.
    renderer.DrawSprite({0, 0, 1, Pattern("11111111")});
    EXPECT_EQ(this->Row(0, 0, 8), "jjll11ll");
}

TYPED_TEST(LinearNesRendererTest, LaterBehindSpriteStaysUnderEarlierSprite) {
    auto& renderer = *this->renderer;
    renderer.DrawBackdrop({0, 0, 0, 0});
    renderer.DrawSprite({0, 0, 0, Pattern("11110000")});
    renderer.DrawSprite({0, 0, 0x21, Pattern("22222222")});
    EXPECT_EQ(this->Row(0, 0, 8), "hhhhmmmm");
}

TYPED_TEST(LinearNesRendererTest, HorizontalFlip) {
    auto& renderer = *this->renderer;
    renderer.DrawSprite({16, 0, 0x40, Pattern("00000001")});
    renderer.DrawSprite({24, 0, 0, Pattern("00000001")});
    EXPECT_EQ(this->Row(0, 16, 16), "h..............h");

    // A clipped prefix of a flipped row skips from the row's low bits.
    this->spriteClip = 8;
    renderer.DrawSprite({4, 1, 0x40, Pattern("12300000")});
    EXPECT_EQ(this->Row(1, 7, 6), "..jih.");
}

TYPED_TEST(LinearNesRendererTest, RowsSitAtTheirByteOffsets) {
    auto& renderer = *this->renderer;
    constexpr std::int32_t Bytes = TestFixture::Bytes;
    renderer.DrawTile({10, 239, 0, Pattern("12312312")});
    renderer.ClearLeftColumn(238);
    std::int32_t first = -1;
    std::int32_t last = -1;
    for (std::int32_t byte = 0; byte < TestFixture::Pitch; ++byte) {
        if (this->surface[239 * TestFixture::Pitch + byte] != TestFixture::Untouched) {
            first = first < 0 ? byte : first;
            last = byte;
        }
    }
    EXPECT_EQ(first, 10 * Bytes);
    EXPECT_EQ(last, 18 * Bytes - 1);
    if constexpr (Bytes == 3) {
        EXPECT_EQ(first, 30);
        EXPECT_EQ(last, 53);
    }
    EXPECT_EQ(this->Row(239, 9, 10), ".12312312.");
    EXPECT_EQ(this->Row(238, 0, 9), "########.");
}

} // namespace
} // namespace Halvo::Gfx
