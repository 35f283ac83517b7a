#include "shell/OnScreenMessages.h"

#include <algorithm>

#include "console/System.h"

namespace Halvo {

namespace {
// The last half second fades the line out.
constexpr float FadeSeconds = 0.5f;
} // namespace

void OnScreenMessages::Collect(const Console::System& console, bool consoleVisible) {
    const std::uint64_t made = console.LinesMade();
    // What was written before the first look (the start-up's lines) is the console's alone.
    const std::uint64_t fresh = started ? made - linesSeen : 0;
    started = true;
    linesSeen = made;
    if (consoleVisible || fresh == 0) {
        return;
    }
    // The console keeps only so many lines, newest first: the fresh ones are at the front.
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(fresh, MaxLines));
    for (std::size_t i = std::min(count, console.lines.size()); i-- > 0;) {
        const Console::ConsoleLine& line = console.lines[i];
        if (line.text.empty()) {
            continue;
        }
        messages.push_back({Gfx::ShownMessage{line.text, line.isError != 0, 1.0f}, 0.0f});
        if (messages.size() > MaxLines) {
            messages.pop_front();
        }
    }
}

void OnScreenMessages::Update(float elapsed) {
    for (Message& message : messages) {
        message.age += elapsed;
        message.shown.opacity = std::clamp((Seconds - message.age) / FadeSeconds, 0.0f, 1.0f);
    }
    while (!messages.empty() && messages.front().age >= Seconds) {
        messages.pop_front();
    }
}

std::vector<Gfx::ShownMessage> OnScreenMessages::Lines() const {
    std::vector<Gfx::ShownMessage> shown;
    if (enabled.value) {
        for (const Message& message : messages) {
            shown.push_back(message.shown);
        }
    }
    return shown;
}

} // namespace Halvo
