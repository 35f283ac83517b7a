#include "nes/mmc/Boards.h"

#include <sstream>

#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"
#include "nes/mmc/MmcFactory.h"

namespace Halvo {
namespace {

using TestSupport::Cartridge;
using TestSupport::MakeImage;

// The first family (in the order of the registry names) that accepts a board name runs it. Every board
// name of the README's table (which holds every name the iNES reader gives), bare and as printed on
// cartridges, reaches its family.
TEST(Boards, EveryBoardNameReachesItsFamily) {
    Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
    EXPECT_TRUE(Nes::RegisterBoards(*manager));
    EXPECT_FALSE(Nes::RegisterBoards(*manager));
    const auto family = [&](const std::string& board) -> std::string {
        for (const auto& factory : manager->Factories()) {
            if (factory->Match(board)) {
                return factory->name;
            }
        }
        return "";
    };

    // clang-format off
    const std::pair<const char*, const char*> readme[] = {
        {"NES-NROM-256", "NROM RROM NES-NROM-256 HVC-RROM-128 NROM-368"},
        {"MMC1-[A,B,B2]", "SAROM SBROM SC1ROM SEROM SGROM SKROM SLROM SNROM SOROM SUROM SVROM 351908 NES-SNROM"},
        {"NES-UNROM-[05,09]", "UNROM 351358 351298 351320 NES-UNROM"},
        {"NES-CN-ROM-[02,05]", "CNROM HVC-CNROM"},
        {"MMC3-[A,B,C]", "TEROM TFROM TGROM TKROM TLROM TL1ROM TNROM TR1ROM TSROM TVROM SL1ROM 352026 51555 NES-TLROM"},
        {"NES-AOROM-03", "AOROM NES-AOROM"},
        {"NES-PNROM-05", "PNROM NES-PNROM"},
        {"NES-GNROM", "GNROM NES-GNROM"},
        {"MMC4-FxROM", "FJROM FKROM NES-FJROM"},
        {"COLORDREAMS-74*377", "COLORDREAMS UNL-COLORDREAMS"},
        {"NES-CPROM", "CPROM NES-CPROM"},
        {"NES-BNROM", "BNROM NES-BNROM IREM-BNROM"},
        {"AVE-NINA-001", "NINA-001 AVE-NINA-01"},
        {"JALECO-JF-[11,14]", "JF-14 JALECO-JF-11"},
        {"CAMERICA-BF9093", "BF9093 CAMERICA-BF9097"},
        {"AVE-NINA-[03,06]", "NINA-03 AVE-NINA-06"},
        {"HVC-UNROM+74HC08", "UNROM+74HC08"},
        {"CAMERICA-BF9096", "BF9096 CAMERICA-BF9096"},
        {"NAMCOT-108", "DEROM DE1ROM DRROM NES-DRROM"},
        {"MMC3-TxSROM", "TKSROM TLSROM NES-TLSROM"},
        {"MMC3-TQROM", "TQROM NES-TQROM"},
        {"KONAMI-VRC-[2,4]", "VRC2A VRC2B VRC2C VRC4A VRC4B VRC4C VRC4D VRC4E VRC4F VRC4AC VRC4EF VRC4BD"},
        {"SUNSOFT-FME-7", "FME-7 JLROM JSROM BTR SUNSOFT-5A SUNSOFT-5B NES-JLROM"},
        {"MMC5-ExROM", "EKROM ELROM ETROM EWROM EXROM NES-EKROM"},
        {"BANDAI-FCG", "FCG FCG-1 FCG-2 LZ93D50 LZ93D50+24C02 LZ93D50+24C01 LZ93D50+SRAM BANDAI-FCG-2"},
        {"JALECO-SS88006", "SS88006 JF-23 JF-24 JF-25 JF-27 JF-29 JF-37 JF-40"},
        {"JALECO-JF-[05-10]", "JF-05 JF-06 JF-07 JF-08 JF-09 JF-10"},
        {"TAITO-TC0190", "TC0190 TC0690"},
        {"CNROM-SECURITY", "CN-SECURITY"},
        {"TAITO-X1-005", "X1-005 X1-005/207"},
        {"TAITO-X1-017", "X1-017"},
        {"KONAMI-VRC-1", "VRC1"},
        {"IREM-G-101", "G-101"},
        {"IREM-H3001", "H3001"},
        {"BANDAI-74*161", "74161/70 74161/152"},
        {"SUNSOFT-1", "SUNSOFT-1"},
        {"SUNSOFT-2", "SUNSOFT-2 SUNSOFT-2-3R"},
        {"SUNSOFT-3", "SUNSOFT-3"},
        {"SUNSOFT-4", "SUNSOFT-4"},
        {"JALECO-JF-[17,19]", "JF-17 JF-19"},
        {"JALECO-JF-13", "JF-13"},
        {"JALECO-JF-16", "JF-16 IF-12"},
        {"NAMCOT-3446", "NAMCOT-3446"},
        {"NAMCOT-3433", "NAMCOT-3433 NAMCOT-3443 NAMCOT-3453"},
        {"NAMCOT-3425", "NAMCOT-3425"},
        {"KONAMI-VRC-3", "VRC3"},
        {"TENGEN-RAMBO-1", "RAMBO-1 800032 800037"},
        {"MMC3-MULTICART", "PAL-ZZ QJ NES-QJ"},
        {"NES-EVENT", "NES-EVENT"},
        {"HOMEBREW-UNROM-512", "UNROM-512 UNROM-512-32"},
        {"HOMEBREW-ACTION53", "ACTION53"},
        {"HOMEBREW-GTROM", "GTROM"},
        {"KONAMI-VRC-6", "VRC6A VRC6B KONAMI-VRC6"},
        {"KONAMI-VRC-7", "VRC7 KONAMI-VRC7"},
        {"NAMCOT-163", "NAMCO-163 NAMCO-175 NAMCO-340"},
        {"FDS-RAM-ADAPTER", "FDS"},
        {"", "NES-ANROM NES-SEKROM"}, // ending in a family's name does not make a board of that family
    };
    // clang-format on
    for (const auto& [expected, names] : readme) {
        std::istringstream words(names);
        for (std::string board; words >> board;) {
            EXPECT_EQ(family(board), expected) << board;
        }
    }
}

// Images smaller than a board is built for, and without CHR-ROM or a CHR-RAM mark (as a UNIF file
// without "VROR" gives): whatever the registers say, every CPU and PPU read stays inside the image,
// and the pattern tables are RAM.
TEST(Boards, SmallImagesWrapIntoThemselves) {
    for (const char* board :
         {"NROM",        "SGROM",        "UNROM",         "CNROM",        "TGROM",        "AOROM",
          "PNROM",       "GNROM",        "FKROM",         "COLORDREAMS",  "CPROM",        "BNROM",
          "NINA-001",    "JF-14",        "BF9093",        "NINA-03",      "UNROM+74HC08", "BF9096",
          "DEROM",       "TLSROM",       "TQROM",         "VRC4EF",       "VRC2A",        "JLROM",
          "FCG",         "LZ93D50+SRAM", "LZ93D50+24C01", "JF-24",        "JF-09",        "TC0690",
          "CN-SECURITY", "X1-005/207",   "X1-017",        "VRC1",         "G-101",        "H3001",
          "74161/152",   "SUNSOFT-1",    "SUNSOFT-2",     "SUNSOFT-2-3R", "SUNSOFT-3",    "SUNSOFT-4",
          "JF-17",       "JF-19",        "JF-13",         "IF-12",        "NAMCOT-3446",  "NAMCOT-3453",
          "NAMCOT-3425", "VRC3",         "800037",        "PAL-ZZ",       "QJ",           "UNROM-512",
          "ACTION53",    "GTROM",        "NROM-368",      "NES-EVENT",    "VRC6A",        "VRC7",
          "NAMCO-163",   "NAMCO-340"}) {
        SCOPED_TRACE(board);
        auto image = MakeImage(1, 0, board);
        image->hasChrRam = false;
        Cartridge cartridge(std::move(image));
        for (int value = 0; value < 256; value += 5) {
            for (const std::uint16_t address :
                 {0x8000, 0x8001, 0xA000, 0xB000, 0xC000, 0xD000, 0xE000, 0xF000}) {
                cartridge.Board().WriteRegister(address, static_cast<std::uint8_t>(value));
            }
            cartridge.Board().OnPatternFetch(static_cast<std::uint16_t>(value & 1 ? 0x0FD0 : 0x1FE0));
            for (std::uint32_t address = 0x8000; address < 0x10000; address += 0x400) {
                ASSERT_LT(cartridge.machine.Cpu(address), 2) << std::hex << address;
            }
            for (std::uint32_t page = 0; page < 8; ++page) {
                cartridge.Ppu().WriteVram(page * 0x400, static_cast<std::uint8_t>(page + 1));
                ASSERT_EQ(cartridge.machine.Vram(page * 0x400), page + 1);
            }
        }
    }
}

} // namespace
} // namespace Halvo
