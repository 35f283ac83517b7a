#pragma once

#include <cstdint>

#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The IRQ counter of Konami's VRC4, VRC6 and VRC7: an 8-bit counter that counts up from a latch and
// raises the line when it wraps after $FF (reloading the latch), clocked by processor cycles directly
// or through a prescaler that divides them into scanlines of 113 2/3 cycles. The board decodes the
// registers and raises and lowers the line; this keeps the count.
struct VrcIrq {
    static constexpr std::uint8_t EnableAfterAck = 0x01;
    static constexpr std::uint8_t Enable = 0x02;
    static constexpr std::uint8_t CycleMode = 0x04;
    static constexpr std::uint64_t Never = ~std::uint64_t{0};

    // Brings the count to processor cycle `now`.
    void Sync(std::uint64_t now);
    // The cycle at which the line next rises, or Never.
    std::uint64_t NextCycle() const;
    void WriteLatch(std::uint8_t value) { latch = value; }
    void WriteLatchNibble(std::uint8_t value, bool high) {
        latch =
            static_cast<std::uint8_t>(high ? (latch & 0x0F) | value << 4 : (latch & 0xF0) | (value & 0x0F));
    }
    void WriteControl(std::uint8_t value);
    void Acknowledge();
    void Reset() { *this = VrcIrq(); }
    void State(StateIo& io) { io(latch, control, counter, prescaler, cycle); }

    std::uint8_t latch = 0;
    std::uint8_t control = 0;
    std::uint8_t counter = 0;
    std::uint32_t prescaler = 0; // dots toward the next scanline clock, at `cycle`
    std::uint64_t cycle = 0;
};

} // namespace Halvo::Nes
