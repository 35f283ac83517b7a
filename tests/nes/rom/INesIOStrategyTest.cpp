#include "nes/rom/INesIOStrategy.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "nes/rom/Crc32.h"
#include "nes/rom/RomFiles.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using TestSupport::INesFile;
using TestSupport::INesHeader;
using TestSupport::IsReport;
using TestSupport::MakeImage;
using TestSupport::Pattern;
using TestSupport::Summary;

const char* const Load = "Halvo::Nes::INesIOStrategy::LoadImage";
const char* const Save = "Halvo::Nes::INesIOStrategy::SaveImage";

std::unique_ptr<Nes::RomImage> Read(const std::string& bytes) {
    std::istringstream in(bytes);
    return Nes::INesIOStrategy().LoadImage(in, true);
}

struct BoardCase {
    std::uint8_t mapper;
    std::uint8_t prgBanks;
    std::uint8_t chrBanks;
    std::uint8_t flags6; // without the mapper nibble
    const char* board;   // null: no row fits
};

TEST(INesIOStrategy, ChoosesTheFirstFittingBoard) {
    // clang-format off
    const BoardCase cases[] = {
        {0, 1, 1, 0x00, "NROM"},    {0, 2, 0, 0x01, "NROM"},   {0, 3, 1, 0, nullptr}, {0, 1, 2, 0, nullptr},
        {1, 8, 2, 0x02, "SAROM"},   {1, 8, 4, 0x00, "SBROM"},  {1, 8, 2, 0x00, "SC1ROM"},
        {1, 8, 0, 0x00, "SGROM"},   {1, 8, 0, 0x02, "SOROM"},  {2, 8, 0, 0x00, "UNROM"},
        {3, 2, 4, 0x00, "CNROM"},   {4, 8, 8, 0x08, "TR1ROM"}, {4, 16, 8, 0x08, "TVROM"},
        {4, 16, 8, 0x00, "TFROM"},  {4, 32, 0, 0x00, "TGROM"}, {4, 33, 0, 0x00, nullptr},
        {4, 16, 1, 0x02, "TKROM"},  {4, 16, 16, 0x0A, "TKROM"}, {4, 16, 16, 0x00, "TLROM"},
        {7, 8, 0, 0x00, "AOROM"},   {9, 8, 16, 0x00, "PNROM"}, {66, 4, 4, 0x00, "GNROM"},
        {5, 8, 8, 0x00, nullptr},
    };
    // clang-format on
    for (const BoardCase& test : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mapper " << int{test.mapper} << ", " << int{test.prgBanks} << " PRG, "
                     << int{test.chrBanks} << " CHR, flags " << int{test.flags6});
        ConsoleCapture console;
        const auto header = INesHeader(test.prgBanks, test.chrBanks,
                                       static_cast<std::uint8_t>(test.flags6 | (test.mapper & 0x0F) << 4),
                                       static_cast<std::uint8_t>(test.mapper & 0xF0));
        const auto image =
            Read(header + Pattern(test.prgBanks * 16384u, 1) + Pattern(test.chrBanks * 8192u, 2));
        if (!test.board) {
            EXPECT_FALSE(image);
            ASSERT_EQ(console.ErrorLines().size(), 1u);
            EXPECT_TRUE(IsReport(console.LastLine(), Load, "Unsupported iNES mapper number."));
            continue;
        }
        ASSERT_TRUE(image);
        EXPECT_EQ(image->boardName, test.board);
        EXPECT_TRUE(console.Lines().empty());
    }
}

TEST(INesIOStrategy, ReadsHeaderBitsBanksAndTitle) {
    const std::string prg = Pattern(2 * 16384, 1);
    const std::string chr = Pattern(8192, 2);
    const auto image = Read(INesHeader(2, 1, 0x01) + prg + chr + "Hello");
    ASSERT_TRUE(image);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(image->prgRom.get()), prg.size()), prg);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(image->chrRom.get()), chr.size()), chr);
    EXPECT_EQ(image->prgCrc, Nes::Crc32::Of(image->prgRom.get(), prg.size()));
    EXPECT_EQ(image->chrCrc, Nes::Crc32::Of(image->chrRom.get(), chr.size()));
    EXPECT_EQ(image->prgBankCount * 10 + image->chrBankCount, 21u);
    EXPECT_EQ(image->mirroring, 1u);
    EXPECT_EQ(image->name, "Hello");
    EXPECT_FALSE(image->hasWram || image->hasBattery || image->hasChrRam || image->trainer);

    // Battery, trainer, four screens, no CHR-ROM, a title padded with zeros; "NEZ" reads as "NES".
    std::string nez =
        INesHeader(1, 0, 0x0E) + Pattern(512, 9) + prg.substr(0, 16384) + "Title" + std::string(123, '\0');
    nez[2] = 'Z';
    const auto other = Read(nez);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->hasWram && other->hasBattery && other->hasChrRam);
    EXPECT_EQ(other->mirroring, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(other->trainer.get()), 512), Pattern(512, 9));
    EXPECT_FALSE(other->chrRom);
    EXPECT_EQ(other->chrBankCount + other->chrCrc, 0u);
    EXPECT_EQ(other->name, "Title");

    EXPECT_EQ(Read(INesFile(1, 1))->name, "");
}

TEST(INesIOStrategy, IgnoresTheDiskDudeSignature) {
    const auto image = Read(INesHeader(8, 8, 0x40, 'D', "iskDude!") + Pattern(8 * 16384 + 8 * 8192, 3));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->boardName, "TFROM");
}

TEST(INesIOStrategy, RefusesBrokenFilesWithTheirMessage) {
    const std::string header = INesHeader(2, 1, 0);
    const struct {
        std::string bytes;
        const char* message; // null: silent
    } cases[] = {
        {header.substr(0, 15), nullptr},
        {"UNIF" + header.substr(4), "Invalid iNES header."},
        {"NES\x1B" + header.substr(4), "Invalid iNES header."},
        {INesHeader(0, 1, 0), "Possible corrupted iNES header--no PRG-ROM."},
        {INesHeader(1, 0, 0x04) + Pattern(511, 0), "Corrupted iNES rom image file."},
        {header + Pattern(32767, 0), "Corrupted iNES rom image file."},
        {header + Pattern(32768 + 8191, 0), "Corrupted iNES rom image file."},
        // Banks the file does not hold are never allocated.
        {INesHeader(255, 255, 0x20) + Pattern(100, 0), "Corrupted iNES rom image file."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message ? test.message : "silent");
        ConsoleCapture console;
        EXPECT_FALSE(Read(test.bytes));
        if (test.message) {
            ASSERT_EQ(console.ErrorLines().size(), 1u);
            EXPECT_TRUE(IsReport(console.LastLine(), Load, test.message));
        } else {
            EXPECT_TRUE(console.Lines().empty());
        }
    }
}

TEST(INesIOStrategy, SavesWhatItReads) {
    const struct {
        const char* board;
        std::uint32_t mirroring;
        bool battery;
        bool trainer;
        std::uint8_t flags6;
        std::uint8_t flags7;
    } cases[] = {{"TKROM", 1, true, true, 0x47, 0x00},
                 {"GNROM", 5, false, false, 0x20, 0x40},
                 {"TVROM", 4, false, false, 0x48, 0x00},
                 {"SC1ROM", 2, false, false, 0x10, 0x00}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.board);
        auto image = MakeImage(test.board, 4, 2);
        image->mirroring = test.mirroring;
        image->hasBattery = image->hasWram = test.battery;
        image->name = "Round Trip";
        if (test.trainer) {
            image->trainer = std::make_unique<std::uint8_t[]>(512);
            image->trainer[3] = 0x33;
        }
        std::ostringstream out;
        ASSERT_TRUE(Nes::INesIOStrategy().SaveImage(out, *image));
        const std::string bytes = out.str();
        EXPECT_EQ(bytes.substr(0, 16), INesHeader(4, 2, test.flags6, test.flags7));
        EXPECT_EQ(bytes.size(), 16u + (test.trainer ? 512 : 0) + 4 * 16384 + 2 * 8192 + 128);
        const auto loaded = Read(bytes);
        ASSERT_TRUE(loaded);
        // Mirroring codes iNES has no bit for read back as horizontal.
        image->mirroring = test.mirroring == 1 || test.mirroring == 4 ? test.mirroring : 0;
        image->dumpDay = loaded->dumpDay;
        image->dumpMonth = loaded->dumpMonth;
        image->dumpYear = loaded->dumpYear;
        EXPECT_EQ(Summary(*loaded), Summary(*image));
    }

    // The title field is always 128 bytes, cut or zero-filled.
    auto longTitle = MakeImage("NROM", 1, 0);
    longTitle->name = std::string(130, 'x');
    std::ostringstream out;
    ASSERT_TRUE(Nes::INesIOStrategy().SaveImage(out, *longTitle));
    EXPECT_EQ(out.str().substr(16 + 16384), std::string(128, 'x'));
}

TEST(INesIOStrategy, RefusesToSaveWhatTheFileCannotHold) {
    const struct {
        std::unique_ptr<Nes::RomImage> image;
        const char* message;
    } cases[] = {
        {MakeImage("SNROM", 1, 1), "Unsupported iNES mapper number."},
        {MakeImage("UNROM", 256, 0), "Too many PRG-ROM banks for the iNES format."},
        {MakeImage("CNROM", 1, 256), "Too many CHR-ROM banks for the iNES format."},
    };
    for (const auto& test : cases) {
        ConsoleCapture console;
        std::ostringstream out;
        EXPECT_FALSE(Nes::INesIOStrategy().SaveImage(out, *test.image));
        EXPECT_TRUE(out.str().empty());
        ASSERT_EQ(console.ErrorLines().size(), 1u);
        EXPECT_TRUE(IsReport(console.LastLine(), Save, test.message));
    }

    ConsoleCapture console;
    std::ofstream full("/dev/full", std::ios::binary); // every write fails: no space left
    ASSERT_TRUE(full.is_open());
    EXPECT_FALSE(Nes::INesIOStrategy().SaveImage(full, *MakeImage("NROM", 1, 1)));
    EXPECT_TRUE(IsReport(console.LastLine(), Save, "Could not write the iNES rom image file."));
}

} // namespace
} // namespace Halvo
