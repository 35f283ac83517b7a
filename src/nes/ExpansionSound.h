#pragma once

#include <cstdint>

namespace Halvo::Nes {

class Apu;
class StateIo;

// The sound chips a cartridge may carry; each has its own volume setting.
enum class SoundChip : std::uint8_t { Vrc6, Vrc7, Namco163, Sunsoft5B, Mmc5, Fds, Count };

// A sound chip on the cartridge. Its output reaches the console's audio through the cartridge
// connector and is added to the console's own mix. The board owns the chip and attaches it to the
// sound unit, which then runs it along with its own channels (up to the cycle of each register access
// and of each flush of samples), so a machine without a chip pays nothing for the possibility.
//
// A chip reports its output in its own units (for example a DAC's steps); `SetUnit` gives the share
// of the console's full scale that one unit is, from the levels the hardware is measured at.
class ExpansionSound {
public:
    explicit ExpansionSound(SoundChip kind) : kind(kind) {}
    virtual ~ExpansionSound() = default;
    ExpansionSound(const ExpansionSound&) = delete;
    ExpansionSound& operator=(const ExpansionSound&) = delete;

    // Runs the chip up to processor cycle `to`; nothing when `to` is not past `lastCycle`. Chips keep
    // their timers relative to `lastCycle`, so a restart may move it.
    virtual void RunTo(std::uint64_t to) = 0;

    // For a chip whose channels take turns at its DAC: whether to output their mean instead.
    virtual void SetAveraged(bool) {}
    // 0-100; the output is re-weighted from the last cycle run on.
    void SetVolume(std::uint32_t percent);
    // The sound unit forgot every level (a reset, sound turned on) and goes on from cycle `now`: the
    // chip's present output is reported afresh and its time goes on from there.
    void Restart(std::uint64_t now);
    // Called by the sound unit when it attaches the chip (null when it lets go of it).
    void Attach(Apu* unit) { apu = unit; }

    const SoundChip kind;

protected:
    // One unit of output as a share of the console's full-scale output.
    void SetUnit(double share);
    // The chip's output from cycle `cycle` on, in its units.
    void Output(std::uint64_t cycle, std::int32_t level);
    // The chip's time and its output's bookkeeping, for the chip's state.
    void OutputState(StateIo& io);

    std::uint64_t lastCycle = 0;

private:
    void Emit(std::uint64_t cycle);

    Apu* apu = nullptr;
    double unitShare = 0;
    std::uint32_t volume = 100;
    std::int64_t weight = 0; // of one unit, in the mix's fixed point times 256
    std::int32_t level = 0;
    std::int32_t emitted = 0; // what the mix holds of the chip
};

} // namespace Halvo::Nes
