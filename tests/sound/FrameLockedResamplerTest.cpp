#include "sound/FrameLockedResampler.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Region.h"

namespace Halvo {
namespace {

// The machine's samples come in whole numbers per frame around the average (the APU makes one every 8
// cycles): this hands out the average's share of them, as it does.
std::size_t MachineSamples(double perFrame, double& carried) {
    carried += perFrame;
    const auto whole = static_cast<std::size_t>(carried);
    carried -= static_cast<double>(whole);
    return whole;
}

// After any number of frames, the output holds floor(frames x period x rate) samples: some minutes of NTSC
// frames and a shorter run of PAL ones end with the sound exactly where the picture ends.
TEST(FrameLockedResampler, GivesEveryFrameItsExactShareOverAnyLength) {
    for (const Nes::Region region : {Nes::Region::Ntsc, Nes::Region::Pal, Nes::Region::Dendy}) {
        const Nes::FramePeriod period = Nes::ExactFramePeriod(region);
        const double perFrame = period.cpuCycles / 8;
        Sound::FrameLockedResampler resampler(perFrame, period.numerator, period.denominator, 48000);
        ASSERT_TRUE(resampler.Valid());
        std::vector<float> input;
        std::vector<float> output;
        double carried = 0;
        const std::uint64_t frames = region == Nes::Region::Ntsc ? 6000 : 3000;
        for (std::uint64_t frame = 1; frame <= frames; ++frame) {
            input.assign(MachineSamples(perFrame, carried), 0.25f);
            output.clear();
            resampler.Frame(input, output);
            const auto expected = static_cast<std::uint64_t>(static_cast<unsigned __int128>(frame) * 48000 *
                                                             period.numerator / period.denominator);
            ASSERT_EQ(resampler.Written(), expected) << Nes::RegionName(region) << " frame " << frame;
        }
        // A steady signal comes through at its level.
        EXPECT_NEAR(output.back(), 0.25f, 0.01f);
    }
}

// A tone keeps its pitch, and a frame the machine made no sound for still has its share (the last level
// held, no gap).
TEST(FrameLockedResampler, KeepsThePitchAndFillsSilentFrames) {
    const Nes::FramePeriod period = Nes::ExactFramePeriod(Nes::Region::Ntsc);
    const double perFrame = period.cpuCycles / 8;
    const double inputRate =
        perFrame * static_cast<double>(period.denominator) / static_cast<double>(period.numerator);
    Sound::FrameLockedResampler resampler(perFrame, period.numerator, period.denominator, 48000);
    std::vector<float> input;
    std::vector<float> output;
    double carried = 0;
    std::uint64_t made = 0;
    for (int frame = 0; frame < 120; ++frame) {
        const std::size_t count = MachineSamples(perFrame, carried);
        input.resize(count);
        for (std::size_t i = 0; i < count; ++i, ++made) {
            input[i] =
                static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(made) / inputRate));
        }
        resampler.Frame(input, output);
    }
    // Upward zero crossings over the second of the two seconds: 1000 Hz within a few cycles.
    int crossings = 0;
    for (std::size_t i = output.size() / 2; i + 1 < output.size(); ++i) {
        crossings += output[i] <= 0 && output[i + 1] > 0;
    }
    const double seconds = static_cast<double>(output.size() - output.size() / 2) / 48000;
    EXPECT_NEAR(crossings / seconds, 1000.0, 5.0);

    const std::size_t before = output.size();
    resampler.Frame({}, output);
    EXPECT_GE(output.size() - before, 798u);
    EXPECT_LE(output.size() - before, 799u);
}

} // namespace
} // namespace Halvo
