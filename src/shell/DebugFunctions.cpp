#include "shell/DebugFunctions.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "console/ReadToken.h"
#include "console/System.h"
#include "nes/Process.h"
#include "nes/debug/Disassembler.h"
#include "nes/rom/RomImage.h"
#include "shell/AtomicFile.h"

namespace Halvo {

namespace {

std::string Lower(std::string word) {
    for (char& c : word) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return word;
}

// A count argument: absent gives `absent`; anything but a number from 1 to `most` is refused.
bool ReadCount(std::istream& arguments, std::uint32_t absent, std::uint32_t most, std::uint32_t& count) {
    std::string word;
    if (!(arguments >> word)) {
        count = absent;
        return true;
    }
    const std::optional<std::int64_t> number = Nes::Condition::ParseNumber(word);
    if (!number || *number < 1 || *number > most) {
        return false;
    }
    count = static_cast<std::uint32_t>(*number);
    return true;
}

// "$" and `digits` hexadecimal digits.
std::string Hex(std::uint32_t value, int digits) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text = "$";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        text += Digits[(value >> shift) & 15];
    }
    return text;
}

// The rest of the line, without its leading blanks.
std::string Rest(std::istream& arguments) {
    std::string rest;
    std::getline(arguments, rest);
    const std::size_t start = rest.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : rest.substr(start);
}

} // namespace

DebugFunctions::DebugFunctions(DebugHost& debugHost, std::ostream& out) : debugger(out), host(debugHost) {
    const auto add = [this](const char* name, const char* usage,
                            std::function<bool(std::istream&, std::ostream&)> run) {
        commands.push_back(std::make_unique<Command>(name, usage, std::move(run)));
    };
    add("break",
        "Stops the game when it runs an address (x, the default), reads it (r) or writes it (w), when it "
        "enters\n"
        "the NMI or the IRQ, or when it reaches a PPU register ($2000-$3FFF, r and w), if the condition "
        "holds.\n"
        "usage: break ADDR[-ADDR] [r|w|x|rw|rwx] [if CONDITION]\n"
        "       break nmi|irq|ppu [if CONDITION]",
        [this](std::istream& a, std::ostream& o) { return Break(a, o); });
    add("unbreak", "Removes a break (or all of them).\nusage: unbreak N|all",
        [this](std::istream& a, std::ostream& o) { return Unbreak(a, o); });
    add("breaks", "Lists the breaks.\nusage: breaks",
        [this](std::istream&, std::ostream& o) { return Breaks(o); });
    add("step", "Runs N instructions (1 if not given) and stops.\nusage: step [N]",
        [this](std::istream& a, std::ostream& o) {
            std::uint32_t count = 1;
            if (!ReadCount(a, 1, 1000000, count)) {
                return false;
            }
            if (Machine(o)) {
                debugger.Step(count);
                AfterRun();
            }
            return true;
        });
    add("next", "Runs one instruction, a JSR with its whole subroutine, and stops.\nusage: next",
        [this](std::istream&, std::ostream& o) {
            if (Machine(o)) {
                debugger.Next();
                AfterRun();
            }
            return true;
        });
    add("finish",
        "Runs to the return (RTS or RTI) of the present subroutine and stops after it.\nusage: finish",
        [this](std::istream&, std::ostream& o) {
            if (Machine(o)) {
                debugger.Finish();
                AfterRun();
            }
            return true;
        });
    add("continue",
        "Lets the stopped game go on until the next break. With a number, waits for the break here for at "
        "most\n"
        "that many frames (for scripts).\nusage: continue [FRAMES]",
        [this](std::istream& a, std::ostream& o) {
            std::uint32_t frames = 0;
            if (!ReadCount(a, 0, 1000000, frames)) {
                return false;
            }
            if (Machine(o)) {
                debugger.Continue(frames);
                if (debugger.Stopped()) {
                    host.OnDebugStop();
                } else {
                    host.OnDebugContinue();
                }
            }
            return true;
        });
    add("regs",
        "Shows the instruction at PC, the registers, the PPU's line and dot and the cycle.\nusage: regs",
        [this](std::istream&, std::ostream& o) {
            if (Machine(o)) {
                o << debugger.StateLine() << std::endl;
            }
            return true;
        });
    add("mem",
        "Shows COUNT bytes (16 if not given) of the processor's memory; -- where a register answers.\n"
        "usage: mem ADDR [COUNT]",
        [this](std::istream& a, std::ostream& o) { return Memory(a, o, false); });
    add("ppumem",
        "Shows COUNT bytes (16 if not given) of the PPU's memory: patterns, name tables, palette.\n"
        "usage: ppumem ADDR [COUNT]",
        [this](std::istream& a, std::ostream& o) { return Memory(a, o, true); });
    add("poke", "Writes a byte into the processor's memory (RAM or cartridge RAM).\nusage: poke ADDR VALUE",
        [this](std::istream& a, std::ostream& o) { return Poke(a, o); });
    add("disasm",
        "Disassembles COUNT instructions (10 if not given) from ADDR (PC if not given).\n"
        "usage: disasm [ADDR] [COUNT]",
        [this](std::istream& a, std::ostream& o) { return Disasm(a, o); });
    add("oam", "Lists the 64 sprites of the PPU's sprite memory.\nusage: oam",
        [this](std::istream&, std::ostream& o) { return Oam(o); });
    add("trace", "Writes a line per instruction run to FILE, until \"trace off\".\nusage: trace FILE|off",
        [this](std::istream& a, std::ostream& o) { return Trace(a, o); });
    add("cdl",
        "Logs which PRG-ROM bytes run as code and which are read as data (on, off), and writes the log in\n"
        "FCEUX's .cdl layout (save FILE; without a name, beside the cartridge).\nusage: cdl on|off|save "
        "[FILE]",
        [this](std::istream& a, std::ostream& o) { return CodeDataLog(a, o); });
    add("symbols",
        "Loads labels from a ca65/ld65 debug file (.dbg), an FCEUX name list (.nl) or a Mesen label file\n"
        "(.mlb); without a file, says how many labels there are.\nusage: symbols [FILE]",
        [this](std::istream& a, std::ostream& o) { return LoadSymbols(a, o); });
}

std::vector<Console::Function*> DebugFunctions::Functions() {
    std::vector<Console::Function*> functions;
    for (const auto& command : commands) {
        functions.push_back(command.get());
    }
    return functions;
}

void DebugFunctions::Command::PrintUsage(std::ostream& out) {
    out << usage << std::endl;
}

Nes::Process* DebugFunctions::Machine(std::ostream& out) {
    Nes::Process* process = host.DebugMachine();
    if (!process) {
        out << "No game is loaded." << std::endl;
        return nullptr;
    }
    if (debugger.Machine() != process) {
        debugger.Attach(process);
    }
    return process;
}

void DebugFunctions::WatchLoadedGame() {
    if (Nes::Process* process = host.DebugMachine(); process && debugger.Machine() != process) {
        debugger.Attach(process);
    }
}

void DebugFunctions::AfterRun() {
    if (debugger.Stopped()) {
        host.OnDebugStop();
    }
}

bool DebugFunctions::Break(std::istream& arguments, std::ostream& out) {
    std::string where;
    if (!(arguments >> where)) {
        return false;
    }
    Nes::Breakpoint breakpoint;
    const std::string lowerWhere = Lower(where);
    if (lowerWhere == "nmi" || lowerWhere == "irq") {
        breakpoint.kinds = lowerWhere == "nmi" ? Nes::Breakpoint::Nmi : Nes::Breakpoint::Irq;
    } else if (lowerWhere == "ppu") {
        breakpoint.kinds = Nes::Breakpoint::Read | Nes::Breakpoint::Write;
        breakpoint.first = 0x2000;
        breakpoint.last = 0x3FFF;
    } else {
        const std::size_t dash = where.find('-', 1);
        const std::optional<std::uint16_t> first = debugger.ParseAddress(where.substr(0, dash));
        const std::optional<std::uint16_t> last =
            dash == std::string::npos ? first : debugger.ParseAddress(where.substr(dash + 1));
        if (!first || !last || *last < *first) {
            out << '"' << where << "\" is not an address, a range of addresses or a label." << std::endl;
            return false;
        }
        breakpoint.first = *first;
        breakpoint.last = *last;
    }
    std::string word;
    if (arguments >> word && Lower(word) != "if") {
        if (breakpoint.kinds & (Nes::Breakpoint::Nmi | Nes::Breakpoint::Irq)) {
            return false;
        }
        std::uint8_t kinds = 0;
        for (const char c : Lower(word)) {
            kinds |= c == 'r'   ? Nes::Breakpoint::Read
                     : c == 'w' ? Nes::Breakpoint::Write
                     : c == 'x' ? 1
                                : 0x80;
        }
        if (kinds & 0x80) {
            return false;
        }
        breakpoint.kinds = kinds;
        if (!(arguments >> word)) {
            word.clear();
        }
    }
    if (Lower(word) == "if") {
        const std::string text = Rest(arguments);
        std::string error;
        if (text.empty()) {
            return false;
        }
        if (!breakpoint.condition.Parse(text, debugger.LabelLookup(), error)) {
            out << "The condition is not understood: " << error << "." << std::endl;
            return true;
        }
    } else if (!word.empty()) {
        return false;
    }
    std::ostringstream text;
    if (breakpoint.kinds & (Nes::Breakpoint::Nmi | Nes::Breakpoint::Irq)) {
        text << (breakpoint.kinds & Nes::Breakpoint::Nmi ? "nmi" : "irq");
    } else {
        text << Hex(breakpoint.first, 4);
        if (breakpoint.last != breakpoint.first) {
            text << '-';
            text << Hex(breakpoint.last, 4);
        }
        text << ' ';
        if (breakpoint.kinds & Nes::Breakpoint::Read) {
            text << 'r';
        }
        if (breakpoint.kinds & Nes::Breakpoint::Write) {
            text << 'w';
        }
        if (breakpoint.kinds & Nes::Breakpoint::Execute) {
            text << 'x';
        }
    }
    if (!breakpoint.condition.Empty()) {
        text << " if " << breakpoint.condition.Text();
    }
    breakpoint.text = text.str();
    const std::uint32_t number = debugger.AddBreakpoint(std::move(breakpoint));
    out << "Break " << number << ": " << debugger.Breakpoints().back().text << std::endl;
    WatchLoadedGame();
    return true;
}

bool DebugFunctions::Unbreak(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        return false;
    }
    if (Lower(word) == "all") {
        while (!debugger.Breakpoints().empty()) {
            debugger.RemoveBreakpoint(debugger.Breakpoints().front().number);
        }
        out << "No breaks." << std::endl;
        return true;
    }
    const std::optional<std::int64_t> number = Nes::Condition::ParseNumber(word);
    if (!number || *number < 0 || *number > UINT32_MAX) {
        return false;
    }
    if (!debugger.RemoveBreakpoint(static_cast<std::uint32_t>(*number))) {
        out << "There is no break " << word << "." << std::endl;
    }
    return true;
}

bool DebugFunctions::Breaks(std::ostream& out) {
    if (debugger.Breakpoints().empty()) {
        out << "No breaks." << std::endl;
    }
    for (const Nes::Breakpoint& b : debugger.Breakpoints()) {
        out << b.number << ": " << b.text << " (" << b.hits << (b.hits == 1 ? " hit)" : " hits)")
            << std::endl;
    }
    return true;
}

bool DebugFunctions::Memory(std::istream& arguments, std::ostream& out, bool ppu) {
    std::string where;
    if (!(arguments >> where)) {
        return false;
    }
    const std::optional<std::uint16_t> start = debugger.ParseAddress(where);
    std::uint32_t count = 16;
    if (!start || !ReadCount(arguments, 16, 0x10000, count)) {
        return false;
    }
    Nes::Process* process = Machine(out);
    if (!process) {
        return true;
    }
    Nes::Ppu& chip = process->GetPpu();
    if (ppu) {
        // The PPU's deferred steps of this line are brought up to the processor first.
        chip.CatchUp();
    }
    std::string line;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t address = (*start + i) & (ppu ? 0x3FFF : 0xFFFF);
        if (i % 16 == 0) {
            if (i) {
                out << line << std::endl;
            }
            line = Hex(address, 4).substr(1) + ":";
        }
        int value = 0;
        if (!ppu) {
            value = Nes::PeekCpu(*process, address);
        } else if (address >= Nes::Ppu::PaletteStart) {
            // $3F10, $3F14, $3F18 and $3F1C are the backdrop entries of the background palettes.
            std::uint32_t entry = address & 0x1F;
            if ((entry & 0x13) == 0x10) {
                entry &= 0x0F;
            }
            value = chip.palette[entry];
        } else {
            value = chip.ReadVram(address);
        }
        line += value < 0 ? " --" : " " + Hex(static_cast<std::uint32_t>(value), 2).substr(1);
    }
    out << line << std::endl;
    return true;
}

bool DebugFunctions::Poke(std::istream& arguments, std::ostream& out) {
    std::string where, what;
    if (!(arguments >> where >> what)) {
        return false;
    }
    const std::optional<std::uint16_t> address = debugger.ParseAddress(where);
    const std::optional<std::int64_t> value = Nes::Condition::ParseNumber(what);
    if (!address || !value || *value < 0 || *value > 0xFF) {
        return false;
    }
    Nes::Process* process = Machine(out);
    if (!process) {
        return true;
    }
    std::uint8_t* page = process->CpuWritePage(*address >> Nes::Process::PageShift);
    if (!page) {
        out << Hex(*address, 4) << " is not memory that can be written (ROM or a register)." << std::endl;
        return true;
    }
    page[*address & Nes::Process::PageMask] = static_cast<std::uint8_t>(*value);
    return true;
}

bool DebugFunctions::Disasm(std::istream& arguments, std::ostream& out) {
    Nes::Process* process = host.DebugMachine();
    std::string word;
    std::optional<std::uint16_t> start;
    std::uint32_t count = 10;
    if (arguments >> word) {
        start = debugger.ParseAddress(word);
        if (!start || !ReadCount(arguments, 10, 1000, count)) {
            return false;
        }
    }
    if (!Machine(out)) {
        return true;
    }
    std::uint16_t pc = start ? *start : static_cast<std::uint16_t>(process->GetCpu().pc);
    Nes::TextLine line;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (const std::string* label = debugger.symbols.NameOf(pc)) {
            out << *label << ":" << std::endl;
        }
        line.Clear();
        line.Hex4(pc);
        line.PadTo(6);
        const int opcode = Nes::PeekCpu(*process, pc);
        const std::size_t length =
            opcode < 0 ? 1 : Nes::DescribeOpcode(static_cast<std::uint8_t>(opcode)).length;
        for (std::size_t b = 0; b < length; ++b) {
            const int byte = Nes::PeekCpu(*process, static_cast<std::uint16_t>(pc + b));
            if (b) {
                line.Char(' ');
            }
            if (byte < 0) {
                line.Text("??");
            } else {
                line.Hex2(static_cast<std::uint32_t>(byte));
            }
        }
        line.PadTo(16);
        Nes::Disassemble(*process, pc, &debugger.symbols, false, line);
        const std::string source = debugger.symbols.SourceLineOf(pc);
        if (!source.empty()) {
            line.PadTo(40, true);
            line.Text("; ");
            line.Text(source);
        }
        out << line.Str() << std::endl;
        pc = static_cast<std::uint16_t>(pc + length);
    }
    return true;
}

bool DebugFunctions::Oam(std::ostream& out) {
    Nes::Process* process = Machine(out);
    if (!process) {
        return true;
    }
    const auto& oam = process->GetPpu().oam;
    // Four sprites a line: number, then y, tile, attributes and x.
    for (std::uint32_t sprite = 0; sprite < 64; sprite += 4) {
        std::string line;
        for (std::uint32_t i = sprite; i < sprite + 4; ++i) {
            const std::uint32_t base = i * 4;
            line += (i % 4 ? "  " : "") + std::to_string(100 + i).substr(1) + ": y" +
                    Hex(oam[base], 2).substr(1) + " t" + Hex(oam[base + 1], 2).substr(1) + " a" +
                    Hex(oam[base + 2], 2).substr(1) + " x" + Hex(oam[base + 3], 2).substr(1);
        }
        out << line << std::endl;
    }
    return true;
}

bool DebugFunctions::Trace(std::istream& arguments, std::ostream& out) {
    std::string file;
    if (Console::ReadToken(arguments, file) == Console::NoToken) {
        return false;
    }
    if (file == "off") {
        if (!debugger.Tracing()) {
            out << "No trace is being written." << std::endl;
        }
        debugger.StopTrace();
        return true;
    }
    if (debugger.StartTrace(file)) {
        out << "Tracing to " << file << "." << std::endl;
        WatchLoadedGame();
    }
    return true;
}

bool DebugFunctions::CodeDataLog(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        return false;
    }
    word = Lower(word);
    if (word == "off") {
        debugger.StopCodeDataLog();
        return true;
    }
    if (word != "on" && word != "save") {
        return false;
    }
    Nes::Process* process = Machine(out);
    if (!process) {
        return true;
    }
    if (word == "on") {
        debugger.StartCodeDataLog();
        return true;
    }
    std::string file;
    if (Console::ReadToken(arguments, file) == Console::NoToken) {
        file = host.DebugMachineFile();
        file = file.empty() ? "halvo.cdl" : std::filesystem::path(file).replace_extension(".cdl").string();
    }
    const std::vector<std::uint8_t> log = debugger.CodeDataLogFile();
    if (log.empty()) {
        out << "No code/data log was kept for this game: \"cdl on\" starts one." << std::endl;
        return true;
    }
    std::size_t code = 0, data = 0;
    const std::size_t prgSize = process->romImage->prgBankCount * std::size_t{Nes::RomImage::PrgBankSize};
    for (std::size_t i = 0; i < prgSize && i < log.size(); ++i) {
        code += log[i] & 1;
        data += (log[i] >> 1) & 1;
    }
    if (std::string error; !WriteFileAtomically(file, log.data(), log.size(), error)) {
        Console::ReportError("Halvo::DebugFunctions::CodeDataLog", __LINE__)
            << "Could not write " << file << ": " << error << "." << std::endl;
        return true;
    }
    out << file << ": " << code << " bytes of code, " << data << " of data, of " << prgSize << "."
        << std::endl;
    return true;
}

bool DebugFunctions::LoadSymbols(std::istream& arguments, std::ostream& out) {
    std::string file;
    if (Console::ReadToken(arguments, file) == Console::NoToken) {
        out << debugger.symbols.Count() << " labels." << std::endl;
        return true;
    }
    std::string error;
    const std::size_t before = debugger.symbols.Count();
    Nes::Process* process = host.DebugMachine();
    const std::uint32_t prgSize =
        process && process->romImage ? process->romImage->prgBankCount * Nes::RomImage::PrgBankSize : 0x8000;
    if (!debugger.symbols.Load(file, prgSize, error)) {
        out << error << std::endl;
        return true;
    }
    out << file << ": " << debugger.symbols.Count() - before << " labels." << std::endl;
    return true;
}

} // namespace Halvo
