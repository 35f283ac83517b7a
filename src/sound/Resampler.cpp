#include "sound/Resampler.h"

#include <algorithm>
#include <samplerate.h>

namespace Halvo::Sound {

namespace {

// Input frames converted per call of the library, which bounds the working block.
constexpr std::size_t ChunkFrames = 4096;

} // namespace

Resampler::Resampler(double inputRate, double outputRate) {
    int error = 0;
    // The fastest sinc converter still keeps 97 dB of its passband clean, far more than the console's
    // own output, and costs a fraction of the better ones.
    state = src_new(SRC_SINC_FASTEST, 1, &error);
    SetRates(inputRate, outputRate);
}

Resampler::~Resampler() {
    if (state) {
        src_delete(state);
    }
}

void Resampler::SetRates(double inputRate, double outputRate) {
    baseRatio = outputRate / inputRate;
    // Room for the largest chunk at the largest ratio, with a margin for the filter's delay.
    block.resize(static_cast<std::size_t>(ChunkFrames * baseRatio * (1 + MaxAdjust)) + 64);
}

void Resampler::SetAdjust(double factor) {
    adjust = std::clamp(factor, 1 - MaxAdjust, 1 + MaxAdjust);
}

void Resampler::Reset() {
    if (state) {
        src_reset(state);
    }
}

void Resampler::Process(std::span<const float> input, std::vector<float>& output) {
    if (!state) {
        return;
    }
    while (!input.empty()) {
        SRC_DATA data{};
        data.data_in = input.data();
        data.input_frames = static_cast<long>(std::min(input.size(), ChunkFrames));
        data.data_out = block.data();
        data.output_frames = static_cast<long>(block.size());
        data.src_ratio = baseRatio * adjust;
        if (src_process(state, &data) != 0) {
            return;
        }
        output.insert(output.end(), block.begin(), block.begin() + data.output_frames_gen);
        input = input.subspan(static_cast<std::size_t>(data.input_frames_used));
        if (data.input_frames_used == 0 && data.output_frames_gen == 0) {
            return;
        }
    }
}

} // namespace Halvo::Sound
