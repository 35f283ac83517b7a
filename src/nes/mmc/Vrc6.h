#pragma once

#include <array>
#include <cstdint>

#include "nes/Vrc6Sound.h"
#include "nes/mmc/Mmc.h"
#include "nes/mmc/VrcIrq.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Konami's VRC6 (iNES mappers 24 and 26, which swap the chip's two register address inputs): a 16 KiB
// PRG bank at $8000, an 8 KiB one at $C000 and the last page fixed at $E000, eight 1 KiB CHR banks,
// mirroring, work RAM at $6000, the VRC IRQ counter and the chip's three sound channels.
class Vrc6 : public Mmc {
public:
    explicit Vrc6(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;
    void StateRegisters(StateIo& io) override;

    bool swapLines = false; // mapper 26
    std::uint8_t prg16 = 0;
    std::uint8_t prg8 = 0;
    std::uint8_t banking = 0; // $B003
    std::array<std::uint8_t, 8> chrBanks{};
    VrcIrq irq;
    Vrc6Sound sound;
};

} // namespace Halvo::Nes
