#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "nes/debug/Condition.h"
#include "nes/debug/Symbols.h"
#include "nes/debug/TraceWriter.h"

namespace Halvo::Nes {

class Cpu;
class Fiber;
class Process;

// A break: on executing an address range, on reading or writing one (the instruction that would
// access it stops before it runs), or on entering the NMI or the IRQ; with an optional condition.
struct Breakpoint {
    enum Kind : std::uint8_t { Execute = 1, Read = 2, Write = 4, Nmi = 8, Irq = 16 };
    std::uint32_t number = 0;
    std::uint8_t kinds = Execute;
    std::uint16_t first = 0;
    std::uint16_t last = 0;
    Condition condition;
    std::uint64_t hits = 0;
    // How it was set, for "breaks".
    std::string text;
};

// The machine's debugger: breaks, stepping, the trace, labels. It watches the processor only while
// something needs it (a break, a trace, a step under way): the processor then runs its instructions one
// at a time and asks BeforeInstruction before each; otherwise the processor's run is the plain one.
//
// While it watches, frames run on a fiber of their own (see Fiber), so that a stop in the middle of a
// frame can be left standing: the machine is then stopped, and Step, Next, Finish and Continue go on
// from the very instruction where it stopped.
class Debugger {
public:
    enum class FrameResult { Ended, Stopped };

    // Stop lines and the debugger's messages go to `out`.
    explicit Debugger(std::ostream& out);
    ~Debugger();
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    // The machine to watch (null: none). A machine stopped inside a frame is first run to the frame's end
    // without stopping, so that it is left between frames as a reset, a state or a new game expect.
    void Attach(Process* process);
    Process* Machine() const { return process; }
    // Runs the rest of a stopped frame without stopping; nothing when the machine is between frames.
    void FinishFrame();

    // The frame of the main loop or the runner: the plain one when nothing watches.
    FrameResult RunFrame(bool render);
    // The machine stands inside a frame, at a break or after a step.
    bool Stopped() const { return stopped; }
    // Something needs the processor watched: a break, the trace, a step under way.
    bool Watching() const;

    // From the stopped instruction (or the next frame's first one): runs `count` instructions; over a
    // subroutine (a JSR runs to its return, anything else is one step); to the return of the present
    // subroutine; or on until a break, for at most `frames` frames (0: to the end of this frame, and the
    // main loop goes on from there). Each ends with the stop line, unless the frame limit ran out.
    void Step(std::uint32_t count);
    void Next();
    void Finish();
    void Continue(std::uint32_t frames);

    // Breaks. Add returns the break's number; "unbreak N" removes one.
    std::uint32_t AddBreakpoint(Breakpoint breakpoint);
    bool RemoveBreakpoint(std::uint32_t number);
    const std::vector<Breakpoint>& Breakpoints() const { return breakpoints; }

    // "trace FILE" and "trace off"; false (with the message written) when the file cannot be made.
    bool StartTrace(const std::string& file);
    void StopTrace();
    bool Tracing() const { return trace.IsOpen(); }

    // The code/data log: a byte per PRG-ROM byte (then, in FCEUX's .cdl layout, a byte per CHR-ROM
    // byte, left 0), bit 0 set once the byte ran as an instruction's opcode or operand, bit 1 once an
    // instruction read it as data; bits 2 and 3 say in which 8 KiB window of $8000-$FFFF it was seen.
    void StartCodeDataLog();
    void StopCodeDataLog();
    bool LoggingCodeData() const { return logging; }
    // The file's bytes; empty when no log was kept for the present machine.
    std::vector<std::uint8_t> CodeDataLogFile() const;

    // The event view's record: where on the screen (line, dot) each write of a PPU, sound or board
    // register and each NMI and IRQ of the frame happened. Writes are seen before their instruction
    // runs; a register's value is the one a store writes (0 for a read-modify-write).
    struct FrameEvent {
        enum Kind : std::uint8_t { PpuWrite, ApuWrite, BoardWrite, Nmi, Irq };
        std::int32_t line = 0;
        std::int32_t dot = 0;
        std::uint16_t address = 0;
        std::uint8_t value = 0;
        Kind kind = PpuWrite;
    };
    void RecordEvents(bool on);
    bool RecordingEvents() const { return recordingEvents; }
    // The events of the last whole frame, in the order they happened.
    const std::vector<FrameEvent>& LastFrameEvents() const { return lastFrameEvents; }

    Symbols symbols;
    // A label's address, or a number as the console writes it ($C000, 0xC000, 49152).
    std::optional<std::uint16_t> ParseAddress(const std::string& word) const;
    Condition::Lookup LabelLookup() const;

    // Where the PPU stands now.
    Condition::Position PpuPosition() const;
    // The stop line: the trace's line of the instruction at PC.
    std::string StateLine() const;

    // The processor's calls while it watches.
    void BeforeInstruction();
    void OnInterrupt(std::uint16_t vector);

    // Frames a step, a return or a continue may run before giving up (there may be no such return).
    static constexpr std::uint32_t StepFrameLimit = 600;
    // The most events a frame keeps; a frame with more drops the rest.
    static constexpr std::size_t MaxFrameEvents = 8192;

private:
    enum class Mode { Run, Step, Next, Finish };

    void UpdateWatch();
    // Runs the fiber until it stops or ends its frame; true when it stopped.
    bool RunOnFiber();
    // Runs the fiber until it stops, for at most `frames` frame ends; true when it stopped.
    bool RunUntilStop(std::uint32_t frames);
    void Stop(const std::string& reason);
    const Breakpoint* BreakpointHit(std::uint16_t pc);

    std::ostream& out;
    Process* process = nullptr;
    std::unique_ptr<Fiber> fiber;
    // The frame on the fiber asked for a picture.
    bool render = true;
    bool frameEnded = false;
    bool stopped = false;
    // While FinishFrame runs out a frame: no break, step or trace stops it.
    bool finishing = false;

    Mode mode = Mode::Run;
    std::uint32_t stepsLeft = 0;
    std::uint16_t returnAddress = 0;
    std::uint8_t returnDepth = 0;
    std::uint8_t lastOpcode = 0;
    // The number of the break on an interrupt just entered (0: none): the stop comes before its
    // handler's first instruction.
    std::uint32_t interruptHit = 0;

    std::vector<Breakpoint> breakpoints;
    std::uint32_t nextNumber = 1;
    std::uint8_t breakKinds = 0;
    TraceWriter trace;
    void LogCodeData(std::uint16_t pc);
    bool logging = false;
    std::vector<std::uint8_t> codeDataLog;
    void RecordEvent(std::uint16_t pc);
    bool recordingEvents = false;
    std::vector<FrameEvent> frameEvents;
    std::vector<FrameEvent> lastFrameEvents;
};

} // namespace Halvo::Nes
