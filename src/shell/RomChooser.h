#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/Bridge.h"
#include "app/FileChooser.h"
#include "console/InputContext.h"
#include "shell/FileChooserList.h"

namespace Halvo::Gfx {
class ConsoleRenderer;
class Font;
} // namespace Halvo::Gfx

namespace Halvo {

// A game one keystroke away: "loadrom" alone asks the desktop's file chooser (the XDG desktop portal)
// for a cartridge, and where the desktop has none shows a list of the folder's cartridges in the
// console instead, which the arrow keys and Enter walk. Both start in the last folder a game came from.
class RomChooser {
public:
    // `load` loads a file the player picked, as "loadrom" with its name does.
    explicit RomChooser(std::function<bool(const std::string&)> load) : load(std::move(load)) {}

    // The folder a chooser starts in: the last one a game came from or the list was left in, else the
    // folder of the newest of the `recent` games, else the current folder.
    std::string StartFolder(const std::vector<std::string>& recent) const;
    // Opens the desktop's chooser, or else the list, in `folder`.
    void Open(App::Bridge& bridge, Console::InputContext& input, const std::string& folder,
              std::ostream& out);
    // Each turn, also while the window is inactive (the desktop's chooser has the focus): what the
    // desktop's chooser answered; the list ends when the console closed.
    void Poll(Console::InputContext& input, std::ostream& out);
    // A key while the list is shown; false for keys the list leaves to the console.
    bool Key(std::uint32_t keyCode, char32_t character);
    bool Showing(const Console::InputContext& input) const { return choosing && input.visible; }
    // The list in the console's place, with the folder's name above it.
    void Draw(Gfx::Font& font, Gfx::ConsoleRenderer& renderer, const Console::InputContext& input) const;
    // A game was loaded from `file`: the next chooser starts in its folder, and any list ends.
    void Loaded(const std::string& file);
    // Closes the desktop's chooser and the list.
    void Close();

    FileChooserList list;
    bool choosing = false;
    Ref::Ptr<App::FileChooser> desktop;

private:
    void OpenList(Console::InputContext& input, const std::string& reason, std::ostream& out);

    std::function<bool(const std::string&)> load;
    std::string lastFolder;
    std::string startFolder;
    bool told = false;
};

} // namespace Halvo
