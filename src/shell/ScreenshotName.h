#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace Halvo {

// Screenshots taken without a name are numbered halvo-0000.png to halvo-9999.png. Gives the first of
// those names that `taken` does not claim, or an empty string when every one is taken (an existing
// picture is never overwritten).
std::string FirstFreeScreenshotName(const std::function<bool(const std::string&)>& taken);

// The first numbered name that no file in `folder` has (the current folder when empty), with the folder.
std::string FirstFreeScreenshotName(const std::filesystem::path& folder = {});

// The pictures folder that `userDirs` (the text of $XDG_CONFIG_HOME/user-dirs.dirs) names as
// XDG_PICTURES_DIR, "$HOME" in it standing for `home`; empty when it names none, or names the home
// folder itself (which, for xdg-user-dirs, turns the folder off).
std::filesystem::path PicturesFolderOf(const std::string& userDirs, const std::filesystem::path& home);

// The desktop's pictures folder: $XDG_PICTURES_DIR, else the one user-dirs.dirs names, else
// ~/Pictures; empty without a home folder.
std::filesystem::path PicturesFolder();

} // namespace Halvo
