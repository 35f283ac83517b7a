#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Halvo {

// The battery-backed work RAM of a cartridge ($6000-$7FFF, or all the banks of a board with more), kept in a
// file so that a game's saves outlive the program. The file is read before the machine first runs and written
// atomically (a temporary file in the same folder, flushed, then renamed over the old one), so that a crash
// during a write leaves the old save or the new one, never a broken one. A file of the wrong size is not
// loaded and not overwritten: it is renamed to ".sav.bad". Failures are reported on the console once, and the
// game goes on.
class BatterySave {
public:
    // The RAM of most boards: 8 KiB at $6000-$7FFF.
    static constexpr std::size_t DefaultSize = 8192;
    // Where $6000 lies in the board's work RAM, which starts at $5000.
    static constexpr std::size_t RamOffset = 0x1000;

    // $XDG_DATA_HOME/halvo/saves, or ~/.local/share/halvo/saves when the variable is unset, empty or
    // relative.
    static std::filesystem::path DefaultFolder();

    // The save of the image file `imageFile` (its name without extension, then `extension`) in `folder`,
    // for the `size` bytes of RAM at `ram`.
    BatterySave(const std::filesystem::path& folder, const std::string& imageFile, std::uint8_t* ram,
                std::size_t size = DefaultSize, const std::string& extension = ".sav");

    // Reads the file into the RAM; a missing file leaves the RAM as it is.
    void Load();
    // Writes the RAM when it differs from what was last read or written; false when that failed.
    bool Save();
    // Called each turn of the main loop with the time in seconds. At most once a second it looks at the
    // RAM; a change is written once the RAM has stayed the same for a second, and at the latest about 4
    // seconds after it was first seen, so that a crash loses seconds of play at most.
    void Poll(double now);

    const std::filesystem::path path;

private:
    // The first failure of a run of failures, as an error report of that operation and line.
    void Report(const char* operation, int line, const std::string& message);

    std::uint8_t* ram;
    std::vector<std::uint8_t> written; // what the file holds
    std::vector<std::uint8_t> seen;    // the RAM at the last look
    double lastLook = -1;
    double dirtySince = -1;
    bool reported = false;
    bool keep = true; // false when the file on disk must not be replaced
};

} // namespace Halvo
