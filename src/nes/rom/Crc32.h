#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Halvo::Nes {

// The checksum both ROM image formats use: the register of the published CRC-32 (reflected table,
// initial value all ones) without the final inversion, so it is the complement of the usual CRC-32
// value ("abc" gives 0xCADBBE3D, an empty block 0xFFFFFFFF). UNIF files store this form.
class Crc32 {
public:
    static constexpr std::uint32_t StandardPolynomial = 0x04C11DB7u;

    // The standard polynomial uses the fixed published table; any other builds a table of its own.
    explicit Crc32(std::uint32_t polynomial = StandardPolynomial);
    Crc32(const Crc32&) = delete;
    Crc32& operator=(const Crc32&) = delete;

    std::uint32_t Checksum(const std::uint8_t* bytes, std::size_t length) const;

    // The checksum of a block with the standard polynomial.
    static std::uint32_t Of(const std::uint8_t* bytes, std::size_t length);

    const std::uint32_t polynomial;
    const std::uint32_t* table;

private:
    std::unique_ptr<std::uint32_t[]> ownTable;
};

} // namespace Halvo::Nes
