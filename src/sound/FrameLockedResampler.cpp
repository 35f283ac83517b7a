#include "sound/FrameLockedResampler.h"

#include <algorithm>

namespace Halvo::Sound {

FrameLockedResampler::FrameLockedResampler(double inputPerFrame, std::int64_t periodNumerator,
                                           std::int64_t periodDenominator, std::uint32_t outputRate)
    : resampler(inputPerFrame * static_cast<double>(periodDenominator) / static_cast<double>(periodNumerator),
                outputRate),
      periodNumerator(periodNumerator), periodDenominator(periodDenominator), outputRate(outputRate) {
    reserve.reserve(outputRate / 4);
}

void FrameLockedResampler::Frame(std::span<const float> input, std::vector<float>& output) {
    remainder += static_cast<std::int64_t>(outputRate) * periodNumerator;
    const auto share = static_cast<std::size_t>(remainder / periodDenominator);
    remainder %= periodDenominator;

    resampler.Process(input, reserve);
    const std::size_t taken = std::min(share, reserve.size());
    output.insert(output.end(), reserve.begin(), reserve.begin() + static_cast<std::ptrdiff_t>(taken));
    if (taken > 0) {
        last = reserve[taken - 1];
    }
    // Short: the converter's delay at the start, or a frame without sound (the machine made none).
    output.insert(output.end(), share - taken, last);
    reserve.erase(reserve.begin(), reserve.begin() + static_cast<std::ptrdiff_t>(taken));
    // More than a few frames' worth waiting can only come from a machine making more sound than its
    // timing says; what would grow without end is dropped instead.
    if (reserve.size() > 4 * share + 64) {
        reserve.erase(reserve.begin(), reserve.end() - static_cast<std::ptrdiff_t>(share));
    }
    written += share;
}

} // namespace Halvo::Sound
