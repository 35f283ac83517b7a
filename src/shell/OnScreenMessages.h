#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "console/Function.h"
#include "console/Variable.h"
#include "gfx/MessageDrawing.h"

namespace Halvo {

namespace Console {
class System;
}

// Word of what happens while the console is closed: every line the console writes then (a state
// saved or loaded, a slot that is empty, a screenshot, a gamepad, an error) is shown over the picture
// for a few seconds, and the modes the game runs in (paused, fast forward, rewinding) are shown for as
// long as they last. Variable "osd" turns both off; the console keeps every line either way.
class OnScreenMessages {
public:
    static constexpr float Seconds = 3.0f;
    // Older lines make room for newer ones beyond this.
    static constexpr std::size_t MaxLines = 4;

    std::vector<Console::Function*> Functions() { return {&enabled}; }

    // Takes the lines the console made since the last call; they are shown only if the console is
    // closed (an open console shows them itself).
    void Collect(const Console::System& console, bool consoleVisible);
    // Ages the lines by the seconds elapsed and drops those whose time is up.
    void Update(float elapsed);
    // The modes shown in the top corner; an empty text shows none.
    void SetStatus(std::string text) { status = std::move(text); }

    // What is on screen now: nothing while "osd" is off.
    std::vector<Gfx::ShownMessage> Lines() const;
    const std::string& Status() const { return enabled.value ? status : none; }

    Console::Variable<bool> enabled{"osd", true};

private:
    struct Message {
        Gfx::ShownMessage shown;
        float age = 0.0f;
    };
    std::deque<Message> messages;
    std::uint64_t linesSeen = 0;
    bool started = false;
    std::string status;
    const std::string none;
};

} // namespace Halvo
