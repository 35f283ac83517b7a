#include "nes/debug/TraceWriter.h"

#include <cerrno>
#include <cstring>

#include "nes/Process.h"

namespace Halvo::Nes {

namespace {

// A trace runs to megabytes a second: it goes out in large blocks.
constexpr std::size_t BufferSize = 1 << 20;
// The nestest log's columns: the bytes from 6, the mnemonic from 16 (an undocumented one's "*" in
// 15), the registers from 48.
constexpr std::size_t BytesColumn = 6;
constexpr std::size_t MarkColumn = 15;
constexpr std::size_t RegistersColumn = 48;

} // namespace

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
    buffer.reset(new char[BufferSize]);
    std::setvbuf(opened, buffer.get(), _IOFBF, BufferSize);
    file = opened;
    fileName = name;
    lines = 0;
    failed = false;
    return true;
}

bool TraceWriter::Close(std::string& error) {
    if (!file) {
        return true;
    }
    const bool flushed = std::fflush(file) == 0 && !failed;
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    buffer.reset();
    if (!flushed || !closed) {
        error = "Could not write the trace " + fileName +
                " in full: " + std::strerror(savedErrno ? savedErrno : EIO) + ".";
        return false;
    }
    return true;
}

void TraceWriter::FormatLine(const Process& process, Condition::Position position, const Symbols* symbols,
                             TextLine& out) {
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

bool TraceWriter::Write(const Process& process, Condition::Position position, const Symbols* symbols) {
    line.Clear();
    FormatLine(process, position, symbols, line);
    line.Char('\n');
    if (std::fwrite(line.Data(), 1, line.Size(), file) != line.Size()) {
        failed = true;
        return false;
    }
    ++lines;
    return true;
}

} // namespace Halvo::Nes
