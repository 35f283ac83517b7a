#include "shell/RomChooser.h"

#include <deque>
#include <filesystem>

#include "console/ConsoleKey.h"
#include "console/System.h"
#include "gfx/ConsoleDrawing.h"
#include "gfx/ConsoleRenderer.h"
#include "gfx/Font.h"

namespace Halvo {

std::string RomChooser::StartFolder(const std::vector<std::string>& recent) const {
    std::error_code error;
    if (!lastFolder.empty() && std::filesystem::is_directory(lastFolder, error)) {
        return lastFolder;
    }
    if (!recent.empty()) {
        const std::filesystem::path folder = std::filesystem::path(recent.front()).parent_path();
        if (std::filesystem::is_directory(folder, error)) {
            return folder.string();
        }
    }
    return std::filesystem::current_path(error).string();
}

void RomChooser::Open(App::Bridge& bridge, Console::InputContext& input, const std::string& folder,
                      std::ostream& out) {
    if (desktop) {
        out << "The desktop's file chooser is open already." << std::endl;
        return;
    }
    startFolder = folder;
    std::string reason;
    desktop = bridge.OpenFileChooser("Load a NES cartridge", folder, reason);
    if (desktop) {
        told = false;
        return;
    }
    OpenList(input, reason, out);
}

void RomChooser::OpenList(Console::InputContext& input, const std::string& reason, std::ostream& out) {
    out << "No desktop file chooser (" << reason
        << "): choose in the console. Up and Down walk the list, Enter opens, Backspace goes up a folder, "
           "` closes."
        << std::endl;
    if (list.Open(startFolder) == FileChooserList::Outcome::Failed) {
        Console::ReportError("Halvo::RomChooser::OpenList", __LINE__) << list.error << std::endl;
        return;
    }
    choosing = true;
    if (!input.visible) {
        input.visible = true;
        input.slideSpeed = input.openness < 1.0f ? Console::InputContext::SlideSpeed : 0.0f;
    }
}

void RomChooser::Poll(Console::InputContext& input, std::ostream& out) {
    if (choosing && !input.visible) {
        choosing = false;
        lastFolder = list.folder.string();
    }
    if (!desktop) {
        return;
    }
    switch (desktop->Poll()) {
    case App::FileChooser::State::Waiting:
        // Said once the desktop took the request: a desktop without a portal says no at once.
        if (desktop->accepted && !told) {
            told = true;
            out << "Choose a cartridge in the desktop's file chooser." << std::endl;
        }
        break;
    case App::FileChooser::State::Chosen: {
        const std::string file = desktop->file;
        desktop = nullptr;
        load(file);
        break;
    }
    case App::FileChooser::State::Cancelled:
        desktop = nullptr;
        out << "No cartridge chosen." << std::endl;
        break;
    case App::FileChooser::State::Failed: {
        const std::string reason = desktop->error;
        desktop = nullptr;
        OpenList(input, reason, out);
        break;
    }
    }
}

bool RomChooser::Key(std::uint32_t keyCode, char32_t character) {
    FileChooserList::Outcome outcome = FileChooserList::Outcome::Walked;
    switch (keyCode) {
    case Console::UpKey:
        list.Move(-1);
        break;
    case Console::DownKey:
        list.Move(1);
        break;
    case Console::PageUpKey:
        list.Move(-static_cast<std::int32_t>(Console::InputContext::ScrollStep));
        break;
    case Console::PageDownKey:
        list.Move(static_cast<std::int32_t>(Console::InputContext::ScrollStep));
        break;
    case Console::HomeKey:
        list.First();
        break;
    case Console::EndKey:
        list.Last();
        break;
    case Console::BackspaceKey:
        outcome = list.Up();
        break;
    case Console::EnterKey:
        outcome = list.Choose();
        break;
    case Console::TypedCharacter:
        list.Seek(character);
        break;
    default:
        // The console key closes the list with the console; Escape quits.
        choosing = false;
        lastFolder = list.folder.string();
        return false;
    }
    if (outcome == FileChooserList::Outcome::Failed) {
        Console::ReportError("Halvo::RomChooser::Key", __LINE__) << list.error << std::endl;
    } else if (outcome == FileChooserList::Outcome::Picked) {
        // A file that does not load ends the list, so that the console shows why.
        choosing = false;
        lastFolder = list.folder.string();
        load(list.picked);
    }
    return true;
}

void RomChooser::Draw(Gfx::Font& font, Gfx::ConsoleRenderer& renderer,
                      const Console::InputContext& input) const {
    std::uint32_t screenWidth = 0;
    std::uint32_t screenHeight = 0;
    renderer.GetScreenSize(screenWidth, screenHeight);
    const std::uint32_t rows = Gfx::ConsoleRows(font, screenHeight);
    // Newest first: the bottom row first, the folder's name on top.
    std::deque<Console::ConsoleLine> lines;
    const std::vector<std::string> shown = list.Window(rows > 1 ? rows - 1 : 1);
    for (auto line = shown.rbegin(); line != shown.rend(); ++line) {
        lines.push_back({*line, 0});
    }
    const bool none = list.entries.empty() || (list.entries.size() == 1 && list.entries[0].name == "../");
    lines.push_back({"Cartridges in " + list.folder.string() + (none ? " (none here)" : "") + ":", 0});
    Gfx::DrawConsoleLines(font, renderer, input, lines,
                          "Up/Down: walk  Enter: open  Backspace: folder up  `: close");
}

void RomChooser::Loaded(const std::string& file) {
    std::error_code error;
    lastFolder = std::filesystem::absolute(file, error).parent_path().string();
    choosing = false;
}

void RomChooser::Close() {
    desktop = nullptr;
    choosing = false;
}

} // namespace Halvo
