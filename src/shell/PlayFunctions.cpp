#include "shell/PlayFunctions.h"

#include "app/Keys.h"
#include "console/ReadToken.h"
#include "shell/HalvoShell.h"
#include "shell/Settings.h"

namespace Halvo {

namespace {

// Reads a key name (quoted when it has a blank) and gives its chord; false with a message when the name
// is missing or no key's.
bool ReadKey(std::istream& arguments, std::ostream& out, std::uint32_t& chord, bool& named) {
    std::string name;
    named = Console::ReadToken(arguments, name) != Console::NoToken;
    if (!named) {
        return false;
    }
    chord = Bindings::ChordOfName(name);
    if (!chord) {
        out << '"' << name << "\" is not a key name; the README lists them." << std::endl;
        return false;
    }
    const std::uint32_t key = chord & 0xFFFF;
    if (key == App::KeyEscape || key == App::KeyGrave) {
        out << "Escape and ` keep their roles (quit, console) and cannot be bound." << std::endl;
        return false;
    }
    return true;
}

} // namespace

bool ShellAction::Execute(std::istream&, std::ostream&) {
    effect();
    return true;
}

void ShellAction::PrintUsage(std::ostream& out) {
    out << usage << "\nusage: " << name << std::endl;
}

bool BindFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::uint32_t chord = 0;
    bool named = false;
    if (!ReadKey(arguments, out, chord, named)) {
        if (!named) {
            for (const auto& [bound, line] : shell->bindings.All()) {
                out << Bindings::BindLine(bound, line) << '\n';
            }
            out << std::flush;
        }
        return true;
    }
    std::string line;
    const int read = Console::ReadToken(arguments, line);
    std::string rest;
    std::getline(arguments, rest);
    if (read == Console::NoToken) {
        const std::string* bound = shell->bindings.Find(chord);
        out << (bound ? Bindings::BindLine(chord, *bound) : Bindings::NameOfChord(chord) + " is not bound.")
            << std::endl;
        return true;
    }
    if (read == Console::QuotedLiteral) {
        // Nothing may follow the quoted line.
        if (rest.find_first_not_of(" \t\r") != std::string::npos) {
            return false;
        }
    } else {
        // Bare words: the line is the rest of the line, as typed.
        line += rest;
        line.erase(line.find_last_not_of(" \t\r") + 1);
    }
    shell->bindings.Bind(chord, line);
    return true;
}

void BindFunction::PrintUsage(std::ostream& out) {
    out << "Binds a key to a console line, run when the key is pressed; a line starting with + runs again "
           "with - when the key is released. Alone, lists the bindings.\n"
        << "usage: bind [<key> [\"<console line>\"]]" << std::endl;
}

bool UnbindFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::uint32_t chord = 0;
    bool named = false;
    if (!ReadKey(arguments, out, chord, named)) {
        return named;
    }
    if (!shell->bindings.Unbind(chord)) {
        out << Bindings::NameOfChord(chord) << " is not bound." << std::endl;
    }
    return true;
}

void UnbindFunction::PrintUsage(std::ostream& out) {
    out << "Drops the binding of a key.\n"
        << "usage: unbind <key>" << std::endl;
}

bool WriteConfigFunction::Execute(std::istream&, std::ostream& out) {
    if (shell->WriteConfig()) {
        out << "Settings written to " << (ConfigFolder() / "config.cfg").string() << std::endl;
    }
    return true;
}

void WriteConfigFunction::PrintUsage(std::ostream& out) {
    out << "Writes the variables and key bindings to config.cfg, which Halvo runs at start-up (it also "
           "writes it at exit).\n"
        << "usage: writeconfig" << std::endl;
}

} // namespace Halvo
