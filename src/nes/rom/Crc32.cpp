#include "nes/rom/Crc32.h"

#include <algorithm>
#include <array>

namespace Halvo::Nes {

namespace {

// The table of a reflected CRC: bits enter from the low end, so the polynomial is bit-reversed.
constexpr std::uint32_t ReflectedPolynomial(std::uint32_t polynomial) {
    std::uint32_t reflected = 0;
    for (int bit = 0; bit < 32; ++bit) {
        if (polynomial & (1u << bit)) {
            reflected |= 1u << (31 - bit);
        }
    }
    return reflected;
}

constexpr std::uint32_t TableEntry(std::uint32_t index, std::uint32_t reflected) {
    std::uint32_t value = index;
    for (int bit = 0; bit < 8; ++bit) {
        value = (value & 1u) ? (value >> 1) ^ reflected : value >> 1;
    }
    return value;
}

constexpr std::array<std::uint32_t, 256> MakeTable(std::uint32_t polynomial) {
    std::array<std::uint32_t, 256> table{};
    const std::uint32_t reflected = ReflectedPolynomial(polynomial);
    for (std::uint32_t index = 0; index < 256; ++index) {
        table[index] = TableEntry(index, reflected);
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> StandardTable = MakeTable(Crc32::StandardPolynomial);
static_assert(StandardTable[1] == 0x77073096u && StandardTable[255] == 0x2D02EF8Du);

} // namespace

Crc32::Crc32(std::uint32_t polynomial) : polynomial(polynomial), table(StandardTable.data()) {
    if (polynomial != StandardPolynomial) {
        const auto built = MakeTable(polynomial);
        ownTable = std::make_unique<std::uint32_t[]>(built.size());
        std::copy(built.begin(), built.end(), ownTable.get());
        table = ownTable.get();
    }
}

std::uint32_t Crc32::Checksum(const std::uint8_t* bytes, std::size_t length) const {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t index = 0; index < length; ++index) {
        crc = table[(crc ^ bytes[index]) & 0xFFu] ^ (crc >> 8);
    }
    return crc;
}

std::uint32_t Crc32::Of(const std::uint8_t* bytes, std::size_t length) {
    static const Crc32 standard;
    return standard.Checksum(bytes, length);
}

} // namespace Halvo::Nes
