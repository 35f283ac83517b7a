#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <ucontext.h>

namespace Halvo::Nes {

// A second stack on the same thread, on which the debugger runs the machine's frames: a break in the
// middle of a frame leaves the frame's whole call chain (the PPU's frame loop, the processor's run)
// standing on it, so that the main loop can show the console and take commands while the game is
// stopped, and the frame goes on from the same instruction when stepped or continued. Only one side
// runs at a time; nothing is shared with another thread.
class Fiber {
public:
    // `body` runs on the fiber's stack from the first Resume; it must never return.
    explicit Fiber(std::function<void()> body, std::size_t stackSize = 1 << 20);
    ~Fiber();
    Fiber(const Fiber&) = delete;
    Fiber& operator=(const Fiber&) = delete;

    // Runs the fiber until it yields.
    void Resume();
    // Called on the fiber: goes back to the Resume that ran it.
    void Yield();
    bool Running() const { return running; }

private:
    static void Entry(unsigned int high, unsigned int low);
    void SwitchTo(ucontext_t& from, ucontext_t& to, bool toFiber);

    std::function<void()> body;
    std::unique_ptr<char[]> stack;
    std::size_t stackSize;
    ucontext_t fiberContext{};
    ucontext_t callerContext{};
    bool running = false;
    // What the address sanitizer needs to know of the stack being left and entered.
    void* fakeStack = nullptr;
    const void* callerStackBottom = nullptr;
    std::size_t callerStackSize = 0;
};

} // namespace Halvo::Nes
