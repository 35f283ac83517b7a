#pragma once

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

} // namespace Halvo::Gfx
