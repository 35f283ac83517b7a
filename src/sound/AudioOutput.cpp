#include "sound/AudioOutput.h"

#include <algorithm>

namespace Halvo::Sound {

namespace {

// Fades at the ends of the sound, in device frames (5 ms at 48 kHz).
constexpr std::uint32_t FadeFrames = 240;

} // namespace

AudioOutput::AudioOutput(Ref::Ptr<AudioDevice> outputDevice, double rate)
    : device(std::move(outputDevice)), resampler(rate, device->SampleRate()), inputRate(rate) {
    SetLatency(60);
    converted.reserve(16384);
    interleaved.reserve(32768);
}

void AudioOutput::SetInputRate(double rate) {
    if (rate != inputRate) {
        inputRate = rate;
        resampler.SetRates(inputRate, device->SampleRate());
    }
}

void AudioOutput::SetLatency(std::uint32_t milliseconds) {
    latencyFrames = std::max<std::uint32_t>(1, device->SampleRate() * milliseconds / 1000);
}

std::uint32_t AudioOutput::QueuedMilliseconds() {
    return static_cast<std::uint32_t>(std::uint64_t{device->QueuedFrames()} * 1000 / device->SampleRate());
}

void AudioOutput::Submit(std::span<const float> samples) {
    const std::uint32_t queued = device->QueuedFrames();
    if (!playing) {
        // Start with the queue at its target, so that the first frames have room to arrive.
        resampler.Reset();
        std::vector<float>& silence = converted;
        silence.assign(queued < latencyFrames ? latencyFrames - queued : 0, 0.0f);
        QueueMono(silence);
        playing = true;
        fadeIn = 0;
    } else if (queued == 0) {
        ++underruns;
        converted.assign(latencyFrames, lastSample);
        QueueMono(converted);
    } else if (queued > 3 * latencyFrames) {
        // Far behind (the program was held up): drop the backlog rather than play it late.
        device->Clear();
        converted.assign(latencyFrames, lastSample);
        QueueMono(converted);
    }

    // The nudge follows the queue's distance from its target, and a slowly built-up share of it takes
    // over the steady difference between the two clocks, so that the queue settles at the target.
    const double error = std::clamp((static_cast<double>(queued) - latencyFrames) / latencyFrames, -1.0, 1.0);
    drift = std::clamp(drift + error * 0.002, -1.0, 1.0);
    resampler.SetAdjust(1.0 - Resampler::MaxAdjust * std::clamp(0.5 * error + drift, -1.0, 1.0));

    converted.clear();
    resampler.Process(samples, converted);
    for (float& sample : converted) {
        sample *= volume;
        if (fadeIn < FadeFrames) {
            sample *= static_cast<float>(fadeIn++) / FadeFrames;
        }
    }
    QueueMono(converted);
}

void AudioOutput::Silence() {
    if (!playing) {
        return;
    }
    playing = false;
    converted.resize(FadeFrames);
    for (std::uint32_t i = 0; i < FadeFrames; ++i) {
        converted[i] = lastSample * static_cast<float>(FadeFrames - 1 - i) / FadeFrames;
    }
    QueueMono(converted);
    lastSample = 0;
}

void AudioOutput::QueueMono(std::span<const float> samples) {
    if (samples.empty()) {
        return;
    }
    lastSample = samples.back();
    const std::uint32_t channels = device->Channels();
    if (channels == 1) {
        device->Queue(samples);
        return;
    }
    interleaved.clear();
    for (const float sample : samples) {
        interleaved.insert(interleaved.end(), channels, sample);
    }
    device->Queue(interleaved);
}

} // namespace Halvo::Sound
