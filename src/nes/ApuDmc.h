#pragma once

#include <cstdint>

namespace Halvo::Nes {

class Process;

// The delta modulation channel ($4010-$4013): plays 1-bit deltas read from the processor's memory,
// one bit every rate period, moving a 7-bit output level up or down by 2. A one-byte buffer sits
// between the memory reader and the output unit; whenever it is empty and bytes remain, the reader
// fetches the next byte at once, which stops the processor for `FetchStall` cycles. After the last
// byte the sample starts again (loop) or raises the DMC interrupt (when enabled).
class DmcChannel {
public:
    static const std::uint16_t NtscPeriods[16];
    static const std::uint16_t PalPeriods[16];
    static constexpr std::uint32_t FetchStall = 4;

    explicit DmcChannel(Process* owner) : process(owner) {}

    void Write(std::uint32_t reg, std::uint8_t value);
    // $4015 bit 4: off stops the sample; on restarts a finished one.
    void SetEnabled(bool on);
    void Reset();

    std::uint32_t StepCycles() const { return periods[rateIndex]; }
    // One output clock; returns true when the level changed.
    bool Step();
    std::int32_t Output() const { return level; }
    // Cycles the processor lost to fetches since the last call.
    std::uint32_t TakeStall() {
        const std::uint32_t cycles = stall;
        stall = 0;
        loadFetched = false;
        return cycles;
    }
    // Whether a fetch among those was the one a $4015 write started (the exact model times it apart).
    bool LoadFetched() const { return loadFetched; }
    // How many output clocks from now the last byte will be fetched (and the interrupt raised), or 0
    // when no sample plays or it loops.
    std::uint32_t StepsToEnd() const;

    Process* process;
    const std::uint16_t* periods = NtscPeriods;
    std::uint8_t rateIndex = 0;
    bool irqEnabled = false;
    bool loop = false;
    bool irqFlag = false;
    std::uint8_t level = 0;
    std::uint16_t sampleAddress = 0xC000;
    std::uint16_t sampleLength = 1;
    std::uint16_t address = 0xC000;
    std::uint16_t bytesRemaining = 0;
    std::uint8_t buffer = 0;
    bool bufferFull = false;
    std::uint8_t shift = 0;
    std::uint8_t bitsRemaining = 8;
    bool silence = true;
    std::uint32_t stall = 0;
    bool loadFetched = false;

private:
    void Fetch();
};

} // namespace Halvo::Nes
