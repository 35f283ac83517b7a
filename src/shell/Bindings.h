#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace Halvo {

// Key bindings in the Quake manner: each key (App::KeyCode), alone or held with Alt, Ctrl or Shift, may
// run a console line when it is pressed. A line that starts with "+" is an action held down: it runs once
// when the key goes down (key repeats do not run it again) and the same line with "-" in place of the
// "+" runs when the key comes up, wherever the key's press went meanwhile.
class Bindings {
public:
    // Modifier bits of a chord, above the key code.
    static constexpr std::uint32_t ShiftBit = 0x10000, CtrlBit = 0x20000, AltBit = 0x40000;
    using Run = std::function<void(const std::string& line)>;

    // The chord of a name such as "F5", "keypad 4" or "Alt+Return" (names in any case); 0 when the name
    // is none of SDL's key names.
    static std::uint32_t ChordOfName(const std::string& name);
    static std::string NameOfChord(std::uint32_t chord);

    // Binds the chord to the line; an empty line unbinds it.
    void Bind(std::uint32_t chord, const std::string& line);
    // False when the chord was not bound.
    bool Unbind(std::uint32_t chord);
    void UnbindAll() { lines.clear(); }
    // The line of the chord, or null.
    const std::string* Find(std::uint32_t chord) const;
    const std::map<std::uint32_t, std::string>& All() const { return lines; }
    // One "bind" line that sets the chord's binding again when executed.
    static std::string BindLine(std::uint32_t chord, const std::string& line);

    // A key went down: unless it was already down (a repeat), runs the line of the key with the held
    // modifiers, or else of the key alone, when `runBinding` (the console is closed).
    void KeyDown(std::uint32_t key, bool runBinding, const Run& run);
    // A key came up: runs the "-" line of the action its press started, if any.
    void KeyUp(std::uint32_t key, const Run& run);
    // Every key comes up (the window lost the focus and will not see their releases).
    void ReleaseAll(const Run& run);

private:
    std::uint32_t HeldModifiers() const;

    std::map<std::uint32_t, std::string> lines;
    std::set<std::uint32_t> held;
    std::map<std::uint32_t, std::string> releaseLines; // by key: what its release runs
};

} // namespace Halvo
