#pragma once

#include "ref/Object.h"

namespace Halvo::Nes {

// The cartridge board: which PRG and CHR banks the CPU and the PPU see, and the board's registers.
class Mmc : public Ref::Object {
public:
    ~Mmc() override = default;
};

} // namespace Halvo::Nes
