#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "nes/debug/Condition.h"
#include "nes/debug/Disassembler.h"

namespace Halvo::Nes {

class Process;
class Symbols;

// One line per instruction, written before it runs, in the layout of the classic nestest log:
//   C000  4C F5 C5  JMP $C5F5                       A:00 X:00 Y:00 P:24 SP:FD PPU:241, 21 CYC:7
// PC, the instruction's bytes, its disassembly (undocumented opcodes marked "*", memory operands
// followed by their address and value), the registers, the PPU's line and dot and the processor cycle.
// A number that mostly grows by a little, as text: the trace's cycle column adds the few cycles
// between two lines to the digits instead of dividing a 64-bit number on every line.
class CycleText {
public:
    // The digits of `value`, valid until the next call.
    std::string_view Of(std::uint64_t value);

private:
    static constexpr std::size_t Size = 20;
    char digits[Size] = {};
    std::size_t start = Size;
    std::uint64_t last = 0;
};

class TraceWriter {
public:
    TraceWriter() = default;
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Starts a new file (replacing one of that name); false with `error` set when it cannot be made.
    bool Open(const std::string& fileName, std::string& error);
    // Ends the trace; false with `error` set when the file could not be written in full.
    bool Close(std::string& error);
    bool IsOpen() const { return file != nullptr; }
    const std::string& FileName() const { return fileName; }
    std::uint64_t Lines() const { return lines; }
    // False once a write has failed (the disk is full): the caller closes the trace and says so.
    bool Write(const Process& process, Condition::Position position, const Symbols* symbols);

    // The trace's line for the instruction at PC, without the line end.
    static void FormatLine(const Process& process, Condition::Position position, const Symbols* symbols,
                           TextLine& out, CycleText* cycles = nullptr);

private:
    // Lines gather in one block while the other goes to the file on a thread of its own, so that the
    // disk's time is not the machine's.
    static constexpr std::size_t BlockSize = 1 << 20;
    // Hands the filled block to the writer (waiting for it to finish the one before); false once a write
    // has failed.
    bool Flush();
    void WriteBlocks();

    std::FILE* file = nullptr;
    std::unique_ptr<char[]> blocks[2];
    char* filling = nullptr;
    std::size_t used = 0;
    std::string fileName;
    std::uint64_t lines = 0;
    CycleText cycles;

    std::thread writer;
    std::mutex mutex;
    std::condition_variable changed;
    // Guarded by `mutex`: the block waiting for the writer (null: none), the end of the trace, a
    // failed write.
    const char* pending = nullptr;
    std::size_t pendingSize = 0;
    bool closing = false;
    bool failed = false;
    int writeErrno = 0;
};

} // namespace Halvo::Nes
