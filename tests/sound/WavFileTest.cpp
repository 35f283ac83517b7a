#include "sound/WavFile.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

std::uint32_t Le(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    }
    return value;
}

// The header carries the rate and the final lengths; samples are clipped and stored little-endian.
TEST(WavFile, HeaderLengthsAndClippedSamples) {
    TestSupport::TempDir dir;
    Sound::WavFile wav;
    ASSERT_TRUE(wav.Open(dir.Path("a.wav").string(), 48000));
    const std::vector<float> samples = {0.0f, 0.5f, -1.0f, 2.0f, -3.0f};
    wav.Write(samples);
    wav.Write(samples);
    ASSERT_TRUE(wav.Close());
    const std::string bytes = TestSupport::ReadFile(dir.Path("a.wav"));
    ASSERT_EQ(bytes.size(), 44u + 20);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le(bytes, 4, 4), 36u + 20);
    EXPECT_EQ(Le(bytes, 24, 4), 48000u);
    EXPECT_EQ(Le(bytes, 40, 4), 20u);
    EXPECT_EQ(static_cast<std::int16_t>(Le(bytes, 46, 2)), 16384);
    EXPECT_EQ(static_cast<std::int16_t>(Le(bytes, 50, 2)), 32767);
    EXPECT_EQ(static_cast<std::int16_t>(Le(bytes, 52, 2)), -32767);

    EXPECT_FALSE(wav.Open(dir.Path("missing/b.wav").string(), 48000));
    EXPECT_EQ(wav.error, "No such file or directory");
}

} // namespace
} // namespace Halvo
