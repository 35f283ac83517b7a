#include "nes/debug/Fiber.h"

#include <cstdint>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define HALVO_FIBER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/common_interface_defs.h>
#define HALVO_FIBER_ASAN 1
#endif
#endif

namespace Halvo::Nes {

Fiber::Fiber(std::function<void()> body, std::size_t stackSize)
    : body(std::move(body)), stack(new char[stackSize]), stackSize(stackSize) {
    if (getcontext(&fiberContext) != 0) {
        throw std::runtime_error("Could not make the debugger's fiber.");
    }
    fiberContext.uc_stack.ss_sp = stack.get();
    fiberContext.uc_stack.ss_size = stackSize;
    fiberContext.uc_link = nullptr;
    // makecontext passes int arguments only: the pointer goes in two halves.
    const auto self = reinterpret_cast<std::uintptr_t>(this);
    makecontext(&fiberContext, reinterpret_cast<void (*)()>(&Entry), 2, static_cast<unsigned int>(self >> 32),
                static_cast<unsigned int>(self & 0xFFFFFFFFu));
}

// A fiber left standing in a yield is dropped with its stack: what stands on it is the machine's
// frame, whose objects belong to the machine.
Fiber::~Fiber() = default;

void Fiber::Entry(unsigned int high, unsigned int low) {
    auto* fiber = reinterpret_cast<Fiber*>(static_cast<std::uintptr_t>(high) << 32 | low);
#if HALVO_FIBER_ASAN
    __sanitizer_finish_switch_fiber(nullptr, &fiber->callerStackBottom, &fiber->callerStackSize);
#endif
    fiber->body();
    // The body never returns; should it, the fiber yields for good.
    for (;;) {
        fiber->Yield();
    }
}

void Fiber::SwitchTo(ucontext_t& from, ucontext_t& to, bool toFiber) {
    (void)toFiber;
#if HALVO_FIBER_ASAN
    void* saved = nullptr;
    if (toFiber) {
        __sanitizer_start_switch_fiber(&saved, stack.get(), stackSize);
    } else {
        __sanitizer_start_switch_fiber(&fakeStack, callerStackBottom, callerStackSize);
    }
#endif
    swapcontext(&from, &to);
#if HALVO_FIBER_ASAN
    if (toFiber) {
        __sanitizer_finish_switch_fiber(saved, nullptr, nullptr);
    } else {
        __sanitizer_finish_switch_fiber(fakeStack, &callerStackBottom, &callerStackSize);
    }
#endif
}

void Fiber::Resume() {
    running = true;
    SwitchTo(callerContext, fiberContext, true);
    running = false;
}

void Fiber::Yield() {
    SwitchTo(fiberContext, callerContext, false);
}

} // namespace Halvo::Nes
