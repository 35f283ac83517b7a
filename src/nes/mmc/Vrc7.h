#pragma once

#include <array>
#include <cstdint>

#include "nes/Vrc7Sound.h"
#include "nes/mmc/Mmc.h"
#include "nes/mmc/VrcIrq.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Konami's VRC7 (iNES mapper 85): three 8 KiB PRG banks ($8000, $8010, $9000) with the last page
// fixed at $E000, eight 1 KiB CHR banks ($A000-$D010), mirroring and work RAM enable at $E000, the
// VRC IRQ counter ($E010, $F000, $F010) and the FM sound ($9010 register, $9030 data). The second
// register of each pair is on address line A4 (VRC7a) or A3 (VRC7b); with NES 2.0 submapper 0 both
// are decoded.
class Vrc7 : public Mmc {
public:
    explicit Vrc7(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;
    void StateRegisters(StateIo& io) override;

    std::uint32_t secondLine = 0x18;
    std::array<std::uint8_t, 3> prgBanks{};
    std::array<std::uint8_t, 8> chrBanks{};
    std::uint8_t control = 0; // $E000
    VrcIrq irq;
    Vrc7Sound sound;

private:
    void MapControl();
};

} // namespace Halvo::Nes
