#pragma once

#include <cstdint>
#include <string_view>

namespace Halvo::Nes::NsfScreen {

// The NSF player's screen: a 5 x 7 font of capitals, digits and some punctuation in the pattern table
// at $0000 (tile number = character code), two tiles of a progress bar, and text written straight into
// the first name table. Colours: black backdrop, white text, grey bar.
constexpr std::uint8_t Blank = 0x20;
constexpr std::uint8_t Full = 0x80;
constexpr std::uint8_t Empty = 0x81;
constexpr std::uint8_t Palette[4] = {0x0F, 0x30, 0x10, 0x00};

// Fills the first 4 KiB of CHR memory with the tiles.
void LoadFont(std::uint8_t* chr);
// Writes `text` from column `column` of row `row` of a 32 x 30 name table, capitals for small letters,
// a blank for characters the font lacks, cut at the screen's edge.
void Print(std::uint8_t* nameTable, std::uint32_t column, std::uint32_t row, std::string_view text);

} // namespace Halvo::Nes::NsfScreen
