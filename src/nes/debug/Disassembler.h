#pragma once

#include <cstddef>
#include <cstdint>
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

    void Clear() { size = 0; }
    void Char(char c) {
        if (size < Capacity) {
            text[size++] = c;
        }
    }
    void Text(const char* s) {
        while (*s) {
            Char(*s++);
        }
    }
    void Text(const std::string& s) {
        for (const char c : s) {
            Char(c);
        }
    }
    void Hex2(std::uint32_t value) {
        Char(Digits[(value >> 4) & 15]);
        Char(Digits[value & 15]);
    }
    void Hex4(std::uint32_t value) {
        Hex2(value >> 8);
        Hex2(value);
    }
    // A decimal number right-aligned in `width` columns (0: as wide as it is).
    void Decimal(std::uint64_t value, std::size_t width = 0);
    // Spaces up to column `column` (at least one when `atLeastOne`).
    void PadTo(std::size_t column, bool atLeastOne = false) {
        if (atLeastOne) {
            Char(' ');
        }
        while (size < column && size < Capacity) {
            text[size++] = ' ';
        }
    }
    std::size_t Size() const { return size; }
    const char* Data() const { return text; }
    std::string Str() const { return std::string(text, size); }

private:
    static constexpr char Digits[] = "0123456789ABCDEF";
    char text[Capacity];
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
