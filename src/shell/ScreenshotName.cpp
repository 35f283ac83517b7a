#include "shell/ScreenshotName.h"

#include <cstdio>
#include <filesystem>

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

std::string FirstFreeScreenshotName() {
    return FirstFreeScreenshotName([](const std::string& name) {
        std::error_code error;
        // Anything under the name holds it, a dangling link too; a name that cannot even be looked at
        // counts as taken, so nothing is overwritten on a guess.
        return std::filesystem::symlink_status(name, error).type() != std::filesystem::file_type::not_found;
    });
}

} // namespace Halvo
