#pragma once

#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The boards whose one register is a latch of discrete logic: a write stores the byte, and its bits
// select the banks (and on some the mirroring). Each board below says which bits do what; those
// that decode their latch below $8000 watch $6000-$7FFF.
class DiscreteLatch : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t latch = 0; // the last value written

    void StateRegisters(StateIo& io) override { io(latch); }

protected:
    // Where the latch answers: $6000-$7FFF or $8000-$FFFF.
    virtual bool LowLatch() const { return false; }
    // Maps what the latch selects; `previous` is the latch before the write (at reset, 0).
    virtual void Apply(std::uint8_t previous) = 0;
    // Reset's PRG: the first 16 KiB at $8000 and the last at $C000.
    virtual void MapResetPrg();
};

// Jaleco JF-05 to JF-10 and Konami's boards of mapper 87: the 8 KiB CHR bank at $6000-$7FFF with its
// two bits swapped (bit 0 is the bank's bit 1); 32 KiB of PRG-ROM, unbanked.
class Jaleco87 : public DiscreteLatch {
public:
    using DiscreteLatch::DiscreteLatch;

protected:
    bool LowLatch() const override { return true; }
    void Apply(std::uint8_t previous) override;
    void MapResetPrg() override { MapPrg32k(0); }
};

// Bandai's and Taito's 74*161 boards (mapper 70; mapper 152 adds one-screen mirroring in bit 7): the
// 16 KiB PRG bank at $8000 in bits 4-7 (4-6 on 152), the 8 KiB CHR bank in bits 0-3.
class Bandai74161 : public DiscreteLatch {
public:
    explicit Bandai74161(Process* process);

    bool oneScreen = false; // mapper 152

protected:
    void Apply(std::uint8_t previous) override;
};

// Sunsoft-1 (mapper 184): two 4 KiB CHR banks at $6000-$7FFF, bits 0-2 for $0000 and 4-6 for $1000;
// 32 KiB of PRG-ROM, unbanked.
class Sunsoft1 : public DiscreteLatch {
public:
    using DiscreteLatch::DiscreteLatch;

protected:
    bool LowLatch() const override { return true; }
    void Apply(std::uint8_t previous) override;
    void MapResetPrg() override { MapPrg32k(0); }
};

// Sunsoft-2: the 16 KiB PRG bank at $8000 in bits 4-6. On the Sunsoft-3 board (mapper 89) also the
// 8 KiB CHR bank (bit 7 and bits 0-2) and the one-screen page (bit 3); on the Sunsoft-3R board
// (mapper 93) CHR is RAM and bit 0 enables it (not emulated: always on).
class Sunsoft2 : public DiscreteLatch {
public:
    explicit Sunsoft2(Process* process);

    bool chrBanking = true; // mapper 89

protected:
    void Apply(std::uint8_t previous) override;
};

// Jaleco JF-17 (mapper 72) and JF-19 (mapper 92): bits 0-3 are loaded into the 16 KiB PRG bank when
// bit 7 rises and into the 8 KiB CHR bank when bit 6 rises. JF-17 switches $8000 with the last bank
// fixed at $C000; JF-19 switches $C000 with the first bank fixed at $8000.
class JalecoJf17 : public DiscreteLatch {
public:
    explicit JalecoJf17(Process* process);

    bool upperSwitches = false; // JF-19
    std::uint8_t prgBank = 0;

    void StateRegisters(StateIo& io) override { io(latch, prgBank); }

protected:
    void Apply(std::uint8_t previous) override;
    void MapResetPrg() override;
};

// Jaleco JF-13 (mapper 86): at $6000-$6FFF the 32 KiB PRG bank in bits 4-5 and the 8 KiB CHR bank in
// bits 0-1 and 6 (its bit 2); $7000 drives a speech chip, not emulated.
class JalecoJf13 : public DiscreteLatch {
public:
    using DiscreteLatch::DiscreteLatch;

    void WriteLow(std::uint16_t address, std::uint8_t value) override;

protected:
    bool LowLatch() const override { return true; }
    void Apply(std::uint8_t previous) override;
    void MapResetPrg() override { MapPrg32k(0); }
};

// Irem's and Jaleco's boards of mapper 78: the 16 KiB PRG bank at $8000 in bits 0-2, the 8 KiB CHR
// bank in bits 4-7, and bit 3 mirroring: one screen on Cosmo Carrier's board (submapper 1),
// horizontal or vertical on Holy Diver's (Irem IF-12; Jaleco's JF-16 has one screen).
class Jaleco78 : public DiscreteLatch {
public:
    explicit Jaleco78(Process* process);

    bool holyDiver = false;

protected:
    void Apply(std::uint8_t previous) override;
};

} // namespace Halvo::Nes
