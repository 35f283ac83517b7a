#include "nes/mmc/Boards.h"

#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"
#include "nes/mmc/MmcFactory.h"

namespace Halvo {
namespace {

using TestSupport::Cartridge;
using TestSupport::MakeImage;

TEST(Boards, EveryBoardNameReachesItsBoard) {
    Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
    EXPECT_TRUE(Nes::RegisterBoards(*manager));
    EXPECT_FALSE(Nes::RegisterBoards(*manager));
    std::vector<std::string> names;
    for (const auto& factory : manager->Factories()) {
        names.push_back(factory->name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"MMC1-[A,B,B2]", "MMC3-[A,B,C]", "NES-AOROM-03", "NES-CN-ROM-[02,05]",
                                        "NES-GNROM", "NES-NROM-256", "NES-PNROM-05", "NES-UNROM-[05,09]"}));

    // Every name the iNES reader gives, then names of UNIF files, and the factory that takes it.
    const char *nrom = "NES-NROM-256", *mmc1 = "MMC1-[A,B,B2]", *mmc3 = "MMC3-[A,B,C]",
               *unrom = "NES-UNROM-[05,09]";
    // clang-format off
    const std::pair<const char*, const char*> boards[] = {
        {"NROM", nrom}, {"SAROM", mmc1}, {"SBROM", mmc1}, {"SC1ROM", mmc1}, {"SGROM", mmc1}, {"SOROM", mmc1},
        {"UNROM", unrom}, {"CNROM", "NES-CN-ROM-[02,05]"}, {"TR1ROM", mmc3}, {"TVROM", mmc3}, {"TFROM", mmc3},
        {"TGROM", mmc3}, {"TKROM", mmc3}, {"TLROM", mmc3}, {"TSROM", mmc3}, {"AOROM", "NES-AOROM-03"},
        {"PNROM", "NES-PNROM-05"}, {"GNROM", "NES-GNROM"}, {"NES-NROM-256", nrom}, {"HVC-RROM-128", nrom},
        {"NES-UNROM", unrom}, {"NES-PNROM", "NES-PNROM-05"}, {"NES-SNROM", mmc1}, {"NES-TLROM", mmc3},
        {"NES-ANROM", ""}, // merely ending in "NROM" does not make a board NROM
    };
    // clang-format on
    // The registry asks its factories in order; the first that accepts the name makes the board.
    for (const auto& [board, factoryName] : boards) {
        std::string taker;
        for (const auto& factory : manager->Factories()) {
            if (factory->Match(board)) {
                taker = factory->name;
                break;
            }
        }
        EXPECT_EQ(taker, factoryName) << board;
    }
}

// Images smaller than a board is built for, and without CHR-ROM or a CHR-RAM mark (as a UNIF file
// without "VROR" gives): whatever the registers say, every CPU and PPU read stays inside the image,
// and the pattern tables are RAM.
TEST(Boards, SmallImagesWrapIntoThemselves) {
    for (const char* board : {"NROM", "SGROM", "UNROM", "CNROM", "TGROM", "AOROM", "PNROM", "GNROM"}) {
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
