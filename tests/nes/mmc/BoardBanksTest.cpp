#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"
#include "nes/state/StateIo.h"

namespace Halvo {
namespace {

using TestSupport::BankCase;
using TestSupport::Events;
using TestSupport::Pages4;
using TestSupport::Pages8;
using TestSupport::Serial;
using TestSupport::SoftReset;

constexpr auto None = std::nullopt;
using CpuReads = std::vector<std::pair<std::uint16_t, int>>;

// Images have 16 KiB PRG banks and 8 KiB CHR banks; pages are 8 KiB and 1 KiB. The first eight families
// first, then the boards beyond them: registers above and below $8000, CHR-RAM banks, and the MMC3
// variants' hooks.
// clang-format off
const BankCase FirstFamilies[] = {
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

// clang-format off
const BankCase Cases[] = {
    {"MMC4 after reset", "FKROM", 8, 4, {}, Pages4{0, 1, 14, 15}, Pages8{0, 1, 2, 3, 16, 17, 18, 19}},
    {"MMC4 16 KiB bank at $8000, latch, work RAM", "FKROM", 8, 4, {{0xA000, 3}, {0xB000, 3}, {0x0FD5, 0}, {0x6000, 0x5A}}, Pages4{6, 7, 14, 15}, Pages8{12, 13, 14, 15, 16, 17, 18, 19}, None, Nes::MirrorVertical, None, CpuReads{{0x6000, 0x5A}}},
    {"MMC4 soft reset", "FKROM", 8, 4, {{0xA000, 3}, {0xF000, 1}, {SoftReset, 0}}, Pages4{0, 1, 14, 15}, None, Pages4{0, 1, 0, 1}},
    {"Color Dreams $52: PRG 2, CHR 5", "COLORDREAMS", 8, 16, {{0x8000, 0x52}}, Pages4{8, 9, 10, 11}, Pages8{40, 41, 42, 43, 44, 45, 46, 47}},
    {"CPROM after reset", "CPROM", 2, 0, {}, Pages4{0, 1, 2, 3}, None, None, Nes::MirrorVertical, Pages8{0, 1, 2, 3, 0, 1, 2, 3}},
    {"CPROM 6 picks CHR-RAM bank 2 at $1000", "CPROM", 2, 0, {{0x8000, 6}}, None, None, None, Nes::MirrorVertical, Pages8{0, 1, 2, 3, 8, 9, 10, 11}},
    {"BNROM 5 wraps to bank 1", "BNROM", 8, 0, {{0xFFFF, 5}}, Pages4{4, 5, 6, 7}, None, None, Nes::MirrorVertical, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"NINA-001 registers in work RAM", "NINA-001", 4, 4, {{0x7FFD, 1}, {0x7FFE, 3}, {0x7FFF, 5}}, Pages4{4, 5, 6, 7}, Pages8{12, 13, 14, 15, 20, 21, 22, 23}, None, Nes::MirrorVertical, None, CpuReads{{0x7FFE, 3}}},
    {"NINA-001 soft reset", "NINA-001", 4, 4, {{0x7FFD, 1}, {0x7FFE, 3}, {SoftReset, 0}, {0x7FFF, 2}}, Pages4{0, 1, 2, 3}, Pages8{0, 1, 2, 3, 8, 9, 10, 11}},
    {"JF-14 $23 at $6000: PRG 2, CHR 3", "JF-14", 8, 8, {{0x6000, 0x23}}, Pages4{8, 9, 10, 11}, Pages8{24, 25, 26, 27, 28, 29, 30, 31}},
    {"JF-14 writes above $8000 do nothing", "JF-14", 8, 8, {{0x8000, 0x23}}, Pages4{0, 1, 2, 3}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"BF9093 bank at $C000, no mirroring at $8000", "BF9093", 8, 0, {{0xC000, 3}, {0x8000, 0x10}}, Pages4{6, 7, 14, 15}, None, Pages4{0, 1, 0, 1}},
    {"BF9093 $9000 picks one screen", "BF9093", 8, 0, {{0x9000, 0x10}}, None, None, Pages4{1, 1, 1, 1}},
    {"BF9097 $8000 picks one screen", "BF9093", 8, 0, {{0x8000, 0x10}, {0x9FFF, 0}, {0x8000, 0x10}}, None, None, Pages4{1, 1, 1, 1}, Nes::MirrorVertical, None, {}, 1},
    {"NINA-03 register at $4100, not $4200", "NINA-03", 4, 8, {{0x4100, 0x0D}, {0x4200, 0x02}}, Pages4{4, 5, 6, 7}, Pages8{40, 41, 42, 43, 44, 45, 46, 47}},
    {"NINA-03 register at $5F00", "NINA-03", 4, 8, {{0x4100, 0x0D}, {0x5F00, 0x02}}, Pages4{0, 1, 2, 3}, Pages8{16, 17, 18, 19, 20, 21, 22, 23}},
    {"NINA-03 soft reset, then other writes on the page", "NINA-03", 4, 8, {{0x4100, 0x0D}, {SoftReset, 0}, {0x4200, 0}, {0x4101, 0x08}}, Pages4{4, 5, 6, 7}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"UNROM+74HC08 first bank fixed", "UNROM+74HC08", 8, 0, {{0x8000, 5}}, Pages4{0, 1, 10, 11}},
    {"BF9096 after reset", "BF9096", 16, 0, {}, Pages4{0, 1, 6, 7}},
    {"BF9096 block 2, bank 1", "BF9096", 16, 0, {{0x8000, 0x10}, {0xC000, 1}}, Pages4{18, 19, 22, 23}},
    {"Aladdin block bits swapped", "BF9096", 16, 0, {{0x8000, 0x10}, {0xC000, 1}}, Pages4{10, 11, 14, 15}, None, None, Nes::MirrorVertical, None, {}, 1},
    {"Namco 108 mirrored registers, no mode bits", "DEROM", 8, 8, {{0x9FFE, 0x46}, {0x9FFF, 4}, {0x8000, 0x80}, {0x8001, 10}}, Pages4{4, 1, 14, 15}, Pages8{10, 11, 2, 3, 4, 5, 6, 7}},
    {"Namco 108 ignores $A000-$FFFF: no mirroring register", "DEROM", 8, 8, {{0x8000, 6}, {0xA001, 3}, {0xA000, 1}}, Pages4{0, 1, 14, 15}, None, Pages4{0, 1, 0, 1}},
    {"TLSROM name tables from CHR bit 7", "TLSROM", 8, 32, {{0x8000, 0}, {0x8001, 0x80}, {0xA000, 1}}, None, Pages8{128, 129, 2, 3, 4, 5, 6, 7}, Pages4{1, 1, 0, 0}},
    {"TLSROM inverted: R2 names slot 0", "TLSROM", 8, 32, {{0x8000, 0x82}, {0x8001, 0x81}}, None, None, Pages4{1, 0, 0, 0}},
    {"Bandai LZ93D50 at $8000: PRG, CHR, mirroring", "LZ93D50+24C02", 16, 16, {{0x8008, 3}, {0x8003, 9}, {0x8009, 1}, {0x6008, 5}}, Pages4{6, 7, 30, 31}, Pages8{0, 1, 2, 9, 4, 5, 6, 7}, Pages4{0, 0, 1, 1}},
    {"Bandai FCG-1 at $6000 only", "FCG-1", 16, 16, {{0x6008, 2}, {0x6007, 40}, {0x8008, 5}}, Pages4{4, 5, 30, 31}, Pages8{0, 1, 2, 3, 4, 5, 6, 40}},
    {"Bandai FCG without submapper: both ranges", "FCG", 16, 16, {{0x6008, 2}, {0x8001, 7}, {0x600F, 1}}, Pages4{4, 5, 30, 31}, Pages8{0, 7, 2, 3, 4, 5, 6, 7}},
    {.what = "Bandai mapper 153: 256 KiB half from CHR bit 0, work RAM enable", .board = "LZ93D50+SRAM", .prgBanks = 32, .chrBanks = 0, .events = {{0x8000, 1}, {0x8008, 2}, {0x800D, 0x20}, {0x6000, 0x5A}}, .prg = Pages4{36, 37, 62, 63}, .cpuReads = {{0x6000, 0x5A}}},
    {.what = "Bandai mapper 153: work RAM disabled", .board = "LZ93D50+SRAM", .prgBanks = 32, .chrBanks = 0, .events = {{0x800D, 0x20}, {0x6000, 0x5A}, {0x800D, 0}}, .prg = Pages4{0, 1, 30, 31}, .cpuReads = {{0x6000, 0}}},
    {.what = "SS88006 nibbles, one screen, work RAM", .board = "JF-24", .prgBanks = 16, .chrBanks = 16, .events = {{0x8000, 5}, {0x8001, 1}, {0x9000, 3}, {0xA000, 0xF}, {0xA001, 2}, {0xD003, 1}, {0xF002, 2}, {0x6000, 0x77}}, .prg = Pages4{21, 1, 3, 31}, .chr = Pages8{47, 1, 2, 3, 4, 5, 6, 23}, .nameTables = Pages4{0, 0, 0, 0}, .cpuReads = {{0x6000, 0x77}}},
    {"Mapper 87 CHR bits swapped", "JF-09", 2, 4, {{0x6000, 1}}, Pages4{0, 1, 2, 3}, Pages8{16, 17, 18, 19, 20, 21, 22, 23}},
    {"Mapper 87 bit 1 is bank 1", "JF-09", 2, 4, {{0x6000, 2}, {0x8000, 3}}, std::nullopt, Pages8{8, 9, 10, 11, 12, 13, 14, 15}},
    {"TC0190 PRG, 2 KiB and 1 KiB CHR, mirroring at $8000", "TC0190", 16, 16, {{0x8000, 0x45}, {0x8001, 6}, {0x8002, 3}, {0xA003, 20}}, Pages4{5, 6, 30, 31}, Pages8{6, 7, 2, 3, 4, 5, 6, 20}, Pages4{0, 0, 1, 1}},
    {"TC0690 mirroring at $E000, not $8000", "TC0690", 16, 16, {{0xE000, 0x40}, {0x8000, 0x05}, {0xA001, 9}}, Pages4{5, 1, 30, 31}, Pages8{0, 1, 2, 3, 4, 9, 6, 7}, Pages4{0, 0, 1, 1}},
    {"CNROM with diodes: submapper 4 enables on 0", "CN-SECURITY", 2, 1, {{0x8000, 0x10}}, Pages4{0, 1, 2, 3}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, std::nullopt, Nes::MirrorVertical, std::nullopt, {}, 4},
    {"CNROM with diodes: CHR reads $FF when disabled", "CN-SECURITY", 2, 1, {{0x8000, 0x11}}, std::nullopt, Pages8{255, 255, 255, 255, 255, 255, 255, 255}, std::nullopt, Nes::MirrorVertical, std::nullopt, {}, 4},
    {"CNROM with diodes: no submapper, $13 disables", "CN-SECURITY", 2, 1, {{0x8000, 0x11}, {0x8000, 0x13}}, std::nullopt, Pages8{255, 255, 255, 255, 255, 255, 255, 255}},
    {"CNROM with diodes: no submapper, $21 enables", "CN-SECURITY", 2, 1, {{0x8000, 0x21}}, std::nullopt, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {.what = "X1-005 registers and its RAM at $7F00", .board = "X1-005", .prgBanks = 16, .chrBanks = 16, .events = {{0x7EF0, 0x09}, {0x7EF2, 30}, {0x7EFA, 3}, {0x7EFC, 4}, {0x7EFE, 5}, {0x7EF6, 1}, {0x7EF8, 0xA3}, {0x7F00, 0x5A}}, .prg = Pages4{3, 4, 5, 31}, .chr = Pages8{8, 9, 2, 3, 30, 5, 6, 7}, .nameTables = Pages4{0, 1, 0, 1}, .cpuReads = {{0x7F80, 0x5A}}},
    {.what = "X1-005 RAM locked", .board = "X1-005", .prgBanks = 16, .chrBanks = 16, .events = {{0x7EF8, 0xA3}, {0x7F00, 0x5A}, {0x7EF8, 0}, {0x7F00, 0x11}, {0x7EF8, 0xA3}}, .cpuReads = {{0x7F00, 0x5A}}},
    {"X1-005 mapper 207: name tables from CHR bit 7", "X1-005/207", 16, 16, {{0x7EF0, 0x80}, {0x7EF1, 0x02}}, std::nullopt, Pages8{0, 1, 2, 3, 4, 5, 6, 7}, Pages4{1, 1, 0, 0}},
    {.what = "X1-017 inverted CHR, PRG from bits 2-7, RAM", .board = "X1-017", .prgBanks = 16, .chrBanks = 16, .events = {{0x7EF0, 6}, {0x7EF2, 20}, {0x7EF6, 2}, {0x7EFA, 12}, {0x6000, 0x33}}, .prg = Pages4{3, 1, 2, 31}, .chr = Pages8{20, 5, 6, 7, 6, 7, 2, 3}, .nameTables = Pages4{0, 0, 1, 1}, .cpuReads = {{0x6000, 0x33}}},
    {"VRC1 PRG, CHR fifth bits in $9000", "VRC1", 16, 16, {{0x8000, 3}, {0xA000, 4}, {0xC000, 5}, {0xE000, 0x0F}, {0x9000, 0x03}}, Pages4{3, 4, 5, 31}, Pages8{124, 125, 126, 127, 4, 5, 6, 7}, Pages4{0, 0, 1, 1}},
    {.what = "VRC3 16 KiB bank, work RAM", .board = "VRC3", .prgBanks = 8, .chrBanks = 0, .events = {{0xF000, 3}, {0x6000, 0x44}}, .prg = Pages4{6, 7, 14, 15}, .cpuReads = {{0x6000, 0x44}}},
    {"G-101 PRG mode 1", "G-101", 16, 16, {{0x8000, 4}, {0xA000, 5}, {0x9000, 2}, {0xB003, 40}}, Pages4{30, 5, 4, 31}, Pages8{0, 1, 2, 40, 4, 5, 6, 7}, Pages4{0, 1, 0, 1}},
    {"G-101 Major League: one screen", "G-101", 16, 16, {{0x9000, 3}}, Pages4{0, 1, 30, 31}, std::nullopt, Pages4{0, 0, 0, 0}, Nes::MirrorVertical, std::nullopt, {}, 1},
    {"H3001 banks and mirroring", "H3001", 16, 16, {{0x8000, 7}, {0xC000, 9}, {0xB007, 50}, {0x9001, 0x80}}, Pages4{7, 1, 9, 31}, Pages8{0, 1, 2, 3, 4, 5, 6, 50}, Pages4{0, 0, 1, 1}},
    {"74*161 mapper 70", "74161/70", 8, 16, {{0x8000, 0x35}}, Pages4{6, 7, 14, 15}, Pages8{40, 41, 42, 43, 44, 45, 46, 47}},
    {"74*161 mapper 152: one screen in bit 7", "74161/152", 8, 16, {{0x8000, 0xA5}}, Pages4{4, 5, 14, 15}, Pages8{40, 41, 42, 43, 44, 45, 46, 47}, Pages4{1, 1, 1, 1}},
    {"Sunsoft-1 4 KiB banks at $6000", "SUNSOFT-1", 2, 16, {{0x6000, 0x52}}, Pages4{0, 1, 2, 3}, Pages8{8, 9, 10, 11, 20, 21, 22, 23}},
    {"Sunsoft-2 PRG, CHR bit 7, one screen", "SUNSOFT-2", 8, 16, {{0x8000, 0x9A}}, Pages4{2, 3, 14, 15}, Pages8{80, 81, 82, 83, 84, 85, 86, 87}, Pages4{1, 1, 1, 1}},
    {"Sunsoft-2 on 3R: PRG only", "SUNSOFT-2-3R", 8, 0, {{0x8000, 0x29}}, Pages4{4, 5, 14, 15}, std::nullopt, Pages4{0, 1, 0, 1}},
    {"Sunsoft-3 2 KiB CHR at $x800 addresses", "SUNSOFT-3", 16, 16, {{0x8800, 5}, {0xB800, 7}, {0xF800, 3}, {0xE800, 1}, {0x9000, 9}}, Pages4{6, 7, 30, 31}, Pages8{10, 11, 2, 3, 4, 5, 14, 15}, Pages4{0, 0, 1, 1}},
    {.what = "Sunsoft-4 CHR, PRG, work RAM enable", .board = "SUNSOFT-4", .prgBanks = 16, .chrBanks = 16, .events = {{0x9000, 4}, {0xF000, 0x03}, {0x6000, 0x21}, {0xF000, 0x13}}, .prg = Pages4{6, 7, 30, 31}, .chr = Pages8{0, 1, 8, 9, 4, 5, 6, 7}, .cpuReads = {{0x6000, 0}}},
    {"JF-17 latches PRG and CHR on rising bits", "JF-17", 8, 16, {{0x8000, 0x83}, {0x8000, 0x45}, {0x8000, 0x47}}, Pages4{6, 7, 14, 15}, Pages8{40, 41, 42, 43, 44, 45, 46, 47}},
    {"JF-19 switches $C000", "JF-19", 8, 16, {{0x8000, 0x83}}, Pages4{0, 1, 6, 7}},
    {"JF-13 at $6000, not $7000", "JF-13", 8, 8, {{0x6000, 0x62}, {0x7000, 0x00}}, Pages4{8, 9, 10, 11}, Pages8{48, 49, 50, 51, 52, 53, 54, 55}},
    {"IF-12 (Holy Diver) vertical in bit 3", "IF-12", 8, 16, {{0x8000, 0x3A}}, Pages4{4, 5, 14, 15}, Pages8{24, 25, 26, 27, 28, 29, 30, 31}, Pages4{0, 1, 0, 1}},
    {"JF-16 one screen in bit 3", "JF-16", 8, 16, {{0x8000, 0x08}}, std::nullopt, std::nullopt, Pages4{1, 1, 1, 1}},
    {"Namco 3446 2 KiB banks in registers 2-5", "NAMCOT-3446", 8, 16, {{0x8000, 2}, {0x8001, 5}, {0x8000, 0}, {0x8001, 9}}, std::nullopt, Pages8{10, 11, 2, 3, 4, 5, 6, 7}},
    {"Namco 3433 upper CHR for $1000", "NAMCOT-3433", 8, 32, {{0x8000, 0}, {0x8001, 0x46}, {0x8000, 2}, {0x8001, 3}}, std::nullopt, Pages8{6, 7, 2, 3, 67, 69, 70, 71}},
    {"Namco 3453 one screen in bit 6", "NAMCOT-3453", 8, 32, {{0x8000, 0x40}}, std::nullopt, std::nullopt, Pages4{1, 1, 1, 1}},
    {"Namco 3425 name tables from bit 5", "NAMCOT-3425", 8, 8, {{0x8000, 0}, {0x8001, 0x20}, {0x8000, 1}, {0x8001, 0x00}}, std::nullopt, std::nullopt, Pages4{1, 1, 0, 0}},
    {"RAMBO-1 1 KiB mode, rotated PRG", "RAMBO-1", 16, 16, {{0x8000, 0x20}, {0x8001, 10}, {0x8000, 0x28}, {0x8001, 20}, {0x8000, 0x2F}, {0x8001, 7}, {0x8000, 0x66}, {0x8001, 3}}, Pages4{7, 3, 1, 31}, Pages8{10, 20, 2, 3, 4, 5, 6, 7}},
    {"800037 name tables from CHR bit 7", "800037", 16, 16, {{0x8000, 0}, {0x8001, 0x80}, {0xA000, 1}}, std::nullopt, std::nullopt, Pages4{1, 1, 0, 0}},
    {"Mapper 37 outer block 3", "PAL-ZZ", 16, 32, {{0x6000, 3}, {0x8000, 6}, {0x8001, 2}}, Pages4{10, 9, 14, 15}, Pages8{0, 1, 2, 3, 4, 5, 6, 7}},
    {"Mapper 37 outer block 4: second 128 KiB of both", "PAL-ZZ", 16, 32, {{0x6000, 4}}, Pages4{16, 17, 30, 31}, Pages8{128, 129, 130, 131, 132, 133, 134, 135}},
    {"Mapper 47 upper half", "QJ", 16, 32, {{0x8000, 0x40}, {0x6000, 1}}, Pages4{30, 17, 16, 31}, Pages8{128, 129, 130, 131, 132, 133, 134, 135}},
    {"NES-EVENT locked until bit 4 goes 0 then 1", "NES-EVENT", 16, 0, Serial({{0xA000, 0x08}, {0xE000, 3}}), Pages4{0, 1, 2, 3}},
    {"NES-EVENT unlocked: the first chip in 32 KiB banks", "NES-EVENT", 16, 0, Serial({{0xA000, 0x10}, {0xA000, 0x04}}), Pages4{8, 9, 10, 11}},
    {"NES-EVENT the second chip banked as the MMC1 does", "NES-EVENT", 16, 0, Serial({{0xA000, 0x10}, {0xA000, 0x18}, {0xE000, 3}}), Pages4{22, 23, 30, 31}},
    {"NES-EVENT soft reset locks again", "NES-EVENT", 16, 0, Serial({{0xA000, 0x10}, {0xA000, 0x04}, {SoftReset, 0}, {0xA000, 0x04}}), Pages4{0, 1, 2, 3}},
    {"UNROM 512 PRG and CHR-RAM banks", "UNROM-512", 32, 0, {{0x8000, 0x45}}, Pages4{10, 11, 62, 63}, std::nullopt, Pages4{0, 1, 0, 1}, Nes::MirrorVertical, Pages8{16, 17, 18, 19, 20, 21, 22, 23}},
    {"UNROM 512 one screen when the board controls it", "UNROM-512", 32, 0, {{0x8000, 0x80}}, std::nullopt, std::nullopt, Pages4{1, 1, 1, 1}, Nes::MirrorByMapper},
    {"Action 53 boots in the last 32 KiB", "ACTION53", 32, 0, {}, Pages4{60, 61, 62, 63}},
    {"Action 53 256 KiB UNROM game", "ACTION53", 32, 0, {{0x5000, 0x80}, {0x8000, 0x3C}, {0x5000, 0x81}, {0x8000, 0}, {0x5000, 1}, {0x8000, 5}}, Pages4{10, 11, 2, 3}, std::nullopt, Pages4{0, 0, 0, 0}},
    {"Action 53 64 KiB NROM game in the second outer bank", "ACTION53", 32, 0, {{0x5000, 0x80}, {0x8000, 0x12}, {0x5000, 0x81}, {0x8000, 3}, {0x5000, 0x01}, {0x8000, 0}, {0x5000, 0x00}, {0x8000, 2}}, Pages4{8, 9, 10, 11}, std::nullopt, Pages4{0, 1, 0, 1}, Nes::MirrorVertical, Pages8{16, 17, 18, 19, 20, 21, 22, 23}},
    {"GTROM 32 KiB bank, CHR-RAM bank", "GTROM", 32, 0, {{0x5000, 0x13}}, Pages4{12, 13, 14, 15}, std::nullopt, std::nullopt, Nes::MirrorVertical, Pages8{8, 9, 10, 11, 12, 13, 14, 15}},
    {"GTROM register at $7000 too", "GTROM", 32, 0, {{0x7000, 0x02}}, Pages4{8, 9, 10, 11}},
    {"TQROM bit 6 picks CHR-RAM", "TQROM", 8, 8, {{0x8000, 2}, {0x8001, 0x43}, {0x8000, 3}, {0x8001, 0x05}}, None, Pages8{0, 1, 2, 3, 0, 5, 6, 7}, None, Nes::MirrorVertical, Pages8{-1, -1, -1, -1, 3, -1, -1, -1}},
};
// clang-format on

TEST(BoardBanks, WritesSelectTheBanksThatTheCpuAndPpuSee) {
    for (const BankCase& bankCase : FirstFamilies) {
        TestSupport::CheckBanks(bankCase);
    }
    for (const BankCase& bankCase : Cases) {
        TestSupport::CheckBanks(bankCase);
    }
}

} // namespace
} // namespace Halvo

namespace Halvo {
namespace {

// Bit-banged transfers with the Bandai boards' serial EEPROM: clock and data at $800D, the chip's data
// line in bit 4 of $6000.
struct EepromBus {
    TestSupport::Cartridge& cartridge;
    bool msbFirst;

    void Set(bool scl, bool sda) {
        cartridge.Apply({{0x800D, static_cast<std::uint8_t>((scl ? 0x20 : 0) | (sda ? 0x40 : 0))}});
    }
    bool Line() { return (cartridge.machine.Cpu(0x6000) & 0x10) != 0; }
    void Start() {
        Set(false, true);
        Set(true, true);
        Set(true, false);
        Set(false, false);
    }
    void Stop() {
        Set(false, false);
        Set(true, false);
        Set(true, true);
    }
    // True when the chip acknowledged.
    bool Write(std::uint8_t byte) {
        for (int i = 0; i < 8; ++i) {
            const bool bit = (byte >> (msbFirst ? 7 - i : i)) & 1;
            Set(false, bit);
            Set(true, bit);
            Set(false, bit);
        }
        Set(false, true);
        Set(true, true);
        const bool ack = !Line();
        Set(false, true);
        return ack;
    }
    std::uint8_t Read(bool more) {
        std::uint8_t byte = 0;
        for (int i = 0; i < 8; ++i) {
            Set(true, true);
            byte = static_cast<std::uint8_t>(byte | (Line() ? 1 : 0) << (msbFirst ? 7 - i : i));
            Set(false, true);
        }
        Set(false, !more);
        Set(true, !more);
        Set(false, !more);
        return byte;
    }
};

TEST(BoardBanks, BandaiEepromKeepsItsBytesInTheBatteryRamAndTheState) {
    for (const bool small : {false, true}) {
        SCOPED_TRACE(small ? "X24C01" : "24C02");
        auto image = TestSupport::MakeImage(8, 8, small ? "LZ93D50+24C01" : "LZ93D50+24C02");
        image->hasBattery = image->hasWram = true;
        TestSupport::Cartridge cartridge(std::move(image));
        EepromBus bus{cartridge, !small};
        const std::uint8_t at = small ? 0x05 : 0x10;
        bus.Start();
        if (!small) {
            EXPECT_TRUE(bus.Write(0xA0));
        }
        EXPECT_TRUE(bus.Write(at));
        EXPECT_TRUE(bus.Write(0x12));
        EXPECT_TRUE(bus.Write(0x34));
        bus.Stop();
        // The battery save keeps the RAM from $6000 on, which holds the EEPROM's bytes.
        EXPECT_EQ(cartridge.Board().wram[0x1000 + at], 0x12);
        EXPECT_EQ(cartridge.Board().wram[0x1000 + at + 1], 0x34);

        std::vector<std::uint8_t> state;
        Nes::StateIo out(state);
        cartridge.Board().State(out);
        auto copy = TestSupport::MakeImage(8, 8, small ? "LZ93D50+24C01" : "LZ93D50+24C02");
        copy->hasBattery = copy->hasWram = true;
        TestSupport::Cartridge restored(std::move(copy));
        Nes::StateIo in(state.data(), state.size());
        restored.Board().State(in);
        ASSERT_TRUE(in.Finished());

        EepromBus again{restored, !small};
        again.Start();
        if (!small) {
            EXPECT_TRUE(again.Write(0xA0));
            EXPECT_TRUE(again.Write(at));
            again.Start();
            EXPECT_TRUE(again.Write(0xA1));
        } else {
            EXPECT_TRUE(again.Write(static_cast<std::uint8_t>(at | 0x80)));
        }
        EXPECT_EQ(again.Read(true), 0x12);
        EXPECT_EQ(again.Read(false), 0x34);
        again.Stop();
        // Another device's address is not acknowledged.
        if (!small) {
            again.Start();
            EXPECT_FALSE(again.Write(0xB0));
            again.Stop();
        }
    }
}

} // namespace
} // namespace Halvo

namespace Halvo {
namespace {

// Name tables that are not the console's RAM: the Sunsoft-4's CHR-ROM pages and GTROM's own RAM.
TEST(BoardBanks, NameTablesFromChrRomAndFromTheBoardsRam) {
    TestSupport::Cartridge sunsoft(TestSupport::MakeImage(16, 32, "SUNSOFT-4"));
    // Horizontal: $2000 and $2400 show the bank of $C000, $2800 and $2C00 that of $D000, both from the
    // upper 128 KiB.
    sunsoft.Apply({{0xC000, 5}, {0xD000, 6}, {0xE000, 0x11}});
    EXPECT_EQ(sunsoft.machine.Vram(0x2000), 133);
    EXPECT_EQ(sunsoft.machine.Vram(0x2400), 133);
    EXPECT_EQ(sunsoft.machine.Vram(0x2C00), 134);
    sunsoft.Apply({{0xE000, 0x01}});
    sunsoft.Ppu().WriteVram(0x2800, 7);
    EXPECT_EQ(sunsoft.machine.Vram(0x2C00), 7);
    EXPECT_EQ(sunsoft.NameTables(), (TestSupport::Pages4{0, 0, 1, 1}));

    TestSupport::Cartridge gtrom(TestSupport::MakeImage(2, 0, "GTROM"));
    gtrom.Ppu().WriteVram(0x2000, 1);
    gtrom.Ppu().WriteVram(0x2C00, 4);
    gtrom.Apply({{0x5000, 0x20}});
    EXPECT_EQ(gtrom.machine.Vram(0x2000), 0);
    gtrom.Ppu().WriteVram(0x2000, 9);
    gtrom.Apply({{0x7000, 0x00}});
    EXPECT_EQ(gtrom.machine.Vram(0x2000), 1);
    EXPECT_EQ(gtrom.machine.Vram(0x2400), 0);
    EXPECT_EQ(gtrom.machine.Vram(0x2C00), 4);
}

} // namespace
} // namespace Halvo

namespace Halvo {
namespace {

// The self-flashing UNROM 512 programs and erases its PRG-ROM's copy in the battery RAM.
TEST(BoardBanks, Unrom512FlashIsWrittenByCommandsAndKeptInTheBatteryRam) {
    auto image = TestSupport::MakeImage(32, 0, "UNROM-512");
    image->hasBattery = image->hasWram = true;
    TestSupport::Cartridge cartridge(std::move(image));
    const auto command = [&](std::uint8_t value) {
        // $5555 is bank 1's $9555, $2AAA bank 0's $AAAA.
        cartridge.Apply(
            {{0xC000, 1}, {0x9555, 0xAA}, {0xC000, 0}, {0xAAAA, 0x55}, {0xC000, 1}, {0x9555, value}});
    };
    command(0xA0);
    cartridge.Apply({{0xC000, 3}, {0x8010, 0x03}, {0x8011, 0xFF}});
    EXPECT_EQ(cartridge.machine.Cpu(0x8010), 6 & 0x03);
    EXPECT_EQ(cartridge.machine.Cpu(0x8011), 6);
    EXPECT_EQ(cartridge.Board().wram[0x1000 + 3 * 0x4000 + 0x10], 6 & 0x03);
    // Without the unlock, a write programs nothing.
    cartridge.Apply({{0xC000, 3}, {0x8011, 0x00}});
    EXPECT_EQ(cartridge.machine.Cpu(0x8011), 6);
    // The work RAM that holds the chip is not seen at $6000.
    cartridge.Apply({{0x6000, 0x77}});
    EXPECT_EQ(cartridge.Board().wram[0x1000], 0);
    EXPECT_EQ(cartridge.Board().wram[0x1000 + 0x4000], 2);

    command(0x80);
    command(0x30);
    // The last write went to $5555: the sector $5000-$5FFF, bank 1's $9000-$9FFF.
    EXPECT_EQ(cartridge.machine.Cpu(0x9000), 0xFF);
    EXPECT_EQ(cartridge.machine.Cpu(0x9FFF), 0xFF);
    EXPECT_EQ(cartridge.machine.Cpu(0x8FFF), 2);
    EXPECT_EQ(cartridge.machine.Cpu(0xA000), 3);
    cartridge.Apply({{0xC000, 3}});
    EXPECT_EQ(cartridge.machine.Cpu(0x8010), 6 & 0x03);
}

} // namespace
} // namespace Halvo
