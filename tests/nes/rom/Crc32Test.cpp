#include "nes/rom/Crc32.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

std::uint32_t ChecksumOf(const Nes::Crc32& crc, const std::string& text) {
    return crc.Checksum(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The checksum in UNIF files is the register of the published CRC-32 without the final inversion.
TEST(Crc32, IsTheComplementOfThePublishedCrc) {
    EXPECT_EQ(ChecksumOf(Nes::Crc32(), "123456789"), ~0xCBF43926u);
    // CRC-32C (Castagnoli) of "123456789" is 0xE3069283.
    EXPECT_EQ(ChecksumOf(Nes::Crc32(0x1EDC6F41u), "123456789"), ~0xE3069283u);
}

} // namespace
} // namespace Halvo
