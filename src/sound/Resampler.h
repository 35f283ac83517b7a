#pragma once

#include <cstdint>
#include <span>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

namespace Halvo::Sound {

// Brings the machine's samples to the output rate with libsamplerate's band-limited converter. The
// ratio can be nudged while it runs (by at most `MaxAdjust`), which keeps an audio device's buffer
// at its target without an audible change of pitch.
class Resampler {
public:
    static constexpr double MaxAdjust = 0.005;

    Resampler(double inputRate, double outputRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // False when the converter could not be made; `Process` then produces nothing.
    bool Valid() const { return state != nullptr; }
    void SetRates(double inputRate, double outputRate);
    // A factor for the output rate, clamped to 1 +/- MaxAdjust.
    void SetAdjust(double factor);
    // Forgets the signal so far (after silence, or a reset).
    void Reset();
    // Converts `input` and appends the result to `output`.
    void Process(std::span<const float> input, std::vector<float>& output);

private:
    SRC_STATE* state = nullptr;
    double baseRatio = 1;
    double adjust = 1;
    std::vector<float> block;
};

} // namespace Halvo::Sound
