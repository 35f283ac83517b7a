#pragma once

#include <array>
#include <cstdint>

#include "ref/Object.h"

namespace Halvo::Gfx {
class NesCanvas;
}

namespace Halvo::Nes {

class Process;

// The picture processing unit. For now it holds the PPU's page table: the 16 KiB PPU address space
// $0000-$3FFF in 1 KiB pages (0-7 the pattern tables, 8-11 the name tables, 12-15 their mirror at
// $3000), each pointing at the memory the mapper installed there, or null when nothing answers.
class Ppu : public Ref::Object {
public:
    static Ref::Ptr<Ppu> Create(Process*) { return Ref::Ptr<Ppu>(Ref::New<Ppu>()); }

    // Stand-ins until the real PPU arrives.
    void Reset(bool) { scanline = 241; }
    std::uint8_t ReadRegister(std::uint32_t) { return 0; }
    void WriteRegister(std::uint32_t, std::uint8_t) {}
    std::int32_t SpriteDma(std::uint32_t) { return 1536; }
    void RunFrame(bool) {}
    void SetCanvas(const Ref::Ptr<Gfx::NesCanvas>&) {}

    static constexpr std::uint32_t VramPageCount = 16;
    static constexpr std::uint32_t VramPageShift = 10;
    static constexpr std::uint32_t VramPageMask = (1u << VramPageShift) - 1;
    static constexpr std::uint32_t VramAddressMask = 0x3FFF;

    // The byte the PPU sees at an address: an unmapped page reads as 0. (The palette at $3F00 and up
    // is the PPU's own and is not reached through here.)
    std::uint8_t ReadVram(std::uint32_t address) const {
        address &= VramAddressMask;
        const std::uint8_t* data = vramPages[address >> VramPageShift];
        return data ? data[address & VramPageMask] : 0;
    }

    // A write through the data register: dropped on an unmapped page and on CHR-ROM.
    void WriteVram(std::uint32_t address, std::uint8_t value) {
        address &= VramAddressMask;
        const std::uint32_t page = address >> VramPageShift;
        if (vramPages[page] && !vramReadOnly[page]) {
            vramPages[page][address & VramPageMask] = value;
        }
    }

    // The last value written to $2001; rendering is enabled while bits 3 or 4 are set.
    std::uint8_t mask = 0;
    // The current scanline, 0 to the frame's line count - 1.
    std::int32_t scanline = 0;

    std::array<std::uint8_t*, VramPageCount> vramPages{};
    std::array<bool, VramPageCount> vramReadOnly{};
};

} // namespace Halvo::Nes
