#include "shell/PictureSettings.h"

#include <string>

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

std::string Bytes(std::size_t count, std::uint8_t first) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(first + i);
    }
    return bytes;
}

// A 1536-byte file gives every emphasis its own colours; a 192-byte one gives the plain colours and
// lets the emphasis tint them (red emphasis keeps red stronger than blue); other sizes are refused.
TEST(PictureSettings, ReadsBothSizesOfPaletteFile) {
    TestSupport::TempDir dir;
    Gfx::NesColourTable colours{};
    std::string error;
    ASSERT_TRUE(
        PictureSettings::ReadPaletteFile(dir.Write("full.pal", Bytes(1536, 0)).string(), colours, error))
        << error;
    EXPECT_EQ(colours[0], 0x000102u);
    EXPECT_EQ(colours[511],
              static_cast<std::uint32_t>((1533 & 0xFF) << 16 | (1534 & 0xFF) << 8 | (1535 & 0xFF)));

    const std::string gray(192, '\x80');
    ASSERT_TRUE(PictureSettings::ReadPaletteFile(dir.Write("plain.pal", gray).string(), colours, error))
        << error;
    EXPECT_EQ(colours[0x16], 0x808080u);
    const std::uint32_t reddened = colours[64 + 0x16];
    EXPECT_GT(reddened >> 16 & 0xFF, reddened & 0xFF);

    EXPECT_FALSE(
        PictureSettings::ReadPaletteFile(dir.Write("odd.pal", Bytes(200, 0)).string(), colours, error));
    EXPECT_EQ(error, "it holds 200 bytes; a palette holds 192 (64 colours) or 1536 (with each emphasis)");
    EXPECT_FALSE(PictureSettings::ReadPaletteFile(dir.Path("none.pal").string(), colours, error));
}

// g_palette takes its words or a file; a file it cannot use is reported and changes nothing. Any change
// of the four settings is seen once.
TEST(PictureSettings, PaletteVariableTakesWordsAndFiles) {
    TestSupport::TempDir dir;
    TestSupport::ConsoleCapture capture;
    PictureSettings settings;
    for (Console::Function* function : settings.Functions()) {
        capture.System().RegisterFunction(Ref::Ptr<Console::Function>(function));
    }
    EXPECT_TRUE(settings.Changed());
    EXPECT_FALSE(settings.Changed());
    const std::string file = dir.Write("my colours.pal", std::string(192, '\x40')).string();
    capture.System().Execute("g_palette = \"" + file + "\"");
    EXPECT_EQ(settings.paletteVariable.value, "\"" + file + "\"");
    EXPECT_EQ((*settings.Colours())[0x16], 0x404040u);
    EXPECT_TRUE(settings.Changed());

    capture.Clear();
    capture.System().Execute("g_palette " + dir.Path("missing.pal").string());
    EXPECT_EQ(capture.ErrorLines().size(), 1u);
    EXPECT_EQ(settings.paletteVariable.value, "\"" + file + "\"");
    EXPECT_FALSE(settings.Changed());

    capture.System().Execute("g_palette classic");
    EXPECT_EQ(settings.paletteVariable.value, "classic");
    capture.System().Execute("g_filter ntsc");
    EXPECT_TRUE(settings.Changed());
    EXPECT_NE(settings.Filter(600), nullptr);
    for (Console::Function* function : settings.Functions()) {
        capture.System().UnregisterFunction(function->name);
    }
}

} // namespace
} // namespace Halvo
