#pragma once

#include <cstdint>

#include "nes/Cpu.h"

// The 6502's arithmetic and logic, written once for both processors: the line model's interpreter and
// the exact model's bus-cycle one differ in when memory is touched, never in what an instruction
// computes. Each works on the accumulator or a value and the status register, in place.
namespace Halvo::Nes::Alu {

#define HALVO_ALU_INLINE [[gnu::always_inline]] inline

HALVO_ALU_INLINE void SetNz(StatusRegister& p, std::uint8_t value) {
    p.n = p.z = value;
}

// Binary addition only: the NES processor has no decimal mode, whatever D says.
HALVO_ALU_INLINE void AddWithCarry(std::uint8_t& a, StatusRegister& p, std::uint8_t operand) {
    const std::uint32_t sum = a + operand + p.c;
    p.v = (~(a ^ operand) & (a ^ sum) & 0x80) >> 1;
    p.c = sum > 0xFF;
    a = static_cast<std::uint8_t>(sum);
    SetNz(p, a);
}

// A - M - borrow is A + ~M + carry, flags included.
HALVO_ALU_INLINE void SubtractWithBorrow(std::uint8_t& a, StatusRegister& p, std::uint8_t operand) {
    AddWithCarry(a, p, static_cast<std::uint8_t>(~operand));
}

HALVO_ALU_INLINE void Compare(StatusRegister& p, std::uint8_t reg, std::uint8_t operand) {
    p.c = reg >= operand;
    SetNz(p, static_cast<std::uint8_t>(reg - operand));
}

HALVO_ALU_INLINE std::uint8_t ShiftLeft(StatusRegister& p, std::uint8_t value) {
    p.c = value >> 7;
    value = static_cast<std::uint8_t>(value << 1);
    SetNz(p, value);
    return value;
}

HALVO_ALU_INLINE std::uint8_t ShiftRight(StatusRegister& p, std::uint8_t value) {
    p.c = value & StatusRegister::FlagC;
    value >>= 1;
    SetNz(p, value);
    return value;
}

HALVO_ALU_INLINE std::uint8_t RotateLeft(StatusRegister& p, std::uint8_t value) {
    const auto result = static_cast<std::uint8_t>(value << 1 | p.c);
    p.c = value >> 7;
    SetNz(p, result);
    return result;
}

HALVO_ALU_INLINE std::uint8_t RotateRight(StatusRegister& p, std::uint8_t value) {
    const auto result = static_cast<std::uint8_t>(value >> 1 | p.c << 7);
    p.c = value & StatusRegister::FlagC;
    SetNz(p, result);
    return result;
}

HALVO_ALU_INLINE std::uint8_t Increment(StatusRegister& p, std::uint8_t value) {
    SetNz(p, ++value);
    return value;
}

HALVO_ALU_INLINE std::uint8_t Decrement(StatusRegister& p, std::uint8_t value) {
    SetNz(p, --value);
    return value;
}

// BIT: N and V from the operand's top bits, Z from A AND the operand.
HALVO_ALU_INLINE void BitTest(StatusRegister& p, std::uint8_t a, std::uint8_t operand) {
    p.n = operand;
    p.v = operand & StatusRegister::FlagV;
    p.z = a & operand;
}

// Undocumented immediates. ANC: AND, then C from bit 7 as if shifted.
HALVO_ALU_INLINE void AndCopyCarry(std::uint8_t& a, StatusRegister& p, std::uint8_t operand) {
    SetNz(p, a &= operand);
    p.c = a >> 7;
}

// ARR: AND, then rotate right through C, with C and V taken from bits 6 and 5 of the result (the
// adder's side effects).
HALVO_ALU_INLINE void AndRotateRight(std::uint8_t& a, StatusRegister& p, std::uint8_t operand) {
    a = static_cast<std::uint8_t>((a & operand) >> 1 | p.c << 7);
    SetNz(p, a);
    p.c = (a >> 6) & StatusRegister::FlagC;
    p.v = (a ^ (a << 1)) & StatusRegister::FlagV;
}

// AXS (SBX): X = (A AND X) - operand, with the flags of a compare.
HALVO_ALU_INLINE void AndSubtractToX(std::uint8_t a, std::uint8_t& x, StatusRegister& p,
                                     std::uint8_t operand) {
    const std::uint8_t masked = a & x;
    p.c = masked >= operand;
    SetNz(p, x = static_cast<std::uint8_t>(masked - operand));
}

// XAA (ANE): unstable on real chips; A OR $EE is a common value of the analogue "magic" constant.
HALVO_ALU_INLINE std::uint8_t AndXImmediate(std::uint8_t a, std::uint8_t x, std::uint8_t operand) {
    return static_cast<std::uint8_t>((a | 0xEE) & x & operand);
}

// The unstable stores (SHY, SHX, SHA, TAS) of the RP2A03G: the value ANDed with the base's high byte
// plus one; when the index carries, that value also becomes the high byte of the address written.
// Returns the value; `address` (base + index) is corrected in place.
HALVO_ALU_INLINE std::uint8_t StoreAndHigh(std::uint16_t base, std::uint16_t& address, std::uint8_t value) {
    const auto stored = static_cast<std::uint8_t>(value & ((base >> 8) + 1));
    if ((base ^ address) & 0xFF00) {
        address = static_cast<std::uint16_t>(stored << 8 | (address & 0xFF));
    }
    return stored;
}

#undef HALVO_ALU_INLINE

} // namespace Halvo::Nes::Alu
