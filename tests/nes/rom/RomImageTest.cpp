#include "nes/rom/RomImage.h"

#include <gtest/gtest.h>

#include "nes/rom/Crc32.h"

namespace Halvo {
namespace {

TEST(RomImage, StartsAsAnEmptyNromBoardDumpedToday) {
    const std::time_t before = std::time(nullptr);
    Nes::RomImage image;
    const std::time_t after = std::time(nullptr);

    EXPECT_EQ(image.boardName, "NROM");
    EXPECT_EQ(image.mirroring, 5u);
    EXPECT_EQ(image.tvSystem, 2u);
    EXPECT_EQ(image.controllers, 0xFFFFFFFFu);
    EXPECT_EQ(image.portsType, 0u);
    EXPECT_FALSE(image.prgRom || image.chrRom || image.trainer);
    EXPECT_EQ(image.prgBankCount + image.chrBankCount + image.prgCrc + image.chrCrc, 0u);
    EXPECT_FALSE(image.hasWram || image.hasBattery || image.hasChrRam);
    EXPECT_TRUE(image.name.empty() && image.comments.empty());
    EXPECT_EQ(image.dumperName, "Halvo 0.1.0");
    EXPECT_EQ(image.dumperAgent, "Converted by the Halvo NES ROM image import toolkit.");

    // Either side of midnight is fine.
    bool today = false;
    for (const std::time_t moment : {before, after}) {
        std::tm local{};
        localtime_r(&moment, &local);
        today |= image.dumpDay == local.tm_mday && image.dumpMonth == local.tm_mon &&
                 image.dumpYear == local.tm_year + 1900;
    }
    EXPECT_TRUE(today);
}

TEST(RomImage, DumpMonthCountsFromZero) {
    std::tm march5{};
    march5.tm_mday = 5;
    march5.tm_mon = 2;
    march5.tm_year = 111;
    march5.tm_hour = 12;
    march5.tm_isdst = -1;
    Nes::RomImage image;
    image.SetDumpDate(std::mktime(&march5));
    EXPECT_EQ(image.dumpDay, 5);
    EXPECT_EQ(image.dumpMonth, 2);
    EXPECT_EQ(image.dumpYear, 2011);
}

std::uint32_t ChecksumOf(const Nes::Crc32& crc, const std::string& text) {
    return crc.Checksum(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Crc32, IsTheComplementOfThePublishedCrc) {
    const Nes::Crc32 crc;
    EXPECT_EQ(crc.table[1], 0x77073096u);
    EXPECT_EQ(ChecksumOf(crc, ""), 0xFFFFFFFFu);
    EXPECT_EQ(ChecksumOf(crc, "abc"), 0xCADBBE3Du);
    EXPECT_EQ(ChecksumOf(crc, "123456789"), ~0xCBF43926u);
    EXPECT_EQ(Nes::Crc32::Of(reinterpret_cast<const std::uint8_t*>("abc"), 3), 0xCADBBE3Du);
}

TEST(Crc32, OtherPolynomialsBuildTheirOwnTable) {
    // CRC-32C (Castagnoli) of "123456789" is 0xE3069283.
    const Nes::Crc32 castagnoli(0x1EDC6F41u);
    EXPECT_NE(castagnoli.table, Nes::Crc32().table);
    EXPECT_EQ(ChecksumOf(castagnoli, "123456789"), ~0xE3069283u);
}

} // namespace
} // namespace Halvo
