#pragma once

#include <cstdint>

namespace Halvo::Console {

// The keys the window hands to the shell and the console input line; 0 stands for a typed character.
enum ConsoleKey : std::uint32_t {
    TypedCharacter = 0,
    ToggleKey = 1, // the key left of 1 (grave accent)
    EscapeKey = 2,
    BackspaceKey = 3,
    TabKey = 4,
    EnterKey = 5,
    InsertKey = 6,
    DeleteKey = 7,
    HomeKey = 8,
    EndKey = 9,
    PageUpKey = 10,
    PageDownKey = 11,
    LeftKey = 12,
    RightKey = 13,
    UpKey = 14,
    DownKey = 15,
};

} // namespace Halvo::Console
