#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"

namespace Halvo {
namespace {

using TestSupport::BankCase;
using TestSupport::Events;
using TestSupport::Pages4;
using TestSupport::Pages8;
using TestSupport::Serial;
using TestSupport::SoftReset;

// clang-format off
const BankCase Cases[] = {
    {"NROM 16 KiB answers again at $C000", "NROM", 1, 1, {}, Pages4{0, 1, 0, 1}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{0, 1, 0, 1}},
    {"NROM 32 KiB ignores writes", "NROM", 2, 1, {{0x8000, 3}}, Pages4{0, 1, 2, 3}, std::nullopt, Pages4{0, 0, 1, 1}, Nes::MirrorHorizontal},
    {"CNROM 5 selects bank 1 of 4", "CNROM", 2, 4, {{0x8000, 5}}, Pages4{0, 1, 2, 3}, Pages8{8, 9, 10, 11, 12, 13, 14, 15}},
    {"CNROM soft reset returns to bank 0", "CNROM", 2, 4, {{0x8000, 3}, {SoftReset, 0}}, std::nullopt, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"CNROM $FF at $FFFF selects bank 3", "CNROM", 2, 4, {{0xFFFF, 0xFF}}, std::nullopt, Pages8{24, 25, 26, 27, 28, 29, 30, 31}},
    {"UNROM bank 11 wraps to 3, last bank fixed", "UNROM", 8, 0, {{0xC000, 11}}, Pages4{6, 7, 14, 15}},
    {"GNROM $21: PRG 2, CHR 1", "GNROM", 8, 2, {{0x8000, 0x21}}, Pages4{8, 9, 10, 11}, Pages8{8, 9, 10, 11, 12, 13, 14, 15}},
    {"GNROM $F0: PRG 3, CHR 0", "GNROM", 8, 2, {{0x8000, 0xF0}}, Pages4{12, 13, 14, 15}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"AOROM starts on name table 0", "AOROM", 8, 0, {}, Pages4{0, 1, 2, 3}, std::nullopt, Pages4{0, 0, 0, 0}},
    {"AOROM $1F: bank 15 wraps to 3, name table 1", "AOROM", 8, 0, {{0x8000, 0x1F}}, Pages4{12, 13, 14, 15}, std::nullopt, Pages4{1, 1, 1, 1}},
    {"AOROM soft reset", "AOROM", 8, 0, {{0x8000, 0x13}, {SoftReset, 0}}, Pages4{0, 1, 2, 3}, std::nullopt, Pages4{0, 0, 0, 0}},
    {"MMC1 after reset", "SLROM", 8, 4, {}, Pages4{0, 1, 14, 15}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{0, 0, 0, 0}},
    {"MMC1 serial 1 at $E000 selects bank 1", "SLROM", 8, 4, Serial({{0xE000, 1}}), Pages4{2, 3, 14, 15}},
    {"MMC1 reset bit discards three bits", "SLROM", 8, 4, Events{{0xE000, 1}, {0xE000, 1}, {0xE000, 1}, {0x8000, 0x80}, {0xE000, 0}, {0xE000, 1}, {0xE000, 0}, {0xE000, 0}, {0xE000, 0}}, Pages4{4, 5, 14, 15}},
    {"MMC1 reset bit keeps the registers", "SLROM", 8, 4, Serial({{0x8000, 0x02}, {0xE000, 3}, {0x9FFF, 0xFF}}), Pages4{4, 5, 6, 7}, std::nullopt, Pages4{0, 1, 0, 1}},
    {"MMC1 first bank fixed, switch at $C000", "SLROM", 8, 4, Serial({{0x8000, 0x0B}, {0xE000, 3}}), Pages4{0, 1, 6, 7}, std::nullopt, Pages4{0, 0, 1, 1}},
    {"MMC1 8 KiB CHR ignores bit 0", "SLROM", 8, 4, Serial({{0xA000, 3}}), std::nullopt, Pages8{8, 9, 10, 11, 12, 13, 14, 15}},
    {"MMC1 4 KiB CHR", "SLROM", 8, 4, Serial({{0x8000, 0x1D}, {0xA000, 3}, {0xC000, 5}}), std::nullopt, Pages8{12, 13, 14, 15, 20, 21, 22, 23}, Pages4{1, 1, 1, 1}},
    {"MMC1 soft reset", "SLROM", 8, 4, Serial({{0x8000, 0x1E}, {0xA000, 3}, {0xE000, 3}, {SoftReset, 0}}), Pages4{0, 1, 14, 15}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{0, 0, 0, 0}},
    {"MMC1 512 KiB after reset", "SUROM", 32, 0, {}, Pages4{0, 1, 30, 31}},
    {"MMC1 512 KiB upper half", "SUROM", 32, 0, Serial({{0xA000, 0x10}, {0xE000, 1}}), Pages4{34, 35, 62, 63}},
    {"MMC2 after reset", "PNROM", 8, 4, {}, Pages4{0, 13, 14, 15}, Pages8{0, 1, 2, 3, 16, 17, 18, 19}},
    {"MMC2 registers of the latched banks", "PNROM", 8, 4, {{0x8000, 7}, {0xAFFF, 17}, {0xB000, 3}, {0xC000, 2}, {0xD000, 6}, {0xE000, 5}}, Pages4{1, 13, 14, 15}, Pages8{8, 9, 10, 11, 20, 21, 22, 23}},
    {"MMC2 latch 0 waits for a fetch of tile $FD", "PNROM", 8, 4, {{0xB000, 3}}, std::nullopt, Pages8{0, 1, 2, 3, 16, 17, 18, 19}},
    {"MMC2 background tile $FD at $0000", "PNROM", 8, 4, {{0xB000, 3}, {0x0FD5, 0}}, std::nullopt, Pages8{12, 13, 14, 15, 16, 17, 18, 19}},
    {"MMC2 tiles $FC and $FF move no latch", "PNROM", 8, 4, {{0xB000, 3}, {0xD000, 6}, {0x0FC7, 0}, {0x0FF0, 0}, {0x1FCF, 0}, {0x1FF8, 0}}, std::nullopt, Pages8{0, 1, 2, 3, 16, 17, 18, 19}},
    {"MMC2 background tile $FD at $1000", "PNROM", 8, 4, {{0xD000, 6}, {0x1FD0, 0}}, std::nullopt, Pages8{0, 1, 2, 3, 24, 25, 26, 27}},
    {"MMC2 sprite tile $FE at $1000, line before", "PNROM", 8, 4, {{0xD000, 6}, {0x1FD0, 0}, {0x1FE2, 0}, {0xE000, 5}}, std::nullopt, Pages8{0, 1, 2, 3, 20, 21, 22, 23}},
    {"MMC2 soft reset", "PNROM", 8, 4, {{0xA000, 5}, {0xB000, 3}, {0x0FD0, 0}, {SoftReset, 0}}, Pages4{0, 13, 14, 15}, Pages8{0, 1, 2, 3, 16, 17, 18, 19}},
    {"MMC2 $F000 = 1 horizontal", "PNROM", 8, 4, {{0xF000, 1}}, std::nullopt, std::nullopt, Pages4{0, 0, 1, 1}},
    {"MMC2 $F000 = 0 vertical", "PNROM", 8, 4, {{0xF000, 1}, {0xFFFF, 0}}, std::nullopt, std::nullopt, Pages4{0, 1, 0, 1}, Nes::MirrorHorizontal},
    {"MMC3 after reset", "TLROM", 8, 8, {}, Pages4{0, 1, 14, 15}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"MMC3 banks 6 and 7", "TLROM", 8, 8, {{0x8000, 6}, {0x8001, 3}, {0x8000, 7}, {0x8001, 9}}, Pages4{3, 9, 14, 15}},
    {"MMC3 PRG mode 1 swaps $8000 and $C000", "TLROM", 8, 8, {{0x8000, 0x46}, {0x8001, 3}}, Pages4{14, 1, 3, 15}},
    {"MMC3 registers answer at their own addresses only", "TLROM", 8, 8, {{0x9FFE, 6}, {0x9FFF, 5}, {0x8002, 0x40}}, Pages4{0, 1, 14, 15}},
    {"MMC3 CHR inversion applies to later writes", "TLROM", 8, 8, {{0x8000, 0x80}, {0x8001, 8}}, std::nullopt, Pages8{0, 1, 2, 3, 8, 9, 6, 7}},
    {"MMC3 2 KiB banks take the value as written", "TLROM", 8, 8, {{0x8000, 0}, {0x8001, 9}, {0x8000, 1}, {0x8001, 12}, {0x8000, 5}, {0x8001, 33}}, std::nullopt, Pages8{9, 10, 12, 13, 4, 5, 6, 33}},
    {"MMC3 soft reset", "TLROM", 8, 8, {{0x8000, 0x46}, {0x8001, 3}, {0x8000, 0x80}, {SoftReset, 0}}, Pages4{0, 1, 14, 15}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"MMC3 $A000 = 1 horizontal", "TLROM", 8, 8, {{0xA000, 1}}, std::nullopt, std::nullopt, Pages4{0, 0, 1, 1}},
    {"MMC3 $A000 on four screens", "TVROM", 8, 8, {{0xA000, 1}, {0xA000, 0}}, std::nullopt, std::nullopt, Pages4{0, 1, 2, 3}, Nes::MirrorFourScreen},
    {"VRC4 after reset", "VRC4EF", 16, 16, {}, Pages4{0, 1, 30, 31}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{0, 1, 0, 1}},
    {"VRC4 PRG banks, swap mode on A3", "VRC4EF", 16, 16, {{0x8000, 5}, {0xA000, 0x27}, {0x9008, 2}}, Pages4{30, 7, 5, 31}},
    {"VRC4 swap mode on A1 of mapper 23", "VRC4EF", 16, 16, {{0x8000, 5}, {0x9002, 2}}, Pages4{30, 1, 5, 31}},
    {"VRC4 CHR nibbles on A0/A2 and A1/A3", "VRC4EF", 16, 16, {{0xB000, 5}, {0xB004, 1}, {0xB008, 9}, {0xE00C, 4}, {0xD002, 0x33}}, std::nullopt, Pages8{21, 9, 2, 3, 4, 3, 6, 71}},
    {"VRC4 one-screen upper page", "VRC4EF", 16, 16, {{0x9000, 3}}, std::nullopt, std::nullopt, Pages4{1, 1, 1, 1}},
    {"VRC4 mapper 21 lines A1/A6 and A2/A7", "VRC4AC", 16, 16, {{0x8000, 3}, {0x9080, 2}, {0xB002, 1}, {0xB044, 2}}, Pages4{30, 1, 3, 31}, Pages8{16, 33, 2, 3, 4, 5, 6, 7}},
    {"VRC4 mapper 25 lines A1/A3 and A0/A2", "VRC4BD", 16, 16, {{0xB001, 9}, {0xB008, 2}, {0x9004, 2}}, Pages4{30, 1, 0, 31}, Pages8{32, 9, 2, 3, 4, 5, 6, 7}},
    {"VRC2a: CHR value halved, A0/A1 swapped, 4-bit PRG", "VRC2A", 16, 16, {{0xB000, 6}, {0xB002, 0}, {0xB001, 8}, {0x8000, 0x15}}, Pages4{5, 1, 30, 31}, Pages8{3, 4, 2, 3, 4, 5, 6, 7}},
    {"VRC2 mirroring has one bit", "VRC2B", 16, 16, {{0x9000, 3}}, std::nullopt, std::nullopt, Pages4{0, 0, 1, 1}},
    {"FME-7 after reset", "JLROM", 16, 16, {}, Pages4{0, 1, 2, 31}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{0, 1, 0, 1}},
    {"FME-7 commands", "JLROM", 16, 16, {{0x8000, 9}, {0xA000, 7}, {0x8000, 0x0B}, {0xA000, 0x45}, {0x8000, 3}, {0xA000, 50}, {0x9FFF, 0x0C}, {0xBFFF, 1}}, Pages4{7, 1, 5, 31}, Pages8{0, 1, 2, 50, 4, 5, 6, 7}, Pages4{0, 0, 1, 1}},
    {"FME-7 $C000-$FFFF is sound", "JLROM", 16, 16, {{0x8000, 9}, {0xC000, 7}, {0xE000, 7}, {0x8000, 0x0C}, {0xA000, 3}}, Pages4{0, 1, 2, 31}, std::nullopt, Pages4{1, 1, 1, 1}},
    {"MMC5 after reset", "EKROM", 16, 16, {}, Pages4{31, 31, 31, 31}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"MMC5 PRG mode 3", "EKROM", 16, 16, {{0x5114, 0x82}, {0x5115, 0x85}, {0x5116, 0x87}, {0x5117, 0x09}}, Pages4{2, 5, 7, 9}},
    {"MMC5 PRG mode 0", "EKROM", 16, 16, {{0x5100, 0}, {0x5117, 0x0B}}, Pages4{8, 9, 10, 11}},
    {"MMC5 PRG mode 1", "EKROM", 16, 16, {{0x5100, 1}, {0x5115, 0x85}, {0x5117, 0x07}}, Pages4{4, 5, 6, 7}},
    {"MMC5 PRG mode 2", "EKROM", 16, 16, {{0x5100, 2}, {0x5115, 0x83}, {0x5116, 0x8A}, {0x5117, 0x0C}}, Pages4{2, 3, 10, 12}},
    {"MMC5 CHR 8 KiB", "EKROM", 16, 16, {{0x5101, 0}, {0x5127, 2}}, std::nullopt, Pages8{16, 17, 18, 19, 20, 21, 22, 23}},
    {"MMC5 CHR 4 KiB", "EKROM", 16, 16, {{0x5101, 1}, {0x5123, 3}, {0x5127, 5}}, std::nullopt, Pages8{12, 13, 14, 15, 20, 21, 22, 23}},
    {"MMC5 CHR 2 KiB", "EKROM", 16, 16, {{0x5101, 2}, {0x5121, 1}, {0x5123, 2}, {0x5125, 3}, {0x5127, 4}}, std::nullopt, Pages8{2, 3, 4, 5, 6, 7, 8, 9}},
    {"MMC5 background set written last serves 8x8 sprites too", "EKROM", 16, 16, {{0x5128, 10}, {0x5129, 11}, {0x512A, 12}, {0x512B, 13}}, std::nullopt, Pages8{10, 11, 12, 13, 10, 11, 12, 13}},
    {"MMC5 name tables from $5105", "EKROM", 16, 16, {{0x5105, 0x14}}, std::nullopt, std::nullopt, Pages4{0, 1, 1, 0}},
    {.what = "FME-7 PRG-ROM page at $6000", .board = "JLROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x8000, 8}, {0xA000, 0x03}, {0x6000, 0x5A}}, .cpuReads = {{0x6000, 3}, {0x7FFF, 3}}},
    {.what = "FME-7 RAM enabled, then selected but disabled, then enabled", .board = "JLROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x8000, 8}, {0xA000, 0xC0}, {0x6000, 0x5A}, {0xA000, 0x40}, {0x7FFF, 0x11}}, .cpuReads = {{0x6000, 0}, {0x7FFF, 0}}},
    {.what = "FME-7 RAM kept while disabled", .board = "JLROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x8000, 8}, {0xA000, 0xC0}, {0x6000, 0x5A}, {0xA000, 0x40}, {0x6000, 0x11}, {0xA000, 0xC0}}, .cpuReads = {{0x6000, 0x5A}}},
    {"VRC6 after reset", "VRC6A", 16, 16, {}, Pages4{0, 1, 2, 31}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{0, 1, 0, 1}},
    {"VRC6 PRG 16 + 8 KiB, CHR, horizontal", "VRC6A", 16, 16, {{0x8000, 3}, {0xC000, 9}, {0xD001, 5}, {0xE003, 40}, {0xB003, 0x24}}, Pages4{6, 7, 9, 31}, Pages8{0, 5, 2, 3, 4, 5, 6, 40}, Pages4{0, 0, 1, 1}},
    {"VRC6b swaps A0 and A1", "VRC6B", 16, 16, {{0xD001, 5}, {0xE002, 40}, {0xB003, 0x2C}}, std::nullopt, Pages8{0, 1, 5, 3, 4, 40, 6, 7}, Pages4{1, 1, 1, 1}},
    {"VRC7 banks on A4 and A3", "VRC7", 16, 16, {{0x8000, 4}, {0x8010, 5}, {0x9000, 6}, {0xA000, 3}, {0xA008, 4}, {0xD010, 9}, {0xE000, 0x41}}, Pages4{4, 5, 6, 31}, Pages8{3, 4, 2, 3, 4, 5, 6, 9}, Pages4{0, 0, 1, 1}},
    {"Namco 163 PRG, CHR and name tables", "NAMCO-163", 16, 16, {{0xE000, 3}, {0xE800, 4}, {0xF000, 5}, {0x8000, 7}, {0xB800, 9}, {0xC000, 0xE1}, {0xC800, 0xE0}, {0xD000, 0xE1}, {0xD800, 0xE0}}, Pages4{3, 4, 5, 31}, Pages8{7, 1, 2, 3, 4, 5, 6, 9}, Pages4{1, 0, 1, 0}},
    {"Namco 340 mirroring in $E000", "NAMCO-340", 16, 16, {{0xE000, 0xC3}}, Pages4{3, 1, 2, 31}, std::nullopt, Pages4{0, 0, 1, 1}},
    {.what = "Namco 163 IRQ counter reads back", .board = "NAMCO-163", .prgBanks = 16, .chrBanks = 16, .events = {{0x5000, 0x34}, {0x5800, 0x12}}, .cpuReads = {{0x5000, 0x34}, {0x5800, 0x12}}},
    {.what = "Namco 163 sound RAM port", .board = "NAMCO-163", .prgBanks = 16, .chrBanks = 16, .events = {{0xF800, 0x80}, {0x4800, 0x5A}, {0x4800, 0xA5}, {0xF800, 0x01}}, .cpuReads = {{0x4800, 0xA5}}},
    {.what = "MMC5 sound status", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5015, 0x02}, {0x5007, 0x08}}, .cpuReads = {{0x5015, 0x02}}},
    {.what = "VRC4 work RAM", .board = "VRC4F", .prgBanks = 16, .chrBanks = 16, .events = {{0x6000, 0x5A}, {0x7FFF, 0xA5}}, .cpuReads = {{0x6000, 0x5A}, {0x7FFF, 0xA5}}},
    {.what = "VRC2 latch at $6000-$6FFF", .board = "VRC2B", .prgBanks = 16, .chrBanks = 16, .events = {{0x6000, 0xFF}}, .cpuReads = {{0x6000, 0x61}, {0x6FFF, 0x61}}},
    {.what = "VRC2 latch keeps bit 0", .board = "VRC2B", .prgBanks = 16, .chrBanks = 16, .events = {{0x6FFF, 0xFF}, {0x6800, 0xFE}}, .cpuReads = {{0x6000, 0x60}}},
    {.what = "MMC5 RAM banks at $6000 and $8000", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5113, 1}, {0x6000, 0x5A}, {0x5113, 0}, {0x6000, 0x11}, {0x5114, 0x01}}, .cpuReads = {{0x8000, 0x5A}, {0x6000, 0x11}}},
    {.what = "MMC5 RAM written at $8000", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5114, 0x02}, {0x8000, 0x33}, {0x5113, 2}}, .cpuReads = {{0x6000, 0x33}}},
    {.what = "MMC5 multiplier", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5205, 0x12}, {0x5206, 0x34}}, .cpuReads = {{0x5205, 0xA8}, {0x5206, 0x03}}},
    {.what = "MMC5 extended RAM as RAM", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5104, 2}, {0x5C00, 0x5A}, {0x5FFF, 0xA5}}, .cpuReads = {{0x5C00, 0x5A}, {0x5FFF, 0xA5}}},
    {.what = "MMC5 extended RAM read-only", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5104, 2}, {0x5C00, 0x5A}, {0x5104, 3}, {0x5C00, 0x11}}, .cpuReads = {{0x5C00, 0x5A}}},
    {.what = "MMC5 extended RAM as name table is not read", .board = "EKROM", .prgBanks = 16, .chrBanks = 16, .events = {{0x5C00, 0x5A}}, .cpuReads = {{0x5C00, 0}}},
};
// clang-format on

TEST(BankSwitching, WritesSelectTheBanksThatTheCpuAndPpuSee) {
    for (const BankCase& bankCase : Cases) {
        TestSupport::CheckBanks(bankCase);
    }
}

} // namespace
} // namespace Halvo
