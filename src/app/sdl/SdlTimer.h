#pragma once

#include <cstdint>

#include "app/Timer.h"

namespace Halvo::App {

// Frame time from SDL's high-resolution performance counter.
class SdlTimer : public Timer {
public:
    SdlTimer();
    void Update() override;
    void Sleep(double seconds) override;
    double Now() override;

private:
    static constexpr std::uint64_t NoTicks = ~std::uint64_t{0};

    std::uint64_t lastTicks = NoTicks;
    std::uint64_t firstTicks = 0;
    float ticksPerSecond;
};

} // namespace Halvo::App
