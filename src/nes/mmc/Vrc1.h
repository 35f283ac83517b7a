#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Konami's VRC1 (mapper 75): three 8 KiB PRG banks at $8000, $A000 and $C000 with the last page fixed,
// two 4 KiB CHR banks whose low four bits are written at $E000 and $F000 and whose fifth bits sit in
// $9000 beside the mirroring bit (ignored on four-screen boards).
class Vrc1 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::array<std::uint8_t, 2> chrBanks{};
    std::uint8_t control = 0; // $9000

    void StateRegisters(StateIo& io) override { io.Array(chrBanks)(control); }

private:
    void MapChr();
};

// Konami's VRC3 (mapper 73): a 16 KiB PRG bank at $8000 ($F000) with the last fixed, 8 KiB of CHR-RAM
// and of work RAM, and a 16-bit reload value written a nibble at a time ($8000-$B000) for a counter
// that counts processor cycles up, all 16 bits or only the low 8, and raises the IRQ and reloads when
// it wraps. $C000 sets the control and reloads the counter when enabling, $D000 acknowledges.
class Vrc3 : public Mmc {
public:
    explicit Vrc3(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    static constexpr std::uint8_t EnableAfterAck = 0x01;
    static constexpr std::uint8_t Enable = 0x02;
    static constexpr std::uint8_t EightBit = 0x04;

    std::uint16_t reload = 0;
    std::uint8_t control = 0;
    std::uint16_t counter = 0; // at processor cycle counterCycle
    std::uint64_t counterCycle = 0;

    void StateRegisters(StateIo& io) override {
        io(reload).Bounded(control, std::uint8_t{7})(counter, counterCycle);
    }

private:
    void SyncCounter(std::uint64_t now);
};

} // namespace Halvo::Nes
