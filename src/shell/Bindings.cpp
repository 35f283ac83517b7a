#include "shell/Bindings.h"

#include <cctype>

#include "app/Keys.h"

namespace Halvo {

namespace {

struct Modifier {
    const char* prefix;
    std::uint32_t bit;
    std::uint32_t left, right; // the keys that hold it
};

constexpr Modifier Modifiers[] = {
    {"Ctrl+", Bindings::CtrlBit, App::KeyLeftCtrl, App::KeyRightCtrl},
    {"Alt+", Bindings::AltBit, App::KeyLeftAlt, App::KeyRightAlt},
    {"Shift+", Bindings::ShiftBit, App::KeyLeftShift, App::KeyRightShift},
};

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::uint32_t Bindings::ChordOfName(const std::string& name) {
    std::uint32_t modifiers = 0;
    std::string rest = name;
    for (bool found = true; found;) {
        found = false;
        for (const Modifier& modifier : Modifiers) {
            const std::string prefix = modifier.prefix;
            // "Keypad +" and the like are keys, not modifiers.
            if (rest.size() > prefix.size() && StartsWithIgnoringCase(rest, prefix)) {
                modifiers |= modifier.bit;
                rest.erase(0, prefix.size());
                found = true;
            }
        }
    }
    const std::uint32_t key = App::KeyOfName(rest);
    return key ? key | modifiers : 0;
}

std::string Bindings::NameOfChord(std::uint32_t chord) {
    std::string name;
    for (const Modifier& modifier : Modifiers) {
        if (chord & modifier.bit) {
            name += modifier.prefix;
        }
    }
    return name + App::NameOfKey(chord & 0xFFFF);
}

void Bindings::Bind(std::uint32_t chord, const std::string& line) {
    if (line.empty()) {
        lines.erase(chord);
    } else {
        lines[chord] = line;
    }
}

bool Bindings::Unbind(std::uint32_t chord) {
    return lines.erase(chord) != 0;
}

const std::string* Bindings::Find(std::uint32_t chord) const {
    const auto found = lines.find(chord);
    return found == lines.end() ? nullptr : &found->second;
}

std::string Bindings::BindLine(std::uint32_t chord, const std::string& line) {
    std::string key = NameOfChord(chord);
    if (key.find(' ') != std::string::npos) {
        key = '"' + key + '"';
    }
    // The console's literals have no escapes: a line holding a double quote is written as bare words,
    // which "bind" takes as the rest of its line.
    const bool quoted = line.find('"') == std::string::npos;
    return "bind " + key + " " + (quoted ? '"' + line + '"' : line);
}

std::uint32_t Bindings::HeldModifiers() const {
    std::uint32_t bits = 0;
    for (const Modifier& modifier : Modifiers) {
        if (held.count(modifier.left) || held.count(modifier.right)) {
            bits |= modifier.bit;
        }
    }
    return bits;
}

void Bindings::KeyDown(std::uint32_t key, bool runBinding, const Run& run) {
    if (!held.insert(key).second || !runBinding) {
        return;
    }
    const std::string* line = Find(key | HeldModifiers());
    if (!line) {
        line = Find(key);
    }
    if (!line) {
        return;
    }
    // The line may rebind this very key: run a copy.
    const std::string pressed = *line;
    if (pressed[0] == '+') {
        releaseLines[key] = '-' + pressed.substr(1);
    }
    run(pressed);
}

void Bindings::KeyUp(std::uint32_t key, const Run& run) {
    held.erase(key);
    const auto release = releaseLines.find(key);
    if (release != releaseLines.end()) {
        const std::string line = release->second;
        releaseLines.erase(release);
        run(line);
    }
}

void Bindings::ReleaseAll(const Run& run) {
    while (!held.empty()) {
        KeyUp(*held.begin(), run);
    }
}

} // namespace Halvo
