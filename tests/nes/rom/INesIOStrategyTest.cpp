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
        {4, 8, 0, 0x0A, "", "No board of iNES mapper 4 fits 8 PRG-ROM banks, 0 CHR-ROM banks, battery-backed RAM "
                            "and four-screen mirroring."},
        {1, 8, 2, 0x02, "SAROM"}, {1, 8, 4, 0x00, "SBROM"}, {1, 8, 2, 0x00, "SC1ROM"}, {1, 8, 0, 0x00, "SGROM"},
        {1, 8, 0, 0x02, "SOROM"}, {2, 8, 0, 0x00, "UNROM"}, {3, 2, 4, 0x00, "CNROM"}, {4, 8, 8, 0x08, "TR1ROM"},
        {4, 16, 8, 0x08, "TVROM"}, {4, 16, 8, 0x00, "TFROM"}, {4, 32, 0, 0x00, "TGROM"}, {4, 16, 1, 0x02, "TKROM"},
        {4, 16, 16, 0x0A, "TKROM"}, {4, 16, 16, 0x00, "TLROM"}, {7, 8, 0, 0x00, "AOROM"}, {9, 8, 16, 0x00, "PNROM"},
        {66, 4, 4, 0x00, "GNROM"}, {21, 8, 16, 0x00, "VRC4AC"}, {22, 8, 16, 0x00, "VRC2A"}, {23, 8, 16, 0x00, "VRC4EF"},
        {25, 8, 16, 0x00, "VRC4BD"}, {69, 16, 16, 0x02, "JLROM"}, {5, 32, 32, 0x02, "EKROM"}, {5, 8, 8, 0x00, "ELROM"},
        {15, 8, 8, 0x00, "", unsupported}, {0x44, 1, 1, 0x00, "", unsupported},
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

TEST(INesIOStrategy, SavesWhatItReads) {
    const struct {
        const char* board;
        std::uint32_t mirroring, readBack;
        bool trainer;
        std::uint8_t flags6, flags7;
    } cases[] = {
        {"TKROM", Nes::MirrorVertical, Nes::MirrorVertical, true, 0x47, 0x00},
        // iNES has no bit for "the board decides": it reads back as horizontal.
        {"GNROM", Nes::MirrorByMapper, Nes::MirrorHorizontal, false, 0x20, 0x40},
        {"TVROM", Nes::MirrorFourScreen, Nes::MirrorFourScreen, false, 0x48, 0x00},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.board);
        auto image = MakeImage(4, 2, test.board);
        image->mirroring = test.mirroring;
        image->hasBattery = image->hasWram = test.trainer;
        image->name = "Round Trip";
        if (test.trainer) {
            image->trainer = std::make_unique<std::uint8_t[]>(512);
            image->trainer[3] = 0x33;
        }
        std::ostringstream out;
        ASSERT_TRUE(Nes::INesIOStrategy().SaveImage(out, *image));
        EXPECT_EQ(out.str().substr(0, 16), INesHeader(4, 2, test.flags6, test.flags7));
        EXPECT_EQ(out.str().size(), 16u + (test.trainer ? 512 : 0) + 4 * 16384 + 2 * 8192 + 128);
        const auto loaded = Read(out.str());
        ASSERT_TRUE(loaded);
        image->mirroring = test.readBack;
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
        {MakeImage(256, 0, "UNROM"), "Too many PRG-ROM banks for the iNES format."},
        {MakeImage(1, 256, "CNROM"), "Too many CHR-ROM banks for the iNES format."},
    };
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
