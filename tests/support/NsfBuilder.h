#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace Halvo::TestSupport {

// Builds NSF files around small 6502 tunes: the header's fields, then the program.
struct NsfBuilder {
    std::uint8_t version = 1;
    std::uint8_t songs = 1;
    std::uint8_t start = 1;
    std::uint16_t load = 0x8000;
    std::uint16_t init = 0x8000;
    std::uint16_t play = 0x8000;
    std::string title = "Test Tune";
    std::string artist = "Halvo";
    std::string copyright = "2026 Nobody";
    std::uint16_t ntscPeriod = 16639;
    std::uint16_t palPeriod = 19997;
    std::array<std::uint8_t, 8> banks{};
    std::uint8_t region = 0;
    std::uint8_t chips = 0;
    std::uint8_t nsf2Flags = 0;
    std::uint32_t programLength = 0; // $7D-$7F
    std::vector<std::uint8_t> program;
    std::vector<std::uint8_t> appended; // after the program (NSF2 metadata)

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> file(0x80, 0);
        std::memcpy(file.data(), "NESM\x1A", 5);
        file[5] = version;
        file[6] = songs;
        file[7] = start;
        const auto word = [&](std::size_t at, std::uint16_t value) {
            file[at] = static_cast<std::uint8_t>(value);
            file[at + 1] = static_cast<std::uint8_t>(value >> 8);
        };
        word(8, load);
        word(0x0A, init);
        word(0x0C, play);
        std::memcpy(&file[0x0E], title.data(), std::min<std::size_t>(title.size(), 31));
        std::memcpy(&file[0x2E], artist.data(), std::min<std::size_t>(artist.size(), 31));
        std::memcpy(&file[0x4E], copyright.data(), std::min<std::size_t>(copyright.size(), 31));
        word(0x6E, ntscPeriod);
        std::copy(banks.begin(), banks.end(), file.begin() + 0x70);
        word(0x78, palPeriod);
        file[0x7A] = region;
        file[0x7B] = chips;
        file[0x7C] = nsf2Flags;
        file[0x7D] = static_cast<std::uint8_t>(programLength);
        file[0x7E] = static_cast<std::uint8_t>(programLength >> 8);
        file[0x7F] = static_cast<std::uint8_t>(programLength >> 16);
        file.insert(file.end(), program.begin(), program.end());
        file.insert(file.end(), appended.begin(), appended.end());
        return file;
    }

    void Write(const std::string& path) const {
        const std::vector<std::uint8_t> bytes = Bytes();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

// One NSFe chunk: its length, identifier and bytes.
inline std::vector<std::uint8_t> NsfeChunk(const char* id, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> chunk = {static_cast<std::uint8_t>(data.size()),
                                       static_cast<std::uint8_t>(data.size() >> 8),
                                       static_cast<std::uint8_t>(data.size() >> 16), 0};
    chunk.insert(chunk.end(), id, id + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    return chunk;
}

} // namespace Halvo::TestSupport
