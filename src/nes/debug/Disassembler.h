#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace Halvo::Nes {

class Process;
class Symbols;

// How an instruction names its operand.
enum class OperandMode : std::uint8_t {
    Imp, // implied: no operand
    Acc, // A
    Imm, // #$nn
    Zp,  // $nn
    Zpx, // $nn,X
    Zpy, // $nn,Y
    Abs, // $nnnn
    Abx, // $nnnn,X
    Aby, // $nnnn,Y
    Izx, // ($nn,X)
    Izy, // ($nn),Y
    Rel, // a branch's target
    Ind, // ($nnnn), JMP only
};

// What an instruction does with the memory its operand names.
enum class MemoryAccess : std::uint8_t { None, Read, Write, ReadWrite };

struct OpcodeInfo {
    const char* mnemonic;
    OperandMode mode;
    MemoryAccess access;
    // One of the 151 opcodes the 6502's makers documented; the trace marks the others with "*".
    bool official;
    // Bytes, the opcode included.
    std::uint8_t length;
    // A NOP of any form (the trace shows the byte an absolute one would read).
    bool nop;
};

const OpcodeInfo& DescribeOpcode(std::uint8_t opcode);

// A byte of the processor's address space as storage holds it, without the side effects of a read:
// -1 where a register handler answers the address (the PPU's $2002, the ports, a board's registers),
// since reading those would change the machine.
int PeekCpu(const Process& process, std::uint32_t address);

// The address an instruction at `pc` would read or write with the registers as they are now, or -1
// when it names no memory (implied, immediate, jumps and branches) or its pointer cannot be peeked.
std::int32_t EffectiveAddress(const Process& process, std::uint16_t pc);

// Text built into a fixed buffer: the trace writes one line per instruction, and formatting through
// streams or printf would cost more than running the instruction many times over.
class TextLine {
public:
    static constexpr std::size_t Capacity = 256;

    TextLine() = default;
    // A line written straight into `storage`, which has room for Capacity characters.
    explicit TextLine(char* storage) : text(storage) {}
    TextLine(const TextLine&) = delete;
    TextLine& operator=(const TextLine&) = delete;

    // Each operation reads and writes `size` once: a store into `text` could alias it, and a trace
    // formats millions of lines a second.
    void Clear() { size = 0; }
    void Char(char c) {
        const std::size_t at = size;
        if (at < Capacity) {
            text[at] = c;
            size = at + 1;
        }
    }
    void Text(const char* s) { Append(s, std::strlen(s)); }
    void Text(const std::string& s) { Append(s.data(), s.size()); }
    void Hex2(std::uint32_t value) {
        const std::size_t at = size;
        if (at + 2 <= Capacity) {
            text[at] = Digits[(value >> 4) & 15];
            text[at + 1] = Digits[value & 15];
            size = at + 2;
        }
    }
    void Hex4(std::uint32_t value) {
        const std::size_t at = size;
        if (at + 4 <= Capacity) {
            text[at] = Digits[(value >> 12) & 15];
            text[at + 1] = Digits[(value >> 8) & 15];
            text[at + 2] = Digits[(value >> 4) & 15];
            text[at + 3] = Digits[value & 15];
            size = at + 4;
        }
    }
    // A decimal number right-aligned in `width` columns (0: as wide as it is).
    void Decimal(std::uint64_t value, std::size_t width = 0);
    // Spaces up to column `column` (at least one when `atLeastOne`).
    void PadTo(std::size_t column, bool atLeastOne = false) {
        if (atLeastOne) {
            Char(' ');
        }
        const std::size_t at = size;
        const std::size_t end = std::min(column, Capacity);
        if (at >= end) {
            return;
        }
        // The trace's columns are near: one fixed-size copy is cheaper than a fill of the exact length.
        if (end - at <= sizeof Spaces && at + sizeof Spaces <= Capacity) {
            std::memcpy(text + at, Spaces, sizeof Spaces);
        } else {
            std::memset(text + at, ' ', end - at);
        }
        size = end;
    }
    // As much of the text as there is room for.
    void Append(const char* s, std::size_t count) {
        const std::size_t at = size;
        const std::size_t copied = std::min(count, Capacity - at);
        std::memcpy(text + at, s, copied);
        size = at + copied;
    }
    // Room for `count` more characters written straight into the line, or null when it is too full;
    // Commit then takes the end of what was written.
    char* Reserve(std::size_t count) { return size + count <= Capacity ? text + size : nullptr; }
    void Commit(const char* end) { size = static_cast<std::size_t>(end - text); }
    std::size_t Size() const { return size; }
    const char* Data() const { return text; }
    std::string Str() const { return std::string(text, size); }

private:
    static constexpr char Digits[] = "0123456789ABCDEF";
    static constexpr char Spaces[32] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    char own[Capacity];
    char* text = own;
    std::size_t size = 0;
};

// The instruction at `pc` as text: mnemonic (with "*" in front of an undocumented one when `marked`)
// and operand, with a label where `symbols` has one for the address. With `values` (the trace) memory
// operands are followed as a trace shows them, from the registers as they are now: "@ address" for an
// indexed or indirect one and "= value" for the byte there ("LDA ($80,X) @ 80 = 0200 = 5A"). Returns
// the instruction's length.
std::size_t Disassemble(const Process& process, std::uint16_t pc, const Symbols* symbols, bool values,
                        TextLine& out);

} // namespace Halvo::Nes
