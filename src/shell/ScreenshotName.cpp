#include "shell/ScreenshotName.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace Halvo {

std::string FirstFreeScreenshotName(const std::function<bool(const std::string&)>& taken) {
    for (int number = 0; number <= 9999; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "halvo-%04d.png", number);
        if (!taken(name)) {
            return name;
        }
    }
    return {};
}

std::string FirstFreeScreenshotName(const std::filesystem::path& folder) {
    const std::string name = FirstFreeScreenshotName([&folder](const std::string& name) {
        std::error_code error;
        // Anything under the name holds it, a dangling link too; a name that cannot even be looked at
        // counts as taken, so nothing is overwritten on a guess.
        return std::filesystem::symlink_status(folder / name, error).type() !=
               std::filesystem::file_type::not_found;
    });
    return name.empty() || folder.empty() ? name : (folder / name).string();
}

std::filesystem::path PicturesFolderOf(const std::string& userDirs, const std::filesystem::path& home) {
    std::istringstream lines(userDirs);
    std::filesystem::path found;
    for (std::string line; std::getline(lines, line);) {
        constexpr std::string_view key = "XDG_PICTURES_DIR=\"";
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0) {
            continue;
        }
        const std::size_t end = line.rfind('"');
        if (end <= start + key.size() - 1) {
            continue;
        }
        std::string value = line.substr(start + key.size(), end - start - key.size());
        // The file's values are "$HOME/..." or absolute paths; the last assignment counts.
        if (value.compare(0, 5, "$HOME") == 0) {
            const std::string rest = value.substr(5);
            found =
                rest.empty() || rest == "/" ? std::filesystem::path() : home / rest.substr(rest[0] == '/');
        } else if (!value.empty() && value[0] == '/') {
            found = value;
        } else {
            found.clear();
        }
    }
    return found.lexically_normal();
}

std::filesystem::path PicturesFolder() {
    if (const char* pictures = std::getenv("XDG_PICTURES_DIR"); pictures && pictures[0] == '/') {
        return pictures;
    }
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        return {};
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path configHome =
        config && config[0] == '/' ? std::filesystem::path(config) : std::filesystem::path(home) / ".config";
    std::ifstream file(configHome / "user-dirs.dirs");
    std::ostringstream text;
    text << file.rdbuf();
    const std::filesystem::path named = PicturesFolderOf(text.str(), home);
    return named.empty() ? std::filesystem::path(home) / "Pictures" : named;
}

} // namespace Halvo
