#include "app/FramePacer.h"

namespace Halvo::App {

void FramePacer::SetDisplay(double refreshRate, bool waitsForRefresh) {
    if (refreshRate != refresh || waitsForRefresh != synchronised) {
        refresh = refreshRate;
        synchronised = waitsForRefresh;
        started = false;
    }
}

std::uint32_t FramePacer::RefreshesPerFrame() const {
    if (!synchronised || refresh <= 0 || rate <= 0) {
        return 0;
    }
    const double count = std::round(refresh / rate);
    if (count < 1 || std::abs(refresh / count - rate) > rate * HeldTolerance) {
        return 0;
    }
    return static_cast<std::uint32_t>(count);
}

double FramePacer::EffectiveRate() const {
    const std::uint32_t held = RefreshesPerFrame();
    return held ? refresh / held : rate;
}

std::uint32_t FramePacer::HeldFramesDue(double now, std::uint32_t held) {
    if (!started) {
        started = true;
        lastTurn = now;
        refreshesCounted = 0;
        refreshCarry = 0;
        next = now + held / refresh;
        return 1;
    }
    const double refreshes = (now - lastTurn) * refresh;
    lastTurn = now;
    std::uint32_t counted = 0;
    if (refreshes >= 0.5 && refreshes < 1.5) {
        // A turn that waited for the display took one refresh, whatever its exact rate.
        counted = 1;
    } else {
        // Turns that did not wait (or waited long) count by the clock.
        refreshCarry += refreshes;
        const double whole = std::floor(std::min(refreshCarry, 1e6));
        counted = static_cast<std::uint32_t>(whole);
        refreshCarry -= whole;
    }
    const std::uint64_t total = std::uint64_t{refreshesCounted} + counted;
    std::uint64_t frames = total / held;
    refreshesCounted = static_cast<std::uint32_t>(total % held);
    if (frames > MaxCatchUp) {
        frames = MaxCatchUp;
        refreshesCounted = 0;
    }
    next = now + (held - refreshesCounted) / refresh;
    return static_cast<std::uint32_t>(frames);
}

std::uint32_t FramePacer::FramesDue(double now) {
    // Fast forward runs by the clock: its frames are not meant to be watched one by one.
    if (const std::uint32_t held = RefreshesPerFrame(); held && speed == 1) {
        return HeldFramesDue(now, held);
    }
    const double period = 1.0 / (rate * speed);
    if (!started) {
        started = true;
        next = now + period;
        return 1;
    }
    // Fast forward runs several frames a turn by design; the cap grows with it.
    const auto limit = static_cast<std::uint32_t>(MaxCatchUp * (speed > 1 ? speed : 1));
    std::uint32_t frames = 0;
    while (next <= now && frames < limit) {
        next += period;
        ++frames;
    }
    if (next <= now) {
        next = now + period;
    }
    return frames;
}

double FramePacer::SecondsToNext(double now) const {
    if (!started || next <= now) {
        return 0;
    }
    return next - now;
}

} // namespace Halvo::App
