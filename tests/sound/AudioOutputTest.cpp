#include "sound/AudioOutput.h"

#include <cmath>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "sound/Resampler.h"

namespace Halvo {
namespace {

constexpr double MachineRate = 1789773.0 / 8;

std::vector<float> Sine(double frequency, double rate, double seconds, double amplitude = 0.5) {
    std::vector<float> samples(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate));
    }
    return samples;
}

double Rms(const std::vector<float>& samples, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
        sum += double{samples[i]} * samples[i];
    }
    return std::sqrt(sum / static_cast<double>(samples.size() - from));
}

// A tone in the audible band keeps its pitch and level through the conversion to 48 kHz, and one
// above the new Nyquist limit is filtered out instead of folding back as a false tone.
TEST(Resampler, KeepsTheBandAndRejectsWhatWouldAlias) {
    for (const auto& [frequency, rms] : {std::pair{1000.0, 0.3536}, std::pair{30000.0, 0.0}}) {
        Sound::Resampler resampler(MachineRate, 48000);
        std::vector<float> out;
        resampler.Process(Sine(frequency, MachineRate, 0.5), out);
        EXPECT_NEAR(out.size(), 24000, 200);
        EXPECT_NEAR(Rms(out, 1000), rms, 0.01) << frequency;
        if (frequency < 20000) {
            int rises = 0;
            for (std::size_t i = 1000; i + 1 < out.size(); ++i) {
                rises += out[i] < 0 && out[i + 1] >= 0;
            }
            EXPECT_NEAR(rises, 1000.0 * (out.size() - 1000) / 48000, 2);
        }
    }
}

// A device that plays at its own clock, a little off the machine's.
class FakeDevice : public Sound::AudioDevice {
public:
    std::uint32_t SampleRate() const override { return 48000; }
    std::uint32_t Channels() const override { return 2; }
    std::uint32_t QueuedFrames() override { return static_cast<std::uint32_t>(queued); }
    void Queue(std::span<const float> samples) override {
        queued += static_cast<double>(samples.size()) / 2;
        if (!samples.empty()) {
            last = samples.back();
        }
    }
    void Clear() override { queued = 0; }
    void Play(double frames) { queued = std::max(0.0, queued - frames); }
    double queued = 0;
    float last = 1;
};

// Two minutes of frames paced by the machine's clock against a device whose clock runs 0.3% fast or
// slow: the queue settles near its 60 ms target and never runs dry; the fade leaves it at zero.
TEST(AudioOutput, HoldsTheQueueNearItsTargetAgainstDrift) {
    for (const double drift : {1.003, 0.997}) {
        Ref::Ptr<FakeDevice> device(Ref::New<FakeDevice>());
        Sound::AudioOutput output(device, MachineRate);
        output.SetVolume(50);
        const double framesPerSecond = 60.0988;
        const std::vector<float> tone = Sine(440, MachineRate, 1 / framesPerSecond);
        std::uint32_t lowest = 1000, highest = 0;
        for (int frame = 0; frame < 120 * 60; ++frame) {
            output.Submit(tone);
            device->Play(48000 * drift / framesPerSecond);
            if (frame > 60 * 60) {
                lowest = std::min(lowest, output.QueuedMilliseconds());
                highest = std::max(highest, output.QueuedMilliseconds());
            }
        }
        EXPECT_EQ(output.underruns, 0u);
        EXPECT_GE(lowest, 50u) << drift;
        EXPECT_LE(highest, 70u) << drift;
        // A queue that runs dry is counted and refilled.
        device->Play(1e6);
        output.Submit(tone);
        EXPECT_EQ(output.underruns, 1u);
        EXPECT_GE(output.QueuedMilliseconds(), 60u);
        output.Silence();
        EXPECT_EQ(device->last, 0.0f);
    }
}

} // namespace
} // namespace Halvo
