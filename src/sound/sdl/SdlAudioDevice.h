#pragma once

#include <cstdint>
#include <span>
#include <string>

#include <SDL.h>

#include "sound/AudioDevice.h"

namespace Halvo::Sound {

// The default SDL audio device, fed through SDL's queue: 48 kHz float samples unless the device asks
// for another rate or channel count.
class SdlAudioDevice : public AudioDevice {
public:
    // The device, or null with the reason in `error` (no audio driver, no device).
    static Ref::Ptr<SdlAudioDevice> Open(std::string& error);
    ~SdlAudioDevice() override;

    std::uint32_t SampleRate() const override { return static_cast<std::uint32_t>(spec.freq); }
    std::uint32_t Channels() const override { return spec.channels; }
    std::uint32_t QueuedFrames() override;
    void Queue(std::span<const float> samples) override;
    void Clear() override;

    SdlAudioDevice(SDL_AudioDeviceID id, const SDL_AudioSpec& obtained) : device(id), spec(obtained) {}

private:
    SDL_AudioDeviceID device;
    SDL_AudioSpec spec;
};

} // namespace Halvo::Sound
