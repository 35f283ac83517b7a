#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sound/Resampler.h"

namespace Halvo::Sound {

// Brings the machine's samples to a fixed output rate so that, after any number of frames, exactly
// floor(frames x frame length x rate) samples have come out: a recording's sound ends where its
// picture ends however long it runs. The frame's share is counted with whole numbers (the remainder
// carried from frame to frame), never rounded frame by frame; the converter's own delay and the jitter
// of the machine's sample count per frame are taken up by a small reserve, padded with the last sample
// while it is short.
class FrameLockedResampler {
public:
    // `inputPerFrame`: the machine's samples in one frame on average; the frame lasts
    // `periodNumerator` / `periodDenominator` seconds.
    FrameLockedResampler(double inputPerFrame, std::int64_t periodNumerator, std::int64_t periodDenominator,
                         std::uint32_t outputRate);

    bool Valid() const { return resampler.Valid(); }
    // One frame's samples in; its exact share of output samples appended to `output`.
    void Frame(std::span<const float> input, std::vector<float>& output);
    std::uint64_t Written() const { return written; }

private:
    Resampler resampler;
    std::int64_t periodNumerator;
    std::int64_t periodDenominator;
    std::uint32_t outputRate;
    // outputRate x periodNumerator modulo periodDenominator, carried over from the frames so far.
    std::int64_t remainder = 0;
    std::vector<float> reserve;
    float last = 0;
    std::uint64_t written = 0;
};

} // namespace Halvo::Sound
