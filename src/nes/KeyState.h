#pragma once

#include <cstdint>

namespace Halvo::Nes {

// Key codes of the keyboard state: the letters are their upper-case ASCII codes, the arrows these.
enum KeyCode : std::uint32_t {
    KeyLeftArrow = 0x25,
    KeyUpArrow = 0x26,
    KeyRightArrow = 0x27,
    KeyDownArrow = 0x28,
};

// The keyboard as the joypad sees it: whether a key is down now or was pressed since the previous
// query of that key, so that a tap shorter than a frame is not lost.
class KeyState {
public:
    virtual ~KeyState() = default;
    virtual bool IsPressed(std::uint32_t keyCode) = 0;

    // The keyboard of the running program; null when there is none (the joypad then reads no keys).
    static KeyState* Current() { return current; }
    static void SetCurrent(KeyState* state) { current = state; }

private:
    static inline KeyState* current = nullptr;
};

// A key state fed by key events, for the platform layer and for tests and the headless runner.
class KeyStateTable : public KeyState {
public:
    void KeyDown(std::uint32_t keyCode) {
        if (keyCode < Size) {
            down[keyCode] = true;
            pressed[keyCode] = true;
        }
    }
    void KeyUp(std::uint32_t keyCode) {
        if (keyCode < Size) {
            down[keyCode] = false;
        }
    }
    void ReleaseAll() {
        for (bool& key : down) {
            key = false;
        }
    }
    // Forgets every key, presses not yet seen by a query included.
    void Clear() {
        ReleaseAll();
        for (bool& key : pressed) {
            key = false;
        }
    }
    bool IsPressed(std::uint32_t keyCode) override {
        if (keyCode >= Size) {
            return false;
        }
        const bool result = down[keyCode] || pressed[keyCode];
        pressed[keyCode] = false;
        return result;
    }

private:
    static constexpr std::uint32_t Size = 256;
    bool down[Size] = {};
    bool pressed[Size] = {};
};

} // namespace Halvo::Nes
