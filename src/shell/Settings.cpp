#include "shell/Settings.h"

#include <cstdlib>
#include <sstream>

#include "console/ChoiceVariable.h"
#include "console/Variable.h"

namespace Halvo {

std::filesystem::path ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    // A relative folder would depend on where Halvo was started; such a value is ignored.
    if (config && *config && std::filesystem::path(config).is_absolute()) {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : ".") / ".config";
    }
    return base / "halvo";
}

std::string SettingsScript(const std::list<Ref::Ptr<Console::Function>>& functions,
                           const Bindings& bindings) {
    std::ostringstream script;
    script << "# Written by Halvo at exit and by \"writeconfig\": changes made here are lost. Put lines of "
              "your own in autoexec.cfg.\n";
    for (const auto& function : functions) {
        if (const auto* flag = dynamic_cast<const Console::Variable<bool>*>(function.Get())) {
            script << '@' << flag->name << " = " << (flag->value ? "true" : "false") << '\n';
        } else if (const auto* number =
                       dynamic_cast<const Console::Variable<unsigned int>*>(function.Get())) {
            script << '@' << number->name << " = " << number->value << '\n';
        } else if (const auto* choice = dynamic_cast<const Console::ChoiceVariable*>(function.Get())) {
            script << '@' << choice->name << " = " << choice->value << '\n';
        }
    }
    script << "@unbindall\n";
    for (const auto& [chord, line] : bindings.All()) {
        script << '@' << Bindings::BindLine(chord, line) << '\n';
    }
    return script.str();
}

} // namespace Halvo
