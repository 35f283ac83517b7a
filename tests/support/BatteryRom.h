#pragma once

#include <string>

#include "support/RomBuilder.h"

namespace Halvo::TestSupport {

// An MMC1 cartridge with a battery whose program counts its starts at $6001 and then counts up $6000
// for ever: what a game's save looks like to the emulator. `nvramShift` non-zero makes the header
// NES 2.0 with 64 << nvramShift bytes of battery-backed RAM.
inline void WriteBatteryRom(const std::string& path, int nvramShift = 0) {
    RomBuilder rom;
    rom.mapper = 1;
    rom.program = {
        0xEE, 0x01, 0x60, // INC $6001
        0xEE, 0x00, 0x60, // loop: INC $6000
        0x4C, 0x03, 0x80, // JMP loop
    };
    std::vector<std::uint8_t> bytes = rom.Bytes();
    bytes[6] |= 0x02; // battery
    if (nvramShift) {
        bytes[7] = (bytes[7] & 0xF3) | 0x08;
        bytes[10] = static_cast<std::uint8_t>(nvramShift << 4);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace Halvo::TestSupport
