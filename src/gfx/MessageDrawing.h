#pragma once

#include <string>
#include <vector>

namespace Halvo::Gfx {

class ConsoleRenderer;
class Font;

// One line of the on-screen messages.
struct ShownMessage {
    std::string text;
    bool error = false;
    float opacity = 1.0f; // 1 shown fully, fading to 0
};

// Draws the messages over the picture with the console's font, oldest first, upwards from the bottom
// left corner, each on a dark band that keeps it readable over any picture, and the status text (the
// modes the game runs in) in the top right corner.
void DrawMessages(Font& font, ConsoleRenderer& renderer, const std::vector<ShownMessage>& messages,
                  const std::string& status);

} // namespace Halvo::Gfx
