#include "console/InputContext.h"

#include <algorithm>

#include "console/ConsoleKey.h"

namespace Halvo::Console {

void InputContext::OnKey(std::uint32_t keyCode, char character) {
    if (keyCode == ToggleKey) {
        // A second press while the console still slides is ignored.
        if (slideSpeed == 0.0f) {
            visible = !visible;
            slideSpeed = visible ? SlideSpeed : -SlideSpeed;
        }
        return;
    }
    if (!visible || keyCode > DownKey) {
        return;
    }
    switch (keyCode) {
    case TypedCharacter:
        if (insertMode || cursor >= line.size()) {
            line.insert(cursor, 1, character);
        } else {
            line[cursor] = character;
        }
        ++cursor;
        break;
    case BackspaceKey:
        if (cursor > 0) {
            --cursor;
            if (cursor < line.size()) {
                line.erase(cursor, 1);
            }
        }
        break;
    case EnterKey:
        if (!line.empty()) {
            console->Execute(line);
            line.clear();
            cursor = 0;
        }
        break;
    case InsertKey:
        insertMode = !insertMode;
        break;
    case DeleteKey:
        if (cursor < line.size()) {
            line.erase(cursor, 1);
        }
        break;
    case HomeKey:
        cursor = 0;
        break;
    case EndKey:
        cursor = static_cast<std::uint32_t>(line.size());
        break;
    case LeftKey:
        cursor = cursor > 0 ? cursor - 1 : 0;
        break;
    case RightKey:
        cursor = std::min<std::uint32_t>(cursor + 1, static_cast<std::uint32_t>(line.size()));
        break;
    case UpKey:
    case DownKey: {
        const auto newest = static_cast<std::int32_t>(console->history.size()) - 1;
        historyIndex = keyCode == UpKey ? std::min(historyIndex + 1, newest) : std::max(historyIndex - 1, -1);
        if (historyIndex != -1) {
            console->GetHistoryLine(static_cast<std::uint32_t>(historyIndex), line);
        } else if (keyCode == DownKey) {
            line.clear();
        }
        cursor = static_cast<std::uint32_t>(line.size());
        return; // the history walk keeps its place
    }
    default:
        return; // Escape, Tab, Page Up and Page Down change nothing here
    }
    historyIndex = -1;
}

void InputContext::Update(float elapsed) {
    if (slideSpeed != 0.0f) {
        openness += elapsed * slideSpeed;
        if (openness > 1.0f) {
            openness = 1.0f;
            slideSpeed = 0.0f;
        } else if (openness < 0.0f) {
            openness = 0.0f;
            slideSpeed = 0.0f;
        }
    }
    blinkTime += elapsed;
    if (blinkTime >= BlinkPeriod) {
        blinkTime = 0.0f;
        cursorShown = !cursorShown;
    }
}

} // namespace Halvo::Console
