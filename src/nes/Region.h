#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Halvo::Nes {

struct RomImage;

// The three consoles whose timings differ: the NTSC NES and Famicom (262 lines, 60 frames a second),
// the PAL NES (312 lines, 50 frames, its own sound rates) and the Dendy and other PAL famiclones (312
// lines at PAL's frame rate, but vertical blank begins after 51 post-render lines, so that the 20 lines
// after the NMI match NTSC, and the sound unit keeps NTSC's rates).
enum class Region : std::uint8_t { Ntsc, Pal, Dendy };

// "ntsc", "pal" or "dendy"; nothing for "auto" or any other word.
std::optional<Region> RegionFromName(std::string_view name);
const char* RegionName(Region region);

// The region an image was made for: the timing its header gives (NES 2.0, then the old iNES PAL bit),
// then a "(E)", "(Europe)" or "PAL" mark in its file name, then the few PAL-only programs known by their
// PRG-ROM checksum; NTSC otherwise.
Region RegionOfImage(const RomImage& image, const std::string& fileName);

// The console's frame rate in that region.
double FrameRate(Region region);

// The length of one frame exactly, as a fraction of a second, from the console's crystal: NTSC's CPU
// clock of 236,250,000 / 132 Hz over 29,780.5 cycles, PAL's and the Dendy's 26,601,712.5 / 5 Hz dots over
// 341 x 312 of them. `cpuCycles` is the frame's length in CPU cycles (on average, for NTSC and PAL).
struct FramePeriod {
    std::int64_t numerator;
    std::int64_t denominator;
    double cpuCycles;
};
FramePeriod ExactFramePeriod(Region region);

} // namespace Halvo::Nes
