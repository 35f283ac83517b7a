#include "gfx/PngFile.h"

#include <png.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

TEST(PngFile, WritesAPictureThatReadsBack) {
    TestSupport::TempDir dir;
    const std::string path = dir.Path("picture.png").string();
    std::vector<std::uint8_t> rgb(3 * 2 * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(i * 13);
    }
    ASSERT_TRUE(Gfx::WritePng(path, 3, 2, rgb));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
    EXPECT_EQ(back, rgb);

    EXPECT_FALSE(Gfx::WritePng(dir.Path("no/folder.png").string(), 3, 2, rgb));
    EXPECT_FALSE(Gfx::WritePng(path, 4, 2, rgb)); // the size does not match the bytes
}

} // namespace
} // namespace Halvo
