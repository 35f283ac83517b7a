#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Halvo::App {

// The keys the window hands to the shell for key bindings, by code: Windows' virtual-key numbers where
// Windows has one (letters and digits are their ASCII capitals), and 0x100 + the virtual key for keys
// Windows only tells apart by an "extended" flag (the keypad's Enter).
enum KeyCode : std::uint32_t {
    KeyBackspace = 0x08,
    KeyTab = 0x09,
    KeyReturn = 0x0D,
    KeyPause = 0x13,
    KeyEscape = 0x1B,
    KeySpace = 0x20,
    KeyLeft = 0x25,
    KeyUp = 0x26,
    KeyRight = 0x27,
    KeyDown = 0x28,
    KeyF1 = 0x70,
    KeyLeftShift = 0xA0,
    KeyRightShift = 0xA1,
    KeyLeftCtrl = 0xA2,
    KeyRightCtrl = 0xA3,
    KeyLeftAlt = 0xA4,
    KeyRightAlt = 0xA5,
    KeyGrave = 0xC0,
    KeyKeypadEnter = 0x10D,
};

// A key code with SDL's name of the key, which the player types in "bind".
struct KeyName {
    std::uint32_t code;
    const char* name;
};

// Every key the window delivers, in code order.
std::span<const KeyName> KeyNames();

// SDL's name of a key code; empty for codes not in the table.
std::string NameOfKey(std::uint32_t code);
// The code of a key name, in any case; 0 for names not in the table.
std::uint32_t KeyOfName(const std::string& name);

} // namespace Halvo::App
