#pragma once

#include <functional>
#include <string>

namespace Halvo {

// Screenshots taken without a name are numbered halvo-0000.png to halvo-9999.png. Gives the first of
// those names that `taken` does not claim, or an empty string when every one is taken (an existing
// picture is never overwritten).
std::string FirstFreeScreenshotName(const std::function<bool(const std::string&)>& taken);

// The first numbered name that no file in the current folder has.
std::string FirstFreeScreenshotName();

} // namespace Halvo
