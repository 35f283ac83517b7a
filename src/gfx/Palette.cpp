#include "gfx/Palette.h"

#include <limits>

#include "gfx/PixelFormat.h"

namespace Halvo::Gfx {

namespace {

// A component as an entry byte: truncated, low 8 bits kept.
std::int32_t ToEntryByte(float component) {
    return static_cast<std::int32_t>(static_cast<std::uint64_t>(TruncateToInteger(component * 255.0)) & 0xFF);
}

} // namespace

Palette::Palette() {
    entries.fill(Entry{0, 0, 0, 255});
}

std::uint32_t Palette::FindNearest(float red, float green, float blue, float alpha) const {
    const std::int32_t wanted[4] = {ToEntryByte(red), ToEntryByte(green), ToEntryByte(blue),
                                    ToEntryByte(alpha)};
    std::uint32_t best = 0;
    std::int32_t bestDistance = std::numeric_limits<std::int32_t>::max();
    for (std::uint32_t index = 0; index < entries.size(); ++index) {
        const Entry& entry = entries[index];
        const std::int32_t have[4] = {entry.red, entry.green, entry.blue, entry.alpha};
        std::int32_t distance = 0;
        for (int channel = 0; channel < 4; ++channel) {
            const std::int32_t difference = have[channel] - wanted[channel];
            distance += difference * difference;
        }
        if (distance < bestDistance) {
            best = index;
            bestDistance = distance;
            if (distance == 0) {
                break;
            }
        }
    }
    return best;
}

} // namespace Halvo::Gfx
