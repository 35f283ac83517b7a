#include "shell/BatterySave.h"

#include <cstdlib>
#include <cstring>
#include <system_error>

#include "console/RegularFile.h"
#include "console/System.h"
#include "shell/AtomicFile.h"

namespace Halvo {

namespace {

constexpr double LookInterval = 1.0;
constexpr double LongestDelay = 4.0;

} // namespace

std::filesystem::path BatterySave::DefaultFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    // A relative folder would depend on where Halvo was started; such a value is ignored.
    if (data && *data && std::filesystem::path(data).is_absolute()) {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : ".") / ".local" / "share";
    }
    return base / "halvo" / "saves";
}

BatterySave::BatterySave(const std::filesystem::path& folder, const std::string& imageFile, std::uint8_t* ram,
                         std::size_t size, const std::string& extension)
    : path(folder / (std::filesystem::path(imageFile).stem().string() + extension)), ram(ram),
      written(ram, ram + size), seen(written) {}

void BatterySave::Load() {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return;
    }
    const auto size = std::filesystem::is_regular_file(status) ? std::filesystem::file_size(path, error) : 0;
    if (!std::filesystem::is_regular_file(status) || error || size != written.size()) {
        // Kept for the player to look at: the first free name of .sav.bad, .sav.bad2, ...
        std::filesystem::path aside = path.string() + ".bad";
        for (int n = 2; std::filesystem::exists(aside, error); ++n) {
            aside = path.string() + ".bad" + std::to_string(n);
        }
        std::filesystem::rename(path, aside, error);
        Console::System::Instance()->Output()
            << "The save " << path.string() << " is not a " << written.size() << "-byte save; it was "
            << (error ? "left as it is" : "renamed to " + aside.string())
            << " and the game starts with fresh RAM." << std::endl;
        // A file that could not be moved aside is not overwritten either: this game's RAM is not kept.
        keep = !error;
        return;
    }
    std::string contents;
    std::string reason;
    if (Console::ReadRegularFile(path, written.size(), contents, reason) != Console::FileRefusal::None ||
        contents.size() != written.size()) {
        Report("Halvo::BatterySave::Load", __LINE__, "Could not read the save " + path.string() + ".");
        keep = false;
        return;
    }
    std::memcpy(ram, contents.data(), contents.size());
    std::memcpy(written.data(), contents.data(), contents.size());
    seen = written;
}

bool BatterySave::Save() {
    if (!keep || std::memcmp(ram, written.data(), written.size()) == 0) {
        return keep;
    }
    std::error_code folderError;
    std::filesystem::create_directories(path.parent_path(), folderError);
    std::string error = folderError ? folderError.message() : std::string();
    if (folderError || !WriteFileAtomically(path, ram, written.size(), error)) {
        Report("Halvo::BatterySave::Save", __LINE__,
               "Could not write the save " + path.string() + ": " + error + ".");
        return false;
    }
    std::memcpy(written.data(), ram, written.size());
    dirtySince = -1;
    reported = false;
    return true;
}

void BatterySave::Poll(double now) {
    if (lastLook >= 0 && now - lastLook < LookInterval) {
        return;
    }
    lastLook = now;
    const bool moving = std::memcmp(ram, seen.data(), seen.size()) != 0;
    if (moving) {
        std::memcpy(seen.data(), ram, seen.size());
    }
    if (std::memcmp(seen.data(), written.data(), seen.size()) == 0) {
        dirtySince = -1;
        return;
    }
    if (dirtySince < 0) {
        dirtySince = now;
    }
    if (!moving || now - dirtySince >= LongestDelay) {
        Save();
    }
}

void BatterySave::Report(const char* operation, int line, const std::string& message) {
    if (!reported) {
        reported = true;
        Console::ReportError(operation, line) << message << std::endl;
    }
}

} // namespace Halvo
