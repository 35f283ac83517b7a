#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ref/Object.h"
#include "sound/AudioDevice.h"
#include "sound/Resampler.h"

namespace Halvo::Sound {

// Carries the machine's sound to a device: converts it to the device's rate, applies the volume,
// and holds the device's queue near the wanted latency. The emulated frames are paced by the clock,
// which the device's own clock drifts from by a little; the resampling ratio follows the queue by at
// most half a percent, which nobody hears, so the queue neither runs dry nor grows. Where the sound
// stops (console open, no game, paused) it fades to zero, and it starts again from zero, so neither
// end clicks.
class AudioOutput {
public:
    AudioOutput(Ref::Ptr<AudioDevice> device, double inputRate);

    void SetInputRate(double inputRate);
    // 0-100.
    void SetVolume(std::uint32_t percent) {
        volume = static_cast<float>(percent > 100 ? 100 : percent) / 100.0f;
    }
    void SetLatency(std::uint32_t milliseconds);

    // The samples of the frames just emulated.
    void Submit(std::span<const float> samples);
    // No more sound for now: the queue plays out with a short fade, and the next Submit starts afresh.
    void Silence();

    std::uint32_t QueuedMilliseconds();
    // Times the device ran dry while sound was playing.
    std::uint32_t underruns = 0;
    AudioDevice* Device() const { return device.Get(); }

private:
    void QueueMono(std::span<const float> samples);

    Ref::Ptr<AudioDevice> device;
    Resampler resampler;
    double inputRate;
    float volume = 1.0f;
    std::uint32_t latencyFrames = 0;
    bool playing = false;
    std::uint32_t fadeIn = 0;
    float lastSample = 0;
    double drift = 0;
    std::vector<float> converted;
    std::vector<float> interleaved;
};

} // namespace Halvo::Sound
