#include "app/Keys.h"

#include <array>
#include <cctype>

namespace Halvo::App {

namespace {

// Names as SDL_GetKeyName gives them (a test compares every one with SDL's own).
constexpr KeyName FixedNames[] = {
    {KeyBackspace, "Backspace"},
    {KeyTab, "Tab"},
    {KeyReturn, "Return"},
    {KeyPause, "Pause"},
    {0x14, "CapsLock"},
    {KeyEscape, "Escape"},
    {KeySpace, "Space"},
    {0x21, "PageUp"},
    {0x22, "PageDown"},
    {0x23, "End"},
    {0x24, "Home"},
    {KeyLeft, "Left"},
    {KeyUp, "Up"},
    {KeyRight, "Right"},
    {KeyDown, "Down"},
    {0x2C, "PrintScreen"},
    {0x2D, "Insert"},
    {0x2E, "Delete"},
    {0x5B, "Left GUI"},
    {0x5C, "Right GUI"},
    {0x5D, "Application"},
    {0x6A, "Keypad *"},
    {0x6B, "Keypad +"},
    {0x6D, "Keypad -"},
    {0x6E, "Keypad ."},
    {0x6F, "Keypad /"},
    {0x90, "Numlock"},
    {0x91, "ScrollLock"},
    {KeyLeftShift, "Left Shift"},
    {KeyRightShift, "Right Shift"},
    {KeyLeftCtrl, "Left Ctrl"},
    {KeyRightCtrl, "Right Ctrl"},
    {KeyLeftAlt, "Left Alt"},
    {KeyRightAlt, "Right Alt"},
    {0xBA, ";"},
    {0xBB, "="},
    {0xBC, ","},
    {0xBD, "-"},
    {0xBE, "."},
    {0xBF, "/"},
    {KeyGrave, "`"},
    {0xDB, "["},
    {0xDC, "\\"},
    {0xDD, "]"},
    {0xDE, "'"},
    {KeyKeypadEnter, "Keypad Enter"},
};

constexpr const char* Digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
constexpr const char* Letters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                   "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
constexpr const char* KeypadDigits[] = {"Keypad 0", "Keypad 1", "Keypad 2", "Keypad 3", "Keypad 4",
                                        "Keypad 5", "Keypad 6", "Keypad 7", "Keypad 8", "Keypad 9"};
constexpr const char* FunctionKeys[] = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                        "F7", "F8", "F9", "F10", "F11", "F12"};

constexpr std::size_t KeyCount = std::size(FixedNames) + 10 + 26 + 10 + 12;

constexpr std::array<KeyName, KeyCount> BuildTable() {
    std::array<KeyName, KeyCount> table{};
    std::size_t at = 0;
    for (const KeyName& key : FixedNames) {
        table[at++] = key;
    }
    for (std::uint32_t i = 0; i < 10; ++i) {
        table[at++] = {'0' + i, Digits[i]};
        table[at++] = {0x60 + i, KeypadDigits[i]};
    }
    for (std::uint32_t i = 0; i < 26; ++i) {
        table[at++] = {'A' + i, Letters[i]};
    }
    for (std::uint32_t i = 0; i < 12; ++i) {
        table[at++] = {KeyF1 + i, FunctionKeys[i]};
    }
    // In code order.
    for (std::size_t i = 1; i < table.size(); ++i) {
        for (std::size_t j = i; j > 0 && table[j].code < table[j - 1].code; --j) {
            const KeyName moved = table[j];
            table[j] = table[j - 1];
            table[j - 1] = moved;
        }
    }
    return table;
}

constexpr std::array<KeyName, KeyCount> Table = BuildTable();

bool SameIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && !b[i];
}

} // namespace

std::span<const KeyName> KeyNames() {
    return Table;
}

std::string NameOfKey(std::uint32_t code) {
    for (const KeyName& key : Table) {
        if (key.code == code) {
            return key.name;
        }
    }
    return {};
}

std::uint32_t KeyOfName(const std::string& name) {
    for (const KeyName& key : Table) {
        if (SameIgnoringCase(name, key.name)) {
            return key.code;
        }
    }
    return 0;
}

} // namespace Halvo::App
