#pragma once

#include "nes/mmc/BoardFactory.h"
#include "nes/mmc/Mmc.h"

namespace Halvo::Nes {

// The boards without bank switching: 16 KiB or 32 KiB of PRG-ROM at $8000-$FFFF and 8 KiB of CHR at
// PPU $0000-$1FFF. Writes to $8000-$FFFF do nothing.
class NRom : public Mmc {
public:
    explicit NRom(Process* process);

    void Reset(bool hard) override;
};

// Accepts "NROM" and its early variant "RROM" as a name of their own ("NROM", "NES-NROM-256",
// "HVC-RROM-128"), but not the other boards whose names end in those letters ("UNROM", "PNROM",
// "SNROM", "ANROM").
class NRomFactory : public BoardFactory<NRom> {
public:
    NRomFactory();

    bool Match(const std::string& boardName) override;
};

} // namespace Halvo::Nes
