#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "nes/rom/RomImage.h"

namespace Halvo::TestSupport {

// One side: the disk info block (its side number at byte 21), one file of four bytes.
inline std::vector<std::uint8_t> Side(std::uint8_t sideNumber) {
    std::vector<std::uint8_t> side(Nes::RomImage::DiskSideSize, 0);
    const char info[] = "\x01*NINTENDO-HVC*";
    std::memcpy(side.data(), info, 15);
    side[15] = 0x99; // manufacturer
    side[21] = sideNumber;
    std::size_t at = 56;
    side[at++] = 2;
    side[at++] = 1;
    const std::uint8_t header[16] = {3, 0, 0, 'F', 'I', 'L', 'E', ' ', ' ', ' ', ' ', 0x00, 0x02, 4, 0, 0};
    std::memcpy(side.data() + at, header, 16);
    at += 16;
    const std::uint8_t data[5] = {4, 0xDE, 0xAD, 0xBE, 0xEF};
    std::memcpy(side.data() + at, data, 5);
    return side;
}

// A BIOS stub: it silences the sound unit's frame IRQ, starts the drive, waits until it is ready, reads
// `count` bytes of the first block by polling the transfer flag into $0200, stops the drive and waits with
// IRQs enabled. The IRQ handler counts IRQs at $0300 and acknowledges them.
inline std::vector<std::uint8_t> BiosStub(std::uint8_t count) {
    std::vector<std::uint8_t> bios(Nes::RomImage::DiskBiosSize, 0xEA);
    const std::uint8_t program[] = {
        0xA9, 0x40, 0x8D,  0x17, 0x40,             // LDA #$40, STA $4017: no frame IRQ from the sound unit
        0xA9, 0x83, 0x8D,  0x23, 0x40,             // LDA #$83, STA $4023: disk and sound registers on
        0xA9, 0x2E, 0x8D,  0x25, 0x40,             // LDA #$2E, STA $4025: transfer reset, motor off
        0xA9, 0x2D, 0x8D,  0x25, 0x40,             // LDA #$2D, STA $4025: motor on
        0xAD, 0x32, 0x40,  0x29, 0x02, 0xD0, 0xF9, // wait: LDA $4032, AND #2, BNE wait
        0xA9, 0x6D, 0x8D,  0x25, 0x40,             // LDA #$6D, STA $4025: look for the start mark
        0xA2, 0x00,                                // LDX #0
        0xAD, 0x30, 0x40,  0x29, 0x02, 0xF0, 0xF9, // loop: LDA $4030, AND #2, BEQ loop
        0xAD, 0x31, 0x40,  0x9D, 0x00, 0x02,       // LDA $4031, STA $0200,X
        0xE8, 0xE0, count, 0xD0, 0xEE,             // INX, CPX #count, BNE loop
        0xA9, 0x2E, 0x8D,  0x25, 0x40,             // LDA #$2E, STA $4025: stop
        0x58, 0x4C, 0x3A,  0xE0,                   // CLI, done: JMP done
    };
    std::memcpy(bios.data(), program, sizeof(program));
    const std::uint8_t irq[] = {0xEE, 0x00, 0x03, 0xAD, 0x30, 0x40, 0x40}; // INC $0300, LDA $4030, RTI
    std::memcpy(bios.data() + 0x100, irq, sizeof(irq));
    bios[0x1FFA] = 0x06, bios[0x1FFB] = 0xE1; // NMI: the handler's RTI
    bios[0x1FFC] = 0x00, bios[0x1FFD] = 0xE0;
    bios[0x1FFE] = 0x00, bios[0x1FFF] = 0xE1;
    return bios;
}

// A .fds file of `sides` sides (side n has side number n), with or without the header.
inline std::string DiskFile(std::uint32_t sides, bool header) {
    std::string file;
    if (header) {
        file = std::string("FDS\x1A", 4) + static_cast<char>(sides) + std::string(11, '\0');
    }
    for (std::uint32_t s = 0; s < sides; ++s) {
        const std::vector<std::uint8_t> side = Side(static_cast<std::uint8_t>(s));
        file.append(side.begin(), side.end());
    }
    return file;
}

} // namespace Halvo::TestSupport
