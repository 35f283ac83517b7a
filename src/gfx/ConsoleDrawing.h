#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "console/OutputStream.h"

namespace Halvo::Console {
class InputContext;
class System;
} // namespace Halvo::Console

namespace Halvo::Gfx {

class ConsoleRenderer;
class Font;

// Draws the console over the picture: its background sliding down from the top, the output lines
// newest at the bottom, the input line and the cursor.
void DrawConsole(Font& font, ConsoleRenderer& renderer, const Console::InputContext& input,
                 const Console::System& console);

// The console as it slides with `input`, showing other lines (newest first) and another input line,
// without a cursor: for a list that takes the console's place for a while.
void DrawConsoleLines(Font& font, ConsoleRenderer& renderer, const Console::InputContext& input,
                      const std::deque<Console::ConsoleLine>& lines, const std::string& inputLine);

// How many rows of output the fully open console shows on a screen `screenHeight` pixels high.
std::uint32_t ConsoleRows(const Font& font, std::uint32_t screenHeight);

} // namespace Halvo::Gfx
