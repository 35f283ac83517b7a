#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Bridge.h"
#include "app/Gamepad.h"
#include "app/Timer.h"
#include "app/Window.h"
#include "ref/Object.h"

namespace Halvo::App {

// The application shell: start-up, the main loop and shut-down. The emulator shell derives from it and
// fills in the operations the loop and the window call.
class Shell : public Ref::Object {
public:
    explicit Shell(Bridge* bridge);
    ~Shell() override;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Makes the timer and the window and calls OnInitiate with the program's arguments (without the
    // program name).
    bool Initiate(const std::vector<std::string>& arguments);
    // OnTerminate and the release of window and timer; does nothing unless initiated.
    void Terminate();
    // The main loop: turns until a quit request, then gives the bridge's exit code; or until SIGINT or
    // SIGTERM asked the program to end, then gives 128 + the signal's number.
    std::int32_t Run();
    // One turn of the main loop: every pending event, the timer, OnIdle. False (and no OnIdle) once a
    // quit request has been seen or a signal asked the program to end.
    bool Turn();

    Window* GetWindow() const { return window.Get(); }
    Timer* GetTimer() const { return timer.Get(); }

    virtual bool OnInitiate(const std::vector<std::string>& arguments) = 0;
    virtual void OnTerminate() = 0;
    virtual void OnIdle() = 0;
    virtual void OnActivate(bool active) = 0;
    virtual void OnResize(std::uint32_t width, std::uint32_t height) = 0;
    // The window went to another display (its refresh rate may differ).
    virtual void OnDisplayChanged() {}
    // The key event about to be handed on happened `age` seconds ago (the platform's own time stamp).
    virtual void OnInputAge(double age) { (void)age; }
    // A file dropped onto the window.
    virtual void OnDropFile(const std::string& file) { (void)file; }
    // A key (its console key code, character 0) or a typed character (key code 0, its Unicode code
    // point).
    virtual void OnKeyDown(std::uint32_t keyCode, char32_t character) = 0;
    virtual void OnKeyUp(std::uint32_t keyCode, char32_t character) = 0;
    // Any key of the keyboard as its App::KeyCode, for the key bindings; a key held down repeats its
    // presses. Comes after OnKeyDown / OnKeyUp for keys that are console keys too.
    virtual void OnKeyboardKey(std::uint32_t key, bool down) { (void)key, (void)down; }
    // Gamepads, by slot: the first one plugged in is slot 0, the second slot 1, and so on.
    virtual void OnGamepadConnected(std::uint32_t slot, const std::string& name) { (void)slot, (void)name; }
    virtual void OnGamepadDisconnected(std::uint32_t slot, const std::string& name) {
        (void)slot, (void)name;
    }
    virtual void OnGamepadButton(std::uint32_t slot, GamepadButton button, bool down) {
        (void)slot, (void)button, (void)down;
    }
    // A stick's position from -32768 (left or up) to 32767 (right or down).
    virtual void OnGamepadAxis(std::uint32_t slot, GamepadAxis axis, std::int32_t value) {
        (void)slot, (void)axis, (void)value;
    }

protected:
    bool initiated = false;
    Ref::Ptr<Bridge> bridge;
    Ref::Ptr<Timer> timer;
    Ref::Ptr<Window> window;

    // The one shell of the program; set by the concrete shell's Instance, cleared by the destructor.
    static inline Shell* instance = nullptr;
};

} // namespace Halvo::App
