#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "nes/rom/Crc32.h"
#include "nes/rom/RomImage.h"
#include "support/Machine.h"

namespace Halvo::TestSupport {

// Byte strings of synthetic ROM image files. (Images to save come from MakeImage in support/Machine.h.)

// `size` bytes of a pattern that differs from bank to bank, so misplaced banks show.
inline std::string Pattern(std::size_t size, std::uint8_t seed) {
    std::string bytes(size, '\0');
    for (std::size_t index = 0; index < size; ++index) {
        bytes[index] = static_cast<char>(seed + index * 7 + index / 8192);
    }
    return bytes;
}

inline std::string INesHeader(std::uint8_t prgBanks, std::uint8_t chrBanks, std::uint8_t flags6,
                              std::uint8_t flags7 = 0, const std::string& tail = std::string(8, '\0')) {
    std::string header = "NES\x1A";
    header += static_cast<char>(prgBanks);
    header += static_cast<char>(chrBanks);
    header += static_cast<char>(flags6);
    header += static_cast<char>(flags7);
    return header + tail;
}

// A whole iNES file: header, PRG and CHR patterns, then `trailer`.
inline std::string INesFile(std::uint8_t prgBanks, std::uint8_t chrBanks, std::uint8_t flags6 = 0,
                            const std::string& trailer = "") {
    return INesHeader(prgBanks, chrBanks, flags6) + Pattern(prgBanks * 16384u, 1) +
           Pattern(chrBanks * 8192u, 2) + trailer;
}

// A ROM array as bytes, "<none>" when there is none.
inline std::string Bytes(const std::unique_ptr<std::uint8_t[]>& rom, std::size_t size) {
    return rom ? std::string(reinterpret_cast<const char*>(rom.get()), size) : std::string("<none>");
}

inline std::string LittleEndian32(std::uint32_t value) {
    return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
            static_cast<char>(value >> 24)};
}

inline std::string UnifHeader() {
    return "UNIF" + LittleEndian32(7) + std::string(24, '\0');
}

inline std::string Chunk(const std::string& id, const std::string& data) {
    return id + LittleEndian32(static_cast<std::uint32_t>(data.size())) + data;
}

// Every field of an image in one line, the ROM contents as checksums of the arrays themselves, so that
// one comparison shows every difference between two images.
inline std::string Summary(const Nes::RomImage& image) {
    const auto crc = [](const std::unique_ptr<std::uint8_t[]>& bytes, std::size_t size) {
        std::ostringstream text;
        if (bytes) {
            text << std::hex << Nes::Crc32::Of(bytes.get(), size);
        } else {
            text << "none";
        }
        return text.str();
    };
    std::ostringstream text;
    text << image.boardName << " '" << image.name << "' '" << image.comments << "' PRG " << image.prgBankCount
         << ":" << crc(image.prgRom, image.prgBankCount * 16384u) << " CHR " << image.chrBankCount << ":"
         << crc(image.chrRom, image.chrBankCount * 8192u) << " trainer " << crc(image.trainer, 512) << " tv "
         << image.tvSystem << " mirroring " << image.mirroring << " ctrl " << image.controllers << " wram "
         << image.hasWram << " battery " << image.hasBattery << " chrram " << image.hasChrRam << " submapper "
         << image.submapper << " RAM " << image.prgRamSize << "+" << image.prgNvramSize << " CHR-RAM "
         << image.chrRamSize << "+" << image.chrNvramSize << " dumper '" << image.dumperName << "' '"
         << image.dumperAgent << "' " << int{image.dumpDay} << "/" << int{image.dumpMonth} << "/"
         << image.dumpYear;
    return text.str();
}

} // namespace Halvo::TestSupport
