#pragma once

#include "support/RomBuilder.h"

namespace Halvo::TestSupport {

// A program for any board that keeps its 16 KiB at $8000 and $C000: it sets a palette, turns on
// rendering and a pulse tone, then for ever counts $0000 up and writes the count to $B000, $E000 (bank
// registers on most boards), $4002 (the tone's pitch), $6000 (work RAM, or a register), $4100 and $7FFE
// (registers of boards that decode them). The CHR-ROM pages differ, so the picture shows which bank is in.
inline RomBuilder BankingProgram(std::uint8_t mapper, std::uint8_t chrBanks = 2) {
    RomBuilder rom;
    rom.mapper = mapper;
    rom.chrBanks = chrBanks;
    rom.program = {
        0x78,                               // SEI
        0xA9, 0x3F, 0x8D, 0x06, 0x20,       // LDA #$3F, STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20,       // LDA #$00, STA $2006
        0xA2, 0x00,                         // LDX #0
        0x8A, 0x8D, 0x07, 0x20,             // palette: TXA, STA $2007
        0xE8, 0xE0, 0x20, 0xD0, 0xF7,       // INX, CPX #$20, BNE palette
        0xA9, 0x1E, 0x8D, 0x01, 0x20,       // LDA #$1E, STA $2001
        0xA9, 0x0F, 0x8D, 0x15, 0x40,       // LDA #$0F, STA $4015
        0xA9, 0xBF, 0x8D, 0x00, 0x40,       // LDA #$BF, STA $4000
        0xA9, 0x08, 0x8D, 0x03, 0x40,       // LDA #$08, STA $4003
        0xE6, 0x00, 0xA5, 0x00,             // loop: INC $00, LDA $00
        0x8D, 0x00, 0xB0, 0x8D, 0x00, 0xE0, // STA $B000, STA $E000
        0x8D, 0x02, 0x40, 0x8D, 0x00, 0x60, // STA $4002, STA $6000
        0x8D, 0x00, 0x41, 0x8D, 0xFE, 0x7F, // STA $4100, STA $7FFE
        0x4C, 0x2A, 0x80,                   // JMP loop
    };
    // Again in the second 8 KiB page, for boards that start with the last page at $8000 (MMC5).
    const std::vector<std::uint8_t> code = rom.program;
    rom.program.resize(0x2000, 0xEA);
    rom.program.insert(rom.program.end(), code.begin(), code.end());
    for (std::uint32_t i = 0; i < chrBanks * 8192u; ++i) {
        rom.chr.push_back(static_cast<std::uint8_t>((i >> 10) * 37 + i));
    }
    return rom;
}

// An MMC3 program whose scanline counter runs freely across frames: the IRQ every 101 rendered lines
// counts $0001 up and sets a playing tone's pitch to the count, while the main loop counts $0000.
inline RomBuilder Mmc3IrqProgram() {
    RomBuilder rom = BankingProgram(4);
    // The banking program's start without its SEI: the palette, rendering and the tone.
    const std::vector<std::uint8_t> start(rom.program.begin() + 1, rom.program.begin() + 0x2A);
    rom.program = {0xA5, 0x02, 0xD0, 0x3C}; // LDA $02, BNE irq (set once started)
    rom.program.insert(rom.program.end(), start.begin(), start.end());
    rom.program.insert(rom.program.end(),
                       {
                           0xA9, 0x64, 0x8D, 0x00, 0xC0,             // LDA #100, STA $C000 (latch)
                           0x8D, 0x01, 0xC0, 0x8D, 0x01, 0xE0,       // STA $C001 (reload), STA $E001 (enable)
                           0xE6, 0x02, 0x58,                         // INC $02, CLI
                           0xE6, 0x00, 0x4C, 0x3B, 0x80,             // loop: INC $00, JMP loop
                           0xE6, 0x01, 0xA5, 0x01, 0x8D, 0x02, 0x40, // irq: INC $01, LDA $01, STA $4002
                           0x8D, 0x00, 0xE0,                         // STA $E000 (acknowledge)
                           0x8D, 0x01, 0xE0, 0x40,                   // STA $E001, RTI
                       });
    return rom;
}

// An NROM program that keeps every part of the sound unit moving: looping envelopes on both pulses and
// the noise, a sweep, the triangle's linear counter and the DMC looping a sample, all restarted every
// 64 passes of its loop, so that a state taken at any frame holds dividers, counters and levels in
// mid-count.
inline RomBuilder SoundProgram() {
    RomBuilder rom;
    rom.program = {
        0x78, 0xA9, 0x40, 0x8D, 0x17, 0x40, // SEI, LDA #$40, STA $4017 (no frame IRQ)
        0xA9, 0x1F, 0x8D, 0x15, 0x40,       // LDA #$1F, STA $4015: every channel
        0xA9, 0x2B, 0x8D, 0x00, 0x40,       // start: LDA #$2B, STA $4000: looping envelope, period 11
        0xA9, 0x9A, 0x8D, 0x01, 0x40,       // LDA #$9A, STA $4001: sweep on, period 1, shift 2
        0xA9, 0x80, 0x8D, 0x02, 0x40,       // LDA #$80, STA $4002
        0xA9, 0x01, 0x8D, 0x03, 0x40,       // LDA #$01, STA $4003
        0xA9, 0x65, 0x8D, 0x04, 0x40,       // LDA #$65, STA $4004: duty 25%, envelope period 5
        0xA9, 0x40, 0x8D, 0x06, 0x40,       // LDA #$40, STA $4006
        0xA9, 0x02, 0x8D, 0x07, 0x40,       // LDA #$02, STA $4007
        0xA9, 0x30, 0x8D, 0x08, 0x40,       // LDA #$30, STA $4008: linear counter 48
        0xA9, 0x55, 0x8D, 0x0A, 0x40,       // LDA #$55, STA $400A
        0xA9, 0xF9, 0x8D, 0x0B, 0x40,       // LDA #$F9, STA $400B
        0xA9, 0x27, 0x8D, 0x0C, 0x40,       // LDA #$27, STA $400C: noise, looping envelope
        0xA9, 0x83, 0x8D, 0x0E, 0x40,       // LDA #$83, STA $400E: short mode
        0xA9, 0xF8, 0x8D, 0x0F, 0x40,       // LDA #$F8, STA $400F
        0xA9, 0x4E, 0x8D, 0x10, 0x40,       // LDA #$4E, STA $4010: DMC looping, rate 14
        0xA9, 0x00, 0x8D, 0x12, 0x40,       // LDA #$00, STA $4012: sample at $C000
        0xA9, 0x04, 0x8D, 0x13, 0x40,       // LDA #$04, STA $4013: 65 bytes
        0xA9, 0x1F, 0x8D, 0x15, 0x40,       // LDA #$1F, STA $4015
        0xA2, 0x40,                         // LDX #64
        0xA0, 0x00, 0x88, 0xD0, 0xFD,       // wait: LDY #0, DEY, BNE -3
        0xCA, 0xD0, 0xF8,                   // DEX, BNE wait
        0x4C, 0x0B, 0x80,                   // JMP start
    };
    return rom;
}

} // namespace Halvo::TestSupport
