#include "nes/Process.h"

namespace Halvo::Nes {

Process::Process(RomImage* romImage) : romImage(romImage) {
    readHandlers.fill(&ReadUnmapped);
    writeHandlers.fill(&WriteUnmapped);
    // $0000-$1FFF: the 2 KiB of RAM answer at four mirrored addresses, the CPU decoding only 11 bits.
    for (std::uint32_t page = 0; page < 4; ++page) {
        MapCpuPage(page, ram.data(), ram.data());
    }
}

// The members go in reverse order: RAM with the map, then ports, mapper, PPU and processor.
Process::~Process() = default;

std::uint8_t Process::ReadUnmapped(Process*, std::uint32_t) {
    return 0;
}

void Process::WriteUnmapped(Process*, std::uint32_t, std::uint8_t) {}

} // namespace Halvo::Nes
