#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// CNROM boards whose register's low bits, through diodes, only enable the one 8 KiB CHR-ROM (mapper
// 185): the games check that CHR reads fail before the right value is written. The submapper names
// the value whose low two bits enable it (4: 0, 5: 1, 6: 2, 7: 3); without one, any value with a
// non-zero low nibble other than $13 does, which covers the known games. While disabled the pattern
// tables read $FF, as the unconnected data lines float high.
class CNRomSecurity : public Mmc {
public:
    explicit CNRomSecurity(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    OwnMemory StateMemory(std::uint32_t index) override;

    std::uint8_t latch = 0;
    bool enabled = false;

    void StateRegisters(StateIo& io) override { io(latch, enabled); }

private:
    void MapChr();

    std::array<std::uint8_t, ChrPageSize> floating{};
};

} // namespace Halvo::Nes
