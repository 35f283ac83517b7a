#include "nes/debug/Disassembler.h"

#include <algorithm>
#include <cstring>

#include "nes/Process.h"
#include "nes/debug/Symbols.h"

namespace Halvo::Nes {

namespace {

using M = OperandMode;

// The 256 opcodes as 16 rows of 16, the high nibble down and the low one across. Undocumented opcodes
// carry their usual names; the halts are JAM.
// clang-format off
constexpr const char* Mnemonics[256] = {
    //     x0    x1    x2    x3    x4    x5    x6    x7    x8    x9    xA    xB    xC    xD    xE    xF
    /*0*/ "BRK","ORA","JAM","SLO","NOP","ORA","ASL","SLO","PHP","ORA","ASL","ANC","NOP","ORA","ASL","SLO",
    /*1*/ "BPL","ORA","JAM","SLO","NOP","ORA","ASL","SLO","CLC","ORA","NOP","SLO","NOP","ORA","ASL","SLO",
    /*2*/ "JSR","AND","JAM","RLA","BIT","AND","ROL","RLA","PLP","AND","ROL","ANC","BIT","AND","ROL","RLA",
    /*3*/ "BMI","AND","JAM","RLA","NOP","AND","ROL","RLA","SEC","AND","NOP","RLA","NOP","AND","ROL","RLA",
    /*4*/ "RTI","EOR","JAM","SRE","NOP","EOR","LSR","SRE","PHA","EOR","LSR","ALR","JMP","EOR","LSR","SRE",
    /*5*/ "BVC","EOR","JAM","SRE","NOP","EOR","LSR","SRE","CLI","EOR","NOP","SRE","NOP","EOR","LSR","SRE",
    /*6*/ "RTS","ADC","JAM","RRA","NOP","ADC","ROR","RRA","PLA","ADC","ROR","ARR","JMP","ADC","ROR","RRA",
    /*7*/ "BVS","ADC","JAM","RRA","NOP","ADC","ROR","RRA","SEI","ADC","NOP","RRA","NOP","ADC","ROR","RRA",
    /*8*/ "NOP","STA","NOP","SAX","STY","STA","STX","SAX","DEY","NOP","TXA","XAA","STY","STA","STX","SAX",
    /*9*/ "BCC","STA","JAM","AHX","STY","STA","STX","SAX","TYA","STA","TXS","TAS","SHY","STA","SHX","AHX",
    /*A*/ "LDY","LDA","LDX","LAX","LDY","LDA","LDX","LAX","TAY","LDA","TAX","LAX","LDY","LDA","LDX","LAX",
    /*B*/ "BCS","LDA","JAM","LAX","LDY","LDA","LDX","LAX","CLV","LDA","TSX","LAS","LDY","LDA","LDX","LAX",
    /*C*/ "CPY","CMP","NOP","DCP","CPY","CMP","DEC","DCP","INY","CMP","DEX","AXS","CPY","CMP","DEC","DCP",
    /*D*/ "BNE","CMP","JAM","DCP","NOP","CMP","DEC","DCP","CLD","CMP","NOP","DCP","NOP","CMP","DEC","DCP",
    /*E*/ "CPX","SBC","NOP","ISB","CPX","SBC","INC","ISB","INX","SBC","NOP","SBC","CPX","SBC","INC","ISB",
    /*F*/ "BEQ","SBC","JAM","ISB","NOP","SBC","INC","ISB","SED","SBC","NOP","ISB","NOP","SBC","INC","ISB",
};

// Short names for the grid below.
constexpr M Imp = M::Imp, Acc = M::Acc, Imm = M::Imm, Zp = M::Zp, Zpx = M::Zpx, Zpy = M::Zpy, Abs = M::Abs,
            Abx = M::Abx, Aby = M::Aby, Izx = M::Izx, Izy = M::Izy, Rel = M::Rel, Ind = M::Ind;

constexpr OperandMode Modes[256] = {
    //      x0   x1   x2   x3   x4   x5   x6   x7   x8   x9   xA   xB   xC   xD   xE   xF
    /*0*/ Imp, Izx, Imp, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Acc, Imm, Abs, Abs, Abs, Abs,
    /*1*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpx, Zpx, Imp, Aby, Imp, Aby, Abx, Abx, Abx, Abx,
    /*2*/ Abs, Izx, Imp, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Acc, Imm, Abs, Abs, Abs, Abs,
    /*3*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpx, Zpx, Imp, Aby, Imp, Aby, Abx, Abx, Abx, Abx,
    /*4*/ Imp, Izx, Imp, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Acc, Imm, Abs, Abs, Abs, Abs,
    /*5*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpx, Zpx, Imp, Aby, Imp, Aby, Abx, Abx, Abx, Abx,
    /*6*/ Imp, Izx, Imp, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Acc, Imm, Ind, Abs, Abs, Abs,
    /*7*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpx, Zpx, Imp, Aby, Imp, Aby, Abx, Abx, Abx, Abx,
    /*8*/ Imm, Izx, Imm, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Imp, Imm, Abs, Abs, Abs, Abs,
    /*9*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpy, Zpy, Imp, Aby, Imp, Aby, Abx, Abx, Aby, Aby,
    /*A*/ Imm, Izx, Imm, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Imp, Imm, Abs, Abs, Abs, Abs,
    /*B*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpy, Zpy, Imp, Aby, Imp, Aby, Abx, Abx, Aby, Aby,
    /*C*/ Imm, Izx, Imm, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Imp, Imm, Abs, Abs, Abs, Abs,
    /*D*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpx, Zpx, Imp, Aby, Imp, Aby, Abx, Abx, Abx, Abx,
    /*E*/ Imm, Izx, Imm, Izx, Zp,  Zp,  Zp,  Zp,  Imp, Imm, Imp, Imm, Abs, Abs, Abs, Abs,
    /*F*/ Rel, Izy, Imp, Izy, Zpx, Zpx, Zpx, Zpx, Imp, Aby, Imp, Aby, Abx, Abx, Abx, Abx,
};
// clang-format on

bool IsOneOf(const char* mnemonic, const char* const* list) {
    for (; *list; ++list) {
        if (std::strcmp(mnemonic, *list) == 0) {
            return true;
        }
    }
    return false;
}

constexpr const char* Undocumented[] = {"SLO", "RLA", "SRE", "RRA", "SAX", "LAX",  "DCP",
                                        "ISB", "ANC", "ALR", "ARR", "XAA", "AXS",  "AHX",
                                        "TAS", "SHY", "SHX", "LAS", "JAM", nullptr};
constexpr const char* Stores[] = {"STA", "STX", "STY", "SAX", "AHX", "TAS", "SHY", "SHX", nullptr};
constexpr const char* Changes[] = {"ASL", "LSR", "ROL", "ROR", "INC", "DEC",  "SLO",
                                   "RLA", "SRE", "RRA", "DCP", "ISB", nullptr};

std::uint8_t LengthOf(OperandMode mode) {
    switch (mode) {
    case M::Imp:
    case M::Acc:
        return 1;
    case M::Abs:
    case M::Abx:
    case M::Aby:
    case M::Ind:
        return 3;
    default:
        return 2;
    }
}

struct OpcodeTable {
    OpcodeInfo entries[256];

    OpcodeTable() {
        for (int opcode = 0; opcode < 256; ++opcode) {
            OpcodeInfo& info = entries[opcode];
            info.mnemonic = Mnemonics[opcode];
            info.mode = Modes[opcode];
            info.length = LengthOf(info.mode);
            const bool nop = std::strcmp(info.mnemonic, "NOP") == 0;
            info.nop = nop;
            info.official =
                !IsOneOf(info.mnemonic, Undocumented) && !(nop && opcode != 0xEA) && opcode != 0xEB;
            const bool memory = info.mode != M::Imp && info.mode != M::Acc && info.mode != M::Imm &&
                                info.mode != M::Rel && info.mode != M::Ind;
            const bool jump =
                std::strcmp(info.mnemonic, "JMP") == 0 || std::strcmp(info.mnemonic, "JSR") == 0;
            // The line model's NOPs with an address read nothing.
            info.access = !memory || jump || nop            ? MemoryAccess::None
                          : IsOneOf(info.mnemonic, Stores)  ? MemoryAccess::Write
                          : IsOneOf(info.mnemonic, Changes) ? MemoryAccess::ReadWrite
                                                            : MemoryAccess::Read;
        }
    }
};

// Built before anything runs: every traced instruction looks its opcode up several times.
const OpcodeTable table;

const OpcodeTable& Table() {
    return table;
}

int PeekWord(const Process& process, std::uint32_t low, std::uint32_t high) {
    const int l = PeekCpu(process, low);
    const int h = PeekCpu(process, high);
    return l < 0 || h < 0 ? -1 : l | h << 8;
}

// An address as an operand: its label, or $ and four (or, in zero page, two) digits.
void Address(TextLine& out, std::uint32_t address, bool zeroPage, const Symbols* symbols) {
    if (symbols) {
        if (const std::string* name = symbols->NameOf(static_cast<std::uint16_t>(address))) {
            out.Text(*name);
            return;
        }
    }
    out.Char('$');
    if (zeroPage) {
        out.Hex2(address);
    } else {
        out.Hex4(address);
    }
}

void Value(TextLine& out, const Process& process, std::uint32_t address) {
    const int value = PeekCpu(process, address);
    out.Text(" = ");
    if (value < 0) {
        out.Text("??");
    } else {
        out.Hex2(static_cast<std::uint32_t>(value));
    }
}

} // namespace

const OpcodeInfo& DescribeOpcode(std::uint8_t opcode) {
    return Table().entries[opcode];
}

int PeekCpu(const Process& process, std::uint32_t address) {
    address &= 0xFFFF;
    const std::uint8_t* page = process.CpuReadPage(address >> Process::PageShift);
    return page ? page[address & Process::PageMask] : -1;
}

std::int32_t EffectiveAddress(const Process& process, std::uint16_t pc) {
    const OpcodeInfo& info = DescribeOpcode(static_cast<std::uint8_t>(PeekCpu(process, pc) & 0xFF));
    const Cpu& cpu = process.GetCpu();
    const int b1 = PeekCpu(process, pc + 1u);
    const int word = PeekWord(process, pc + 1u, pc + 2u);
    if (info.access == MemoryAccess::None || b1 < 0) {
        return -1;
    }
    switch (info.mode) {
    case M::Zp:
        return b1;
    case M::Zpx:
        return (b1 + cpu.x) & 0xFF;
    case M::Zpy:
        return (b1 + cpu.y) & 0xFF;
    case M::Abs:
        return word;
    case M::Abx:
        return word < 0 ? -1 : (word + cpu.x) & 0xFFFF;
    case M::Aby:
        return word < 0 ? -1 : (word + cpu.y) & 0xFFFF;
    case M::Izx: {
        const std::uint32_t pointer = (b1 + cpu.x) & 0xFF;
        return PeekWord(process, pointer, (pointer + 1) & 0xFF);
    }
    case M::Izy: {
        const int base = PeekWord(process, static_cast<std::uint32_t>(b1), (b1 + 1u) & 0xFF);
        return base < 0 ? -1 : (base + cpu.y) & 0xFFFF;
    }
    default:
        return -1;
    }
}

void TextLine::Decimal(std::uint64_t value, std::size_t width) {
    // Two digits per division: a trace writes three numbers a line, millions of lines a second.
    static constexpr char Pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[20];
    std::size_t start = sizeof digits;
    while (value >= 100) {
        const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        start -= 2;
        digits[start] = Pairs[pair];
        digits[start + 1] = Pairs[pair + 1];
    }
    if (value >= 10) {
        start -= 2;
        digits[start] = Pairs[value * 2];
        digits[start + 1] = Pairs[value * 2 + 1];
    } else {
        digits[--start] = static_cast<char>('0' + value);
    }
    const std::size_t count = sizeof digits - start;
    if (count < width) {
        PadTo(size + width - count);
    }
    Append(digits + start, count);
}

std::size_t Disassemble(const Process& process, std::uint16_t pc, const Symbols* symbols, bool values,
                        TextLine& out) {
    const int opcode = PeekCpu(process, pc);
    if (opcode < 0) {
        // Code in a register page cannot be looked at without running its handlers.
        out.Text("???");
        return 1;
    }
    const OpcodeInfo& info = DescribeOpcode(static_cast<std::uint8_t>(opcode));
    if (values && !info.official) {
        out.Char('*');
    }
    // Every mnemonic has three letters.
    out.Append(info.mnemonic, 3);
    const Cpu& cpu = process.GetCpu();
    const int b1 = info.length > 1 ? PeekCpu(process, pc + 1u) : 0;
    const int b2 = info.length > 2 ? PeekCpu(process, pc + 2u) : 0;
    if (b1 < 0 || b2 < 0) {
        out.Text(" ??");
        return info.length;
    }
    const std::uint32_t word = static_cast<std::uint32_t>(b1 | b2 << 8);
    const bool annotate = values && info.access != MemoryAccess::None;
    switch (info.mode) {
    case M::Imp:
        break;
    case M::Acc:
        out.Text(" A");
        break;
    case M::Imm:
        out.Text(" #$");
        out.Hex2(static_cast<std::uint32_t>(b1));
        break;
    case M::Zp:
        out.Char(' ');
        Address(out, static_cast<std::uint32_t>(b1), true, symbols);
        if (values) {
            Value(out, process, static_cast<std::uint32_t>(b1));
        }
        break;
    case M::Zpx:
    case M::Zpy: {
        out.Char(' ');
        Address(out, static_cast<std::uint32_t>(b1), true, symbols);
        out.Text(info.mode == M::Zpx ? ",X" : ",Y");
        if (values) {
            const std::uint32_t at = (b1 + (info.mode == M::Zpx ? cpu.x : cpu.y)) & 0xFF;
            out.Text(" @ ");
            out.Hex2(at);
            Value(out, process, at);
        }
        break;
    }
    case M::Abs:
        out.Char(' ');
        Address(out, word, false, symbols);
        if (values && (annotate || info.nop)) {
            Value(out, process, word);
        }
        break;
    case M::Abx:
    case M::Aby: {
        out.Char(' ');
        Address(out, word, false, symbols);
        out.Text(info.mode == M::Abx ? ",X" : ",Y");
        if (values) {
            const std::uint32_t at = (word + (info.mode == M::Abx ? cpu.x : cpu.y)) & 0xFFFF;
            out.Text(" @ ");
            out.Hex4(at);
            Value(out, process, at);
        }
        break;
    }
    case M::Izx: {
        out.Text(" (");
        Address(out, static_cast<std::uint32_t>(b1), true, symbols);
        out.Text(",X)");
        if (values) {
            const std::uint32_t pointer = (b1 + cpu.x) & 0xFF;
            const int at = PeekWord(process, pointer, (pointer + 1) & 0xFF);
            out.Text(" @ ");
            out.Hex2(pointer);
            out.Text(" = ");
            out.Hex4(static_cast<std::uint32_t>(at));
            Value(out, process, static_cast<std::uint32_t>(at));
        }
        break;
    }
    case M::Izy: {
        out.Text(" (");
        Address(out, static_cast<std::uint32_t>(b1), true, symbols);
        out.Text("),Y");
        if (values) {
            const int base = PeekWord(process, static_cast<std::uint32_t>(b1), (b1 + 1u) & 0xFF);
            const std::uint32_t at = (static_cast<std::uint32_t>(base) + cpu.y) & 0xFFFF;
            out.Text(" = ");
            out.Hex4(static_cast<std::uint32_t>(base));
            out.Text(" @ ");
            out.Hex4(at);
            Value(out, process, at);
        }
        break;
    }
    case M::Rel: {
        const std::uint32_t target =
            (pc + 2u + static_cast<std::uint32_t>(static_cast<std::int8_t>(b1))) & 0xFFFF;
        out.Char(' ');
        Address(out, target, false, symbols);
        break;
    }
    case M::Ind: {
        out.Text(" (");
        Address(out, word, false, symbols);
        out.Char(')');
        if (values) {
            // The pointer's high byte comes from the start of the same page when the low one ends it.
            const int at = PeekWord(process, word, (word & 0xFF00) | ((word + 1) & 0xFF));
            out.Text(" = ");
            out.Hex4(static_cast<std::uint32_t>(at));
        }
        break;
    }
    }
    return info.length;
}

} // namespace Halvo::Nes
