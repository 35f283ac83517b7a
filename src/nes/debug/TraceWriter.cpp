#include "nes/debug/TraceWriter.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "nes/Process.h"

namespace Halvo::Nes {

namespace {

// The nestest log's columns: the bytes from 6, the mnemonic from 16 (an undocumented one's "*" in
// 15), the registers from 48.
constexpr std::size_t BytesColumn = 6;
constexpr std::size_t MarkColumn = 15;
constexpr std::size_t RegistersColumn = 48;

// The registers' columns, filled in place: the same forty-odd characters end every line.
constexpr char Registers[] = "A:00 X:00 Y:00 P:00 SP:00 PPU:  0,  0 CYC:";
constexpr std::size_t RegistersLength = sizeof Registers - 1;
constexpr char HexDigits[] = "0123456789ABCDEF";

void PutHex2(char* at, std::uint32_t value) {
    at[0] = HexDigits[(value >> 4) & 15];
    at[1] = HexDigits[value & 15];
}

// Right-aligned in three columns; false when it does not fit them.
bool PutDecimal3(char* at, std::int32_t value) {
    if (value < 0 || value > 999) {
        return false;
    }
    at[2] = static_cast<char>('0' + value % 10);
    at[1] = value >= 10 ? static_cast<char>('0' + value / 10 % 10) : ' ';
    at[0] = value >= 100 ? static_cast<char>('0' + value / 100) : ' ';
    return true;
}

void WriteRegisters(const Process& process, Condition::Position position, TextLine& out, CycleText* cycles) {
    const Cpu& cpu = process.GetCpu();
    char* const start = out.Reserve(RegistersLength + 20);
    if (start && PutDecimal3(start + 30, position.line) && PutDecimal3(start + 34, position.dot)) {
        std::memcpy(start, Registers, 30);
        start[33] = ',';
        std::memcpy(start + 37, Registers + 37, RegistersLength - 37);
        PutHex2(start + 2, cpu.a);
        PutHex2(start + 7, cpu.x);
        PutHex2(start + 12, cpu.y);
        PutHex2(start + 17, static_cast<std::uint8_t>(cpu.p));
        PutHex2(start + 23, cpu.s);
        char* const number = start + RegistersLength;
        if (cycles) {
            const std::string_view text = cycles->Of(process.CpuCycle());
            std::memcpy(number, text.data(), text.size());
            out.Commit(number + text.size());
        } else {
            out.Commit(std::to_chars(number, number + 20, process.CpuCycle()).ptr);
        }
        return;
    }
    // A line crowded by long labels, or a position outside the frame's lines and dots.
    out.Text("A:");
    out.Hex2(cpu.a);
    out.Text(" X:");
    out.Hex2(cpu.x);
    out.Text(" Y:");
    out.Hex2(cpu.y);
    out.Text(" P:");
    out.Hex2(static_cast<std::uint8_t>(cpu.p));
    out.Text(" SP:");
    out.Hex2(cpu.s);
    out.Text(" PPU:");
    out.Decimal(static_cast<std::uint64_t>(position.line), 3);
    out.Char(',');
    out.Decimal(static_cast<std::uint64_t>(position.dot), 3);
    out.Text(" CYC:");
    out.Decimal(process.CpuCycle());
}

} // namespace

std::string_view CycleText::Of(std::uint64_t value) {
    if (start == Size || value < last || value - last >= 1000) {
        const std::size_t length =
            static_cast<std::size_t>(std::to_chars(digits, digits + Size, value).ptr - digits);
        std::memmove(digits + Size - length, digits, length);
        start = Size - length;
    } else {
        // On locals: a store into the digits could otherwise alias the members.
        std::uint32_t add = static_cast<std::uint32_t>(value - last);
        std::size_t first = start;
        std::size_t at = Size - 1;
        std::uint32_t sum = static_cast<std::uint32_t>(digits[at] - '0') + add % 10;
        add /= 10;
        for (;;) {
            digits[at] = static_cast<char>('0' + sum % 10);
            add += sum / 10;
            if (add == 0) {
                break;
            }
            --at;
            if (at < first) {
                digits[at] = '0';
                first = at;
            }
            sum = static_cast<std::uint32_t>(digits[at] - '0') + add % 10;
            add /= 10;
        }
        start = first;
    }
    last = value;
    return {digits + start, Size - start};
}

TraceWriter::~TraceWriter() {
    std::string ignored;
    Close(ignored);
}

bool TraceWriter::Open(const std::string& name, std::string& error) {
    std::string ignored;
    Close(ignored);
    std::FILE* opened = std::fopen(name.c_str(), "wb");
    if (!opened) {
        error = "Could not write the trace " + name + ": " + std::strerror(errno) + ".";
        return false;
    }
    // The blocks are written whole: the file's own buffer would only copy them again.
    std::setvbuf(opened, nullptr, _IONBF, 0);
    for (std::unique_ptr<char[]>& block : blocks) {
        block.reset(new char[BlockSize]);
    }
    filling = blocks[0].get();
    used = 0;
    file = opened;
    fileName = name;
    lines = 0;
    cycles = CycleText();
    pending = nullptr;
    pendingSize = 0;
    closing = false;
    failed = false;
    writeErrno = 0;
    writer = std::thread([this] { WriteBlocks(); });
    return true;
}

bool TraceWriter::Close(std::string& error) {
    if (!file) {
        return true;
    }
    Flush();
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    changed.notify_all();
    writer.join();
    const bool closed = std::fclose(file) == 0;
    const int closeErrno = errno;
    file = nullptr;
    for (std::unique_ptr<char[]>& block : blocks) {
        block.reset();
    }
    filling = nullptr;
    if (failed || !closed) {
        error = "Could not write the trace " + fileName + " in full: " +
                std::strerror(failed && writeErrno ? writeErrno
                              : closed             ? EIO
                                                   : closeErrno) +
                ".";
        return false;
    }
    return true;
}

void TraceWriter::WriteBlocks() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return pending != nullptr || closing; });
        if (!pending) {
            return;
        }
        const char* const block = pending;
        const std::size_t size = pendingSize;
        lock.unlock();
        const bool written = std::fwrite(block, 1, size, file) == size;
        const int savedErrno = errno;
        lock.lock();
        if (!written && !failed) {
            failed = true;
            writeErrno = savedErrno;
        }
        pending = nullptr;
        changed.notify_all();
    }
}

bool TraceWriter::Flush() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return pending == nullptr; });
    if (used != 0) {
        pending = filling;
        pendingSize = used;
        filling = filling == blocks[0].get() ? blocks[1].get() : blocks[0].get();
        used = 0;
        changed.notify_all();
    }
    return !failed;
}

void TraceWriter::FormatLine(const Process& process, Condition::Position position, const Symbols* symbols,
                             TextLine& out, CycleText* cycles) {
    const Cpu& cpu = process.GetCpu();
    const std::uint16_t pc = static_cast<std::uint16_t>(cpu.pc);
    out.Hex4(pc);
    out.PadTo(BytesColumn);
    const int opcode = PeekCpu(process, pc);
    const std::size_t length = opcode < 0 ? 1 : DescribeOpcode(static_cast<std::uint8_t>(opcode)).length;
    for (std::size_t i = 0; i < length; ++i) {
        if (i) {
            out.Char(' ');
        }
        const int byte = PeekCpu(process, pc + static_cast<std::uint32_t>(i));
        if (byte < 0) {
            out.Text("??");
        } else {
            out.Hex2(static_cast<std::uint32_t>(byte));
        }
    }
    out.PadTo(MarkColumn);
    if (opcode < 0 || DescribeOpcode(static_cast<std::uint8_t>(opcode)).official) {
        out.Char(' ');
    }
    Disassemble(process, pc, symbols, true, out);
    out.PadTo(RegistersColumn, true);
    WriteRegisters(process, position, out, cycles);
}

bool TraceWriter::Write(const Process& process, Condition::Position position, const Symbols* symbols) {
    // Straight into the block, which always has room for a whole line.
    TextLine line(filling + used);
    FormatLine(process, position, symbols, line, &cycles);
    line.Char('\n');
    used += line.Size();
    ++lines;
    return used + TextLine::Capacity <= BlockSize || Flush();
}

} // namespace Halvo::Nes
