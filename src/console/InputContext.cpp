#include "console/InputContext.h"

#include <algorithm>

#include "console/Completion.h"
#include "console/ConsoleKey.h"
#include "console/Utf8.h"

namespace Halvo::Console {

void InputContext::OnKey(std::uint32_t keyCode, char32_t character) {
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
    const bool secondTab = tabbed && keyCode == TabKey;
    tabbed = keyCode == TabKey;
    // The line is UTF-8 and the cursor counts characters: every edit takes whole characters.
    const std::uint32_t length = Utf8Length(line);
    const auto eraseAtCursor = [&] {
        const std::size_t at = Utf8Offset(line, cursor);
        line.erase(at, Utf8Offset(line, cursor + 1) - at);
    };
    switch (keyCode) {
    case TypedCharacter:
        if (!insertMode && cursor < length) {
            eraseAtCursor();
        }
        line.insert(Utf8Offset(line, cursor), EncodeUtf8(character));
        ++cursor;
        break;
    case BackspaceKey:
        if (cursor > 0) {
            --cursor;
            if (cursor < length) {
                eraseAtCursor();
            }
        }
        break;
    case EnterKey:
        if (!line.empty()) {
            scrollBack = 0;
            console->Execute(line);
            line.clear();
            cursor = 0;
        }
        break;
    case TabKey: {
        const Completion completion = Complete(*console, line);
        if (completion.line != line) {
            line = completion.line;
            cursor = Utf8Length(line);
            break;
        }
        if (secondTab && completion.candidates.size() > 1) {
            std::string listed;
            for (const std::string& candidate : completion.candidates) {
                listed += (listed.empty() ? "" : "  ") + candidate;
            }
            scrollBack = 0;
            console->Output() << listed << std::endl;
        }
        return; // nothing to add: a walk through the history stays where it is
    }
    case PageUpKey:
        scrollBack = std::min<std::uint32_t>(
            scrollBack + ScrollStep,
            console->lines.empty() ? 0 : static_cast<std::uint32_t>(console->lines.size() - 1));
        return;
    case PageDownKey:
        scrollBack = scrollBack > ScrollStep ? scrollBack - ScrollStep : 0;
        return;
    case InsertKey:
        insertMode = !insertMode;
        break;
    case DeleteKey:
        if (cursor < length) {
            eraseAtCursor();
        }
        break;
    case HomeKey:
        cursor = 0;
        break;
    case EndKey:
        cursor = length;
        break;
    case LeftKey:
        cursor = cursor > 0 ? cursor - 1 : 0;
        break;
    case RightKey:
        cursor = std::min(cursor + 1, length);
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
        cursor = Utf8Length(line);
        return; // the history walk keeps its place
    }
    default:
        return; // Escape changes nothing here
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
