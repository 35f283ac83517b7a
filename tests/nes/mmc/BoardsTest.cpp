#include "nes/mmc/Boards.h"

#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"
#include "nes/mmc/MmcFactory.h"

namespace Halvo {
namespace {

using TestSupport::Cartridge;
using TestSupport::MakeImage;

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
