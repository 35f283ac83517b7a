#include "nes/Region.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

// Programs that run only on a PAL console but whose headers do not say so, by the standard CRC-32 of
// their PRG-ROM (the complement of the image's checksum).
constexpr std::array<std::uint32_t, 1> PalOnlyPrg = {
    0x573DFDFA, // Years Behind (demo by Bananmos), which refuses NTSC timing
};

bool HasPalMark(const std::string& fileName) {
    const std::string name = std::filesystem::path(fileName).filename().string();
    // The GoodNES country code "(E)" and the No-Intro region "(Europe)"; "PAL" as its own word, so that
    // "Palamedes" stays NTSC.
    if (name.find("(E)") != std::string::npos || name.find("(Europe)") != std::string::npos) {
        return true;
    }
    for (std::size_t at = name.find("PAL"); at != std::string::npos; at = name.find("PAL", at + 1)) {
        const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
        const bool startsWord = at == 0 || !isLetter(name[at - 1]);
        const bool endsWord = at + 3 >= name.size() || !isLetter(name[at + 3]);
        if (startsWord && endsWord) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<Region> RegionFromName(std::string_view name) {
    if (name == "ntsc") {
        return Region::Ntsc;
    }
    if (name == "pal") {
        return Region::Pal;
    }
    if (name == "dendy") {
        return Region::Dendy;
    }
    return std::nullopt;
}

const char* RegionName(Region region) {
    switch (region) {
    case Region::Pal:
        return "pal";
    case Region::Dendy:
        return "dendy";
    default:
        return "ntsc";
    }
}

Region RegionOfImage(const RomImage& image, const std::string& fileName) {
    if (image.tvSystem == TvPal) {
        return Region::Pal;
    }
    if (image.tvSystem == TvDendy) {
        return Region::Dendy;
    }
    if (image.tvSystem == TvNtsc) {
        return Region::Ntsc;
    }
    if (HasPalMark(fileName)) {
        return Region::Pal;
    }
    const std::uint32_t prgCrc = ~image.prgCrc;
    if (image.prgRom && std::find(PalOnlyPrg.begin(), PalOnlyPrg.end(), prgCrc) != PalOnlyPrg.end()) {
        return Region::Pal;
    }
    return Region::Ntsc;
}

double FrameRate(Region region) {
    // NTSC: 1,789,773 cycles a second over 29,780.5 cycles a frame; PAL and Dendy: 5,320,342.5 dots a
    // second over 341 x 312 dots.
    return region == Region::Ntsc ? 1789773.0 / 29780.5 : 50.007;
}

FramePeriod ExactFramePeriod(Region region) {
    if (region == Region::Ntsc) {
        // 29,780.5 x 132 / 236,250,000 s, in lowest terms.
        return {655171, 39375000, 29780.5};
    }
    // 106,392 x 5 / 26,601,712.5 s; the PAL CPU takes 16 master clocks a cycle, the Dendy's 15.
    return {6448, 322445, region == Region::Pal ? 33247.5 : 35464.0};
}

} // namespace Halvo::Nes
