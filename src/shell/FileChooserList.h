#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Halvo {

// The console's own file chooser, for desktops without a file chooser portal: the folders and the
// cartridge files of one folder as a list that the arrow keys walk and Enter opens. Folders come first
// (ending in "/", ".." leading the way up), then the files Halvo can load; hidden entries stay out.
class FileChooserList {
public:
    struct Entry {
        std::string name; // folders end in "/"
        bool folder = false;
    };
    enum class Outcome {
        Walked, // the selection moved, or a folder opened
        Picked, // a file was chosen: `picked` names it
        Failed, // the folder could not be read: `error` says why, the list stays as it was
    };

    // Whether a file of this name is one Halvo loads (by its extension, in any case).
    static bool IsCartridgeName(const std::string& name);

    // Lists `folder` with the first entry selected; `select`, when it is one of the entries' names,
    // is selected instead.
    Outcome Open(const std::filesystem::path& folder, const std::string& select = {});
    // Moves the selection by `rows` (negative upwards), stopping at either end.
    void Move(std::int32_t rows);
    void First() { selected = 0; }
    void Last() { selected = entries.empty() ? 0 : entries.size() - 1; }
    // The next entry after the selection whose name begins with the character (in any case), round
    // to the top.
    void Seek(char32_t character);
    // Enter: opens the selected folder, or picks the selected file.
    Outcome Choose();
    // The folder above, with the folder it came from selected.
    Outcome Up();

    // The entries around the selection that fit `rows` rows, top first, the selection marked "> ".
    std::vector<std::string> Window(std::size_t rows) const;

    std::filesystem::path folder;
    std::vector<Entry> entries;
    std::size_t selected = 0;
    std::string picked;
    std::string error;
};

} // namespace Halvo
