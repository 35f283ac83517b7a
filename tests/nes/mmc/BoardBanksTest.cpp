#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"

namespace Halvo {
namespace {

using TestSupport::BankCase;
using TestSupport::Pages4;
using TestSupport::Pages8;
using TestSupport::SoftReset;

constexpr auto None = std::nullopt;
using CpuReads = std::vector<std::pair<std::uint16_t, int>>;

// The boards beyond the first eight families: registers above and below $8000, CHR-RAM banks, and the
// MMC3 variants' hooks. Images have 16 KiB PRG banks and 8 KiB CHR banks; pages are 8 KiB and 1 KiB.
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
    {"TQROM bit 6 picks CHR-RAM", "TQROM", 8, 8, {{0x8000, 2}, {0x8001, 0x43}, {0x8000, 3}, {0x8001, 0x05}}, None, Pages8{0, 1, 2, 3, 0, 5, 6, 7}, None, Nes::MirrorVertical, Pages8{-1, -1, -1, -1, 3, -1, -1, -1}},
};
// clang-format on

TEST(BoardBanks, WritesSelectTheBanksThatTheCpuAndPpuSee) {
    for (const BankCase& bankCase : Cases) {
        TestSupport::CheckBanks(bankCase);
    }
}

} // namespace
} // namespace Halvo
