#pragma once

#include <cstdint>
#include <string>

#include "console/System.h"
#include "ref/Object.h"

namespace Halvo::Console {

// The keyboard side of the console: the line being typed, its cursor and insert mode, the walk through
// the history, and the slide and blink animations the console drawing reads.
class InputContext : public Ref::Object {
public:
    static constexpr float SlideSpeed = 3.0f;       // openness per second
    static constexpr float BlinkPeriod = 0.4f;      // seconds per cursor phase
    static constexpr std::uint32_t ScrollStep = 10; // output lines per Page Up or Page Down

    explicit InputContext(System* console) : console(console) {}

    // One key event; the character (a Unicode code point) matters for TypedCharacter only.
    void OnKey(std::uint32_t keyCode, char32_t character);
    // Advances the slide and the cursor blink by the elapsed seconds.
    void Update(float elapsed);

    Ref::Ptr<System> console;
    bool visible = false;    // open or opening; takes keys
    float openness = 0.0f;   // 0 closed, 1 fully open
    float slideSpeed = 0.0f; // +3 opening, -3 closing, 0 at rest
    bool insertMode = true;
    std::uint32_t cursor = 0; // in characters, 0 to the line's length in characters
    bool cursorShown = false;
    float blinkTime = 0.0f;
    std::int32_t historyIndex = -1; // -1: the user's own line
    std::string line;               // UTF-8
    // How many of the newest output lines Page Up has scrolled past (Page Down and Enter come back).
    std::uint32_t scrollBack = 0;
    // The last key was Tab: a second Tab lists what the line could become.
    bool tabbed = false;
};

} // namespace Halvo::Console
