#include "sound/sdl/SdlAudioDevice.h"

namespace Halvo::Sound {

Ref::Ptr<SdlAudioDevice> SdlAudioDevice::Open(std::string& error) {
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = 48000;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 1;
    wanted.samples = 512;
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(
        nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (id == 0) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_PauseAudioDevice(id, 0);
    return Ref::Ptr<SdlAudioDevice>(Ref::New<SdlAudioDevice>(id, obtained));
}

SdlAudioDevice::~SdlAudioDevice() {
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::uint32_t SdlAudioDevice::QueuedFrames() {
    return SDL_GetQueuedAudioSize(device) / (sizeof(float) * spec.channels);
}

void SdlAudioDevice::Queue(std::span<const float> samples) {
    SDL_QueueAudio(device, samples.data(), static_cast<Uint32>(samples.size_bytes()));
}

void SdlAudioDevice::Clear() {
    SDL_ClearQueuedAudio(device);
}

} // namespace Halvo::Sound
