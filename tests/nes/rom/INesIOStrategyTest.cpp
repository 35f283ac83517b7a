#include "nes/rom/INesIOStrategy.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "nes/rom/RomFiles.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using TestSupport::Bytes;
using TestSupport::INesHeader;
using TestSupport::MakeImage;
using TestSupport::Pattern;

const char* const Load = "Halvo::Nes::INesIOStrategy::LoadImage";
const char* const Save = "Halvo::Nes::INesIOStrategy::SaveImage";

// The NES 2.0 header: the old one with byte 7 bits 2-3 = 2 and bytes 8-12 as given.
std::string Nes20Header(std::uint8_t prg, std::uint8_t chr, std::uint8_t flags6, std::uint8_t flags7,
                        std::initializer_list<std::uint8_t> bytes8to12) {
    std::string tail(8, '\0');
    std::copy(bytes8to12.begin(), bytes8to12.end(), tail.begin());
    return INesHeader(prg, chr, flags6, static_cast<std::uint8_t>(flags7 | 0x08), tail);
}

std::unique_ptr<Nes::RomImage> Read(const std::string& bytes) {
    std::istringstream in(bytes);
    return Nes::INesIOStrategy().LoadImage(in, true);
}

TEST(INesIOStrategy, ChoosesTheFirstFittingBoard) {
    // Mapper, 16 KiB PRG banks, 8 KiB CHR banks, flags 6 without the mapper nibble; the board, or the
    // message when none fits.
    const char* const unsupported = "Unsupported iNES mapper number.";
    const struct {
        std::uint8_t mapper, prgBanks, chrBanks, flags6;
        const char* board;
        const char* message = "";
    } cases[] = {
        // clang-format off
        {0, 1, 1, 0x00, "NROM"},    {0, 2, 0, 0x01, "NROM"},
        {0, 255, 1, 0, "", "No board of iNES mapper 0 fits 255 PRG-ROM banks and 1 CHR-ROM bank."},
        {0, 1, 2, 0, "", "No board of iNES mapper 0 fits 1 PRG-ROM bank and 2 CHR-ROM banks."},
        {4, 64, 0, 0x0A, "", "No board of iNES mapper 4 fits 64 PRG-ROM banks, 0 CHR-ROM banks, battery-backed RAM "
                             "and four-screen mirroring."},
        // Sizes the boards' address lines take: NROM-368, the MMC3 with CHR-RAM and a battery.
        {0, 3, 1, 0x00, "NROM-368"}, {4, 8, 0, 0x02, "TNROM"}, {4, 32, 0, 0x02, "TNROM"},
        {0, 4, 1, 0, "", "No board of iNES mapper 0 fits 4 PRG-ROM banks and 1 CHR-ROM bank."},
        {16, 16, 16, 0x02, "FCG"}, {159, 8, 16, 0x02, "LZ93D50+24C01"}, {185, 2, 1, 0x00, "CN-SECURITY"},
        {78, 8, 16, 0x08, "IF-12"}, {78, 8, 16, 0x01, "JF-16"}, {30, 32, 0, 0x08, "UNROM-512"}, {111, 8, 0, 0x00, "GTROM"},
        {1, 8, 2, 0x02, "SAROM"}, {1, 8, 4, 0x00, "SBROM"}, {1, 8, 2, 0x00, "SC1ROM"}, {1, 8, 0, 0x00, "SGROM"},
        {1, 8, 0, 0x02, "SOROM"}, {2, 8, 0, 0x00, "UNROM"}, {3, 2, 4, 0x00, "CNROM"}, {4, 8, 8, 0x08, "TR1ROM"},
        {4, 16, 8, 0x08, "TVROM"}, {4, 16, 8, 0x00, "TFROM"}, {4, 32, 0, 0x00, "TGROM"}, {4, 16, 1, 0x02, "TKROM"},
        {4, 16, 16, 0x0A, "TKROM"}, {4, 16, 16, 0x00, "TLROM"}, {7, 8, 0, 0x00, "AOROM"}, {9, 8, 16, 0x00, "PNROM"},
        {66, 4, 4, 0x00, "GNROM"}, {34, 2, 1, 0x00, "BNROM"}, {34, 2, 2, 0x00, "NINA-001"},
        {118, 8, 8, 0x02, "TKSROM"}, {206, 4, 4, 0x08, "DRROM"}, {206, 4, 4, 0x01, "DEROM"},
        {13, 2, 1, 0, "", "No board of iNES mapper 13 fits 2 PRG-ROM banks and 1 CHR-ROM bank."},
        {21, 8, 16, 0x00, "VRC4AC"}, {22, 8, 16, 0x00, "VRC2A"}, {23, 8, 16, 0x00, "VRC4EF"},
        {25, 8, 16, 0x00, "VRC4BD"}, {69, 16, 16, 0x02, "JLROM"}, {5, 32, 32, 0x02, "EKROM"}, {5, 8, 8, 0x00, "ELROM"},
        {15, 8, 8, 0x00, "", unsupported}, {0x63, 1, 1, 0x00, "", unsupported},
        {24, 16, 16, 0x00, "VRC6A"}, {26, 16, 16, 0x00, "VRC6B"}, {85, 16, 16, 0x00, "VRC7"}, {19, 16, 16, 0x00, "NAMCO-163"},
        {210, 16, 16, 0x00, "NAMCO-340"},
        // clang-format on
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mapper " << int{test.mapper} << ", " << int{test.prgBanks} << " PRG, "
                     << int{test.chrBanks} << " CHR, flags " << int{test.flags6});
        TestSupport::ConsoleCapture console;
        const auto image = Read(INesHeader(test.prgBanks, test.chrBanks,
                                           static_cast<std::uint8_t>(test.flags6 | (test.mapper & 0x0F) << 4),
                                           static_cast<std::uint8_t>(test.mapper & 0xF0)) +
                                Pattern(test.prgBanks * 16384u + test.chrBanks * 8192u, 1));
        EXPECT_EQ(image ? image->boardName : "", test.board);
        EXPECT_TRUE(console.HoldsOnly(Load, test.message));
    }
    // The DiskDude signature in bytes 7-15 leaves the upper mapper nibble 0.
    EXPECT_EQ(Read(INesHeader(8, 8, 0x40, 'D', "iskDude!") + Pattern(8 * 16384 + 8 * 8192, 3))->boardName,
              "TFROM");
}

TEST(INesIOStrategy, ReadsNes20Headers) {
    const auto describe = [](const Nes::RomImage& image) {
        std::ostringstream text;
        text << image.boardName << " PRG " << image.prgBankCount << " CHR " << image.chrBankCount << " sub "
             << image.submapper << " RAM " << image.prgRamSize << "+" << image.prgNvramSize << " CHR-RAM "
             << image.chrRamSize << "+" << image.chrNvramSize << " tv " << image.tvSystem << " wram "
             << image.hasWram << " battery " << image.hasBattery << " chrram " << image.hasChrRam;
        return text.str();
    };
    // The header, the ROM bytes that follow it, and the image it gives or the message.
    const struct {
        std::string header;
        std::size_t romBytes;
        const char* expected;
    } cases[] = {
        // clang-format off
        {Nes20Header(2, 1, 0x20, 0x20, {0x10}), 40960, "NINA-001 PRG 2 CHR 1 sub 1 RAM 0+0 CHR-RAM 0+0 tv 0 wram 0 battery 0 chrram 0"},
        {Nes20Header(2, 4, 0x20, 0x20, {0x20, 0, 0, 0, 2}), 65536, "BNROM PRG 2 CHR 4 sub 2 RAM 0+0 CHR-RAM 0+0 tv 2 wram 0 battery 0 chrram 0"},
        // Exponent form: 2^13 bytes of PRG-ROM and 2^12 of CHR-ROM fill one bank each; 2^14 x 3 is 3 banks.
        {Nes20Header(13 << 2, 12 << 2, 0x00, 0x00, {0, 0xFF}), 12288, "NROM PRG 1 CHR 1 sub 0 RAM 0+0 CHR-RAM 0+0 tv 0 wram 0 battery 0 chrram 0"},
        {Nes20Header(14 << 2 | 1, 0, 0x20, 0x00, {0, 0x0F}), 49152, "UNROM PRG 3 CHR 0 sub 0 RAM 0+0 CHR-RAM 0+0 tv 0 wram 0 battery 0 chrram 1"},
        // The top nibbles of byte 9 count 256 banks each.
        {Nes20Header(0, 0, 0x20, 0x00, {0, 0x01}), 0, "No board of iNES mapper 2 fits 256 PRG-ROM banks and 0 CHR-ROM banks."},
        // RAM sizes are 64 << shift bytes; PAL timing, and the Dendy's (3).
        {Nes20Header(2, 2, 0x40, 0x00, {0, 0, 0x09, 0x70, 1}), 49152, "TLROM PRG 2 CHR 2 sub 0 RAM 32768+0 CHR-RAM 0+8192 tv 1 wram 1 battery 0 chrram 1"},
        {Nes20Header(2, 2, 0x42, 0x00, {0, 0, 0x70, 0, 3}), 49152, "TKROM PRG 2 CHR 2 sub 0 RAM 0+8192 CHR-RAM 0+0 tv 3 wram 1 battery 1 chrram 0"},
        {Nes20Header(2, 1, 0x60, 0x50, {0x01}), 40960, "Unsupported NES 2.0 mapper number 342."},
        {Nes20Header(0, 0, 0x00, 0x00, {0, 0xF0}), 0, "Possible corrupted iNES header--no PRG-ROM."},
        // clang-format on
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.expected);
        TestSupport::ConsoleCapture console;
        const auto image = Read(test.header + Pattern(test.romBytes, 5));
        if (image) {
            EXPECT_EQ(describe(*image), test.expected);
        } else {
            EXPECT_TRUE(console.HoldsOnly(Load, test.expected));
        }
    }
    // An 8 KiB PRG-ROM answers in both halves of its bank.
    const auto small = Read(Nes20Header(13 << 2, 12 << 2, 0x00, 0x00, {0, 0xFF}) + Pattern(12288, 5));
    ASSERT_TRUE(small);
    EXPECT_EQ(Bytes(small->prgRom, 16384), Pattern(8192, 5) + Pattern(8192, 5));
}

// The header bits and the banks come back through the round trips below; these are what only a file
// from elsewhere has: the "NEZ" mark, a title shorter than its field, no CHR-ROM.
TEST(INesIOStrategy, ReadsShortTitlesAndTheOldSignature) {
    std::string file = INesHeader(1, 0, 0) + Pattern(16384, 1) + std::string("Hello\0junk", 10);
    file[2] = 'Z';
    const auto image = Read(file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->name, "Hello");
    EXPECT_EQ(Bytes(image->prgRom, 16384), Pattern(16384, 1));
    EXPECT_TRUE(image->hasChrRam && !image->chrRom);
}

// The old header's PAL bit (byte 9 bit 0) counts only where bytes 12-15 are clean: old tools wrote text
// over the header's tail.
TEST(INesIOStrategy, ReadsTheOldPalBitOfACleanHeader) {
    std::string tail(8, '\0');
    tail[1] = 1;
    EXPECT_EQ(Read(INesHeader(1, 1, 0, 0, tail) + Pattern(24576, 1))->tvSystem, Nes::TvPal);
    tail[5] = 'x';
    EXPECT_EQ(Read(INesHeader(1, 1, 0, 0, tail) + Pattern(24576, 1))->tvSystem, Nes::TvBoth);
}

TEST(INesIOStrategy, RefusesBrokenFilesWithTheirMessage) {
    const std::string header = INesHeader(2, 1, 0);
    const std::pair<std::string, const char*> cases[] = {
        {header.substr(0, 15), "Invalid iNES header."},
        {"UNIF" + header.substr(4), "Invalid iNES header."},
        {"NES\x1B" + header.substr(4), "Invalid iNES header."},
        {INesHeader(0, 1, 0), "Possible corrupted iNES header--no PRG-ROM."},
        {INesHeader(1, 0, 0x04) + Pattern(511, 0), "Corrupted iNES rom image file."},
        {header + Pattern(32767, 0), "Corrupted iNES rom image file."},
        {header + Pattern(32768 + 8191, 0), "Corrupted iNES rom image file."},
        // Banks the file does not hold are never allocated.
        {INesHeader(255, 255, 0x20) + Pattern(100, 0), "Corrupted iNES rom image file."},
    };
    for (const auto& [bytes, message] : cases) {
        TestSupport::ConsoleCapture console;
        EXPECT_FALSE(Read(bytes));
        EXPECT_TRUE(console.HoldsOnly(Load, message)) << bytes.size() << " bytes";
    }
}

// Saving keeps the old header unless the image has what only NES 2.0 holds: a submapper (also one that
// tells its board from the one the old header's sizes give), RAM sizes, PAL timing, more banks.
TEST(INesIOStrategy, SavesWhatItReads) {
    const struct {
        const char* board;
        std::uint32_t prgBanks, chrBanks, mirroring, readBack;
        bool trainer;
        std::string header;
        std::uint32_t submapper = 0, tvSystem = Nes::TvBoth, prgRamSize = 0, chrNvramSize = 0;
    } cases[] = {
        // clang-format off
        {"TKROM", 4, 2, Nes::MirrorVertical, Nes::MirrorVertical, true, INesHeader(4, 2, 0x47, 0x00)},
        // iNES has no bit for "the board decides": it reads back as horizontal.
        {"GNROM", 4, 2, Nes::MirrorByMapper, Nes::MirrorHorizontal, false, INesHeader(4, 2, 0x20, 0x40)},
        {"TVROM", 4, 2, Nes::MirrorFourScreen, Nes::MirrorFourScreen, false, INesHeader(4, 2, 0x48, 0x00)},
        // UNROM 512 reads the four-screen bit alone as the board's one-screen control, with the vertical bit
        // as four screens.
        {"UNROM-512", 32, 0, Nes::MirrorByMapper, Nes::MirrorByMapper, false, INesHeader(32, 0, 0xE8, 0x10)},
        {"UNROM-512", 32, 0, Nes::MirrorFourScreen, Nes::MirrorFourScreen, false, INesHeader(32, 0, 0xE9, 0x10)},
        {"BNROM", 2, 0, Nes::MirrorVertical, Nes::MirrorVertical, false, INesHeader(2, 0, 0x21, 0x20)},
        {"NINA-001", 2, 1, Nes::MirrorVertical, Nes::MirrorVertical, false, Nes20Header(2, 1, 0x21, 0x20, {0x10, 0, 0, 0, 2})},
        {"BF9093", 2, 0, Nes::MirrorVertical, Nes::MirrorVertical, false, Nes20Header(2, 0, 0x71, 0x40, {0x10, 0, 0, 0, 0}), 1, Nes::TvNtsc},
        {"CNROM", 2, 1, Nes::MirrorVertical, Nes::MirrorVertical, false, Nes20Header(2, 1, 0x31, 0x00, {0, 0, 0, 0, 1}), 0, Nes::TvPal},
        {"UNROM", 2, 0, Nes::MirrorVertical, Nes::MirrorVertical, false, Nes20Header(2, 0, 0x21, 0x00, {0, 0, 0x09, 0x70, 1}), 0, Nes::TvPal, 32768, 8192},
        {"UNROM", 256, 0, Nes::MirrorVertical, Nes::MirrorVertical, false, Nes20Header(0, 0, 0x21, 0x00, {0, 0x01, 0, 0, 2})},
        // clang-format on
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.board);
        auto image = MakeImage(test.prgBanks, test.chrBanks, test.board);
        image->mirroring = test.mirroring;
        image->hasBattery = image->hasWram = test.trainer;
        image->name = "Round Trip";
        if (test.trainer) {
            image->trainer = std::make_unique<std::uint8_t[]>(512);
            image->trainer[3] = 0x33;
        }
        image->submapper = test.submapper;
        image->tvSystem = test.tvSystem;
        image->prgRamSize = test.prgRamSize;
        image->chrNvramSize = test.chrNvramSize;
        image->hasWram |= test.prgRamSize != 0;
        std::ostringstream out;
        ASSERT_TRUE(Nes::INesIOStrategy().SaveImage(out, *image));
        EXPECT_EQ(out.str().substr(0, 16), test.header);
        EXPECT_EQ(out.str().size(),
                  16u + (test.trainer ? 512 : 0) + test.prgBanks * 16384 + test.chrBanks * 8192 + 128);
        if (test.prgBanks > 255) {
            continue; // no board of mapper 2 has that many banks to read back
        }
        const auto loaded = Read(out.str());
        ASSERT_TRUE(loaded);
        image->mirroring = test.readBack;
        image->submapper = static_cast<std::uint8_t>(test.header[8]) >> 4;
        image->dumpDay = loaded->dumpDay;
        image->dumpMonth = loaded->dumpMonth;
        image->dumpYear = loaded->dumpYear;
        EXPECT_EQ(TestSupport::Summary(*loaded), TestSupport::Summary(*image));
    }

    // The title field is always 128 bytes, cut or zero-filled.
    auto longTitle = MakeImage(1, 0);
    longTitle->name = std::string(130, 'x');
    std::ostringstream out;
    ASSERT_TRUE(Nes::INesIOStrategy().SaveImage(out, *longTitle));
    EXPECT_EQ(out.str().substr(16 + 16384), std::string(128, 'x'));
}

TEST(INesIOStrategy, RefusesToSaveWhatTheFileCannotHold) {
    const std::pair<std::unique_ptr<Nes::RomImage>, const char*> cases[] = {
        {MakeImage(1, 1, "SNROM"), "Unsupported iNES mapper number."},
        // Neither a 12-bit count nor 2^E x 1, 3, 5 or 7 bytes (the arrays are not read before refusing).
        {MakeImage(1, 0, "UNROM"), "Too many PRG-ROM banks for the iNES format."},
        {MakeImage(1, 1, "CNROM"), "Too many CHR-ROM banks for the iNES format."},
    };
    cases[1].first->prgBankCount = 3841;
    cases[2].first->chrBankCount = 3843;
    for (const auto& [image, message] : cases) {
        TestSupport::ConsoleCapture console;
        std::ostringstream out;
        EXPECT_FALSE(Nes::INesIOStrategy().SaveImage(out, *image));
        EXPECT_EQ(out.str(), "");
        EXPECT_TRUE(console.HoldsOnly(Save, message));
    }
    TestSupport::ConsoleCapture console;
    std::ofstream full("/dev/full", std::ios::binary); // every write fails: no space left
    EXPECT_FALSE(Nes::INesIOStrategy().SaveImage(full, *MakeImage(1, 1)));
    EXPECT_TRUE(console.HoldsOnly(Save, "Could not write the iNES rom image file."));
}

} // namespace
} // namespace Halvo
