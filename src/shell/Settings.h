#pragma once

#include <filesystem>
#include <list>
#include <string>

#include "console/Function.h"
#include "shell/Bindings.h"

namespace Halvo {

// $XDG_CONFIG_HOME/halvo, or ~/.config/halvo when the variable is unset, empty or relative. Halvo runs
// config.cfg (which it writes) and then autoexec.cfg (the player's own) from there at start-up.
std::filesystem::path ConfigFolder();

// A console script that sets every variable among `functions` to its present value, then drops every
// key binding and binds again those of `bindings`. Its lines start with "@" so that running it does not
// fill the console.
std::string SettingsScript(const std::list<Ref::Ptr<Console::Function>>& functions, const Bindings& bindings);

} // namespace Halvo
