#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace Halvo::TestSupport {

// Builds iNES files around small 6502 programs. The program is placed at $8000 of a 16 KiB PRG bank
// (mirrored at $C000 on NROM), and all three vectors point at its start.
struct RomBuilder {
    std::vector<std::uint8_t> program;
    std::uint8_t mapper = 0;
    std::uint8_t chrBanks = 1;
    std::vector<std::uint8_t> chr; // CHR-ROM contents; zero-filled to the bank count

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> file = {'N', 'E', 'S', 0x1A, 1, chrBanks, static_cast<std::uint8_t>(mapper << 4),
                                          static_cast<std::uint8_t>(mapper & 0xF0), 0, 0, 0, 0, 0, 0, 0, 0};
        std::vector<std::uint8_t> prg(16384, 0xEA);
        std::copy(program.begin(), program.end(), prg.begin());
        for (int vector = 0; vector < 3; ++vector) {
            prg[0x3FFA + 2 * vector] = 0x00;
            prg[0x3FFB + 2 * vector] = 0x80;
        }
        file.insert(file.end(), prg.begin(), prg.end());
        std::vector<std::uint8_t> chrRom(chrBanks * 8192u, 0);
        std::copy(chr.begin(), chr.begin() + std::min(chr.size(), chrRom.size()), chrRom.begin());
        file.insert(file.end(), chrRom.begin(), chrRom.end());
        return file;
    }

    void Write(const std::string& path) const {
        const std::vector<std::uint8_t> bytes = Bytes();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
};

// A program that paints the backdrop (palette entry $3F00) in NES colour `colour`, leaves rendering
// off, and then counts up the byte at $0000 for ever.
inline RomBuilder BackdropProgram(std::uint8_t colour) {
    RomBuilder rom;
    rom.program = {
        0x78,                   // SEI
        0xA9, 0x3F, 0x8D, 0x06, 0x20, // LDA #$3F, STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20, // LDA #$00, STA $2006
        0xA9, colour, 0x8D, 0x07, 0x20, // LDA #colour, STA $2007
        0xE6, 0x00,             // loop: INC $00
        0x4C, 0x10, 0x80,       // JMP loop
    };
    return rom;
}

// A program that plays a tone on pulse 1 and shows a changing backdrop: every frame differs.
inline RomBuilder ToneProgram() {
    RomBuilder rom;
    rom.program = {
        0xA9, 0x01, 0x8D, 0x15, 0x40, // LDA #$01, STA $4015
        0xA9, 0xBF, 0x8D, 0x00, 0x40, // LDA #$BF, STA $4000: duty 50%, volume 15, halted
        0xA9, 0xFD, 0x8D, 0x02, 0x40, // LDA #$FD, STA $4002: about 440 Hz
        0xA9, 0x00, 0x8D, 0x03, 0x40, // LDA #$00, STA $4003
        0xA9, 0x3F, 0x8D, 0x06, 0x20, // $8014: LDA #$3F, STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20, // LDA #$00, STA $2006
        0xE6, 0x00, 0xA5, 0x00,       // INC $00, LDA $00
        0x4A, 0x4A, 0x4A, 0x4A, 0x4A, // LSR x5: a new colour every few frames' worth of passes
        0x29, 0x3F, 0x8D, 0x07, 0x20, // AND #$3F, STA $2007
        0x4C, 0x14, 0x80,             // JMP $8014
    };
    return rom;
}

} // namespace Halvo::TestSupport
