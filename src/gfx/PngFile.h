#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Halvo::Gfx {

// Writes an 8-bit RGB picture (rows top to bottom, 3 bytes a pixel) as a PNG file. False when the file
// cannot be written.
bool WritePng(const std::string& fileName, std::uint32_t width, std::uint32_t height,
              const std::vector<std::uint8_t>& rgb);

} // namespace Halvo::Gfx
