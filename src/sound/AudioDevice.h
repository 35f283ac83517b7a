#pragma once

#include <cstdint>
#include <span>

#include "ref/Object.h"

namespace Halvo::Sound {

// Where sound leaves the program: a queue of samples that the platform plays at its own rate.
class AudioDevice : public Ref::Object {
public:
    // Frames per second and samples per frame (1 mono, 2 stereo) the device plays.
    virtual std::uint32_t SampleRate() const = 0;
    virtual std::uint32_t Channels() const = 0;
    // Frames queued and not yet played.
    virtual std::uint32_t QueuedFrames() = 0;
    // Appends interleaved samples of about -1 to 1.
    virtual void Queue(std::span<const float> samples) = 0;
    // Drops everything queued.
    virtual void Clear() = 0;
};

} // namespace Halvo::Sound
