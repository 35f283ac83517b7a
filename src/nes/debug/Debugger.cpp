#include "nes/debug/Debugger.h"

#include <algorithm>
#include <string_view>

#include "nes/Process.h"
#include "nes/debug/Disassembler.h"
#include "nes/debug/Fiber.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint8_t Jsr = 0x20;
constexpr std::uint8_t Rts = 0x60;
constexpr std::uint8_t Rti = 0x40;

} // namespace

Debugger::Debugger(std::ostream& out) : out(out) {}

Debugger::~Debugger() {
    if (process) {
        process->GetCpu().debugger = nullptr;
    }
}

void Debugger::Attach(Process* machine) {
    FinishFrame();
    if (process) {
        process->GetCpu().debugger = nullptr;
    }
    process = machine;
    mode = Mode::Run;
    // A log belongs to one cartridge.
    codeDataLog.clear();
    if (logging && process) {
        StartCodeDataLog();
    }
    interruptHit = 0;
    UpdateWatch();
}

void Debugger::FinishFrame() {
    if (!stopped || !process) {
        stopped = false;
        return;
    }
    finishing = true;
    mode = Mode::Run;
    RunOnFiber();
    finishing = false;
    if (process->HasApu()) {
        process->GetApu().samples.clear();
    }
    UpdateWatch();
}

bool Debugger::Watching() const {
    return !breakpoints.empty() || trace.IsOpen() || logging || recordingEvents || mode != Mode::Run;
}

void Debugger::RecordEvents(bool on) {
    recordingEvents = on;
    // Room for a busy frame's writes, taken before the frames run.
    frameEvents.reserve(MaxFrameEvents);
    lastFrameEvents.reserve(MaxFrameEvents);
    if (!on) {
        frameEvents.clear();
        lastFrameEvents.clear();
    }
    UpdateWatch();
}

void Debugger::RecordEvent(std::uint16_t pc) {
    const int opcode = PeekCpu(*process, pc);
    const OpcodeInfo& info = DescribeOpcode(static_cast<std::uint8_t>(opcode < 0 ? 0 : opcode));
    if (info.access != MemoryAccess::Write && info.access != MemoryAccess::ReadWrite) {
        return;
    }
    const std::int32_t address = EffectiveAddress(*process, pc);
    FrameEvent event;
    if (address >= 0x2000 && address < 0x4000) {
        event.kind = FrameEvent::PpuWrite;
    } else if (address >= 0x4000 && address <= 0x4017 && address != 0x4014 && address != 0x4016) {
        event.kind = FrameEvent::ApuWrite;
    } else if (address >= 0x4020) {
        // The board's registers: what is not storage at $4020 and up.
        if (process->CpuWritePage(static_cast<std::uint32_t>(address) >> Process::PageShift)) {
            return;
        }
        event.kind = FrameEvent::BoardWrite;
    } else {
        return;
    }
    const Cpu& cpu = process->GetCpu();
    const std::string_view mnemonic = info.mnemonic;
    event.value = mnemonic == "STA"   ? cpu.a
                  : mnemonic == "STX" ? cpu.x
                  : mnemonic == "STY" ? cpu.y
                  : mnemonic == "SAX" ? static_cast<std::uint8_t>(cpu.a & cpu.x)
                                      : 0;
    event.address = static_cast<std::uint16_t>(address);
    const Condition::Position position = PpuPosition();
    event.line = position.line;
    event.dot = position.dot;
    if (frameEvents.size() < MaxFrameEvents) {
        frameEvents.push_back(event);
    }
}

void Debugger::StartCodeDataLog() {
    const std::size_t prgSize = process && process->romImage
                                    ? process->romImage->prgBankCount * std::size_t{RomImage::PrgBankSize}
                                    : 0;
    if (codeDataLog.size() != prgSize) {
        codeDataLog.assign(prgSize, 0);
    }
    logging = true;
    UpdateWatch();
}

void Debugger::StopCodeDataLog() {
    logging = false;
    UpdateWatch();
}

std::vector<std::uint8_t> Debugger::CodeDataLogFile() const {
    std::vector<std::uint8_t> file = codeDataLog;
    if (!file.empty() && process && process->romImage) {
        file.resize(file.size() + process->romImage->chrBankCount * std::size_t{RomImage::ChrBankSize}, 0);
    }
    return file;
}

void Debugger::LogCodeData(std::uint16_t pc) {
    const std::uint8_t* prg = process->romImage ? process->romImage->prgRom.get() : nullptr;
    if (!prg || codeDataLog.empty()) {
        return;
    }
    // The PRG-ROM byte a processor address shows, through the page table as the board has mapped it.
    const auto mark = [&](std::uint32_t address, std::uint8_t flag) {
        address &= 0xFFFF;
        if (address < 0x8000) {
            return;
        }
        const std::uint8_t* page = process->CpuReadPage(address >> Process::PageShift);
        if (!page) {
            return;
        }
        const std::ptrdiff_t offset = page + (address & Process::PageMask) - prg;
        if (offset >= 0 && static_cast<std::size_t>(offset) < codeDataLog.size()) {
            codeDataLog[static_cast<std::size_t>(offset)] |=
                static_cast<std::uint8_t>(flag | ((address - 0x8000) >> 13) << 2);
        }
    };
    const int opcode = PeekCpu(*process, pc);
    const OpcodeInfo& info = DescribeOpcode(static_cast<std::uint8_t>(opcode < 0 ? 0 : opcode));
    for (std::uint32_t i = 0; i < info.length; ++i) {
        mark(pc + i, 1);
    }
    if (info.access == MemoryAccess::Read || info.access == MemoryAccess::ReadWrite) {
        if (const std::int32_t address = EffectiveAddress(*process, pc); address >= 0) {
            mark(static_cast<std::uint32_t>(address), 2);
        }
    }
}

void Debugger::UpdateWatch() {
    if (process) {
        process->GetCpu().debugger = Watching() ? this : nullptr;
    }
}

Debugger::FrameResult Debugger::RunFrame(bool renderFrame) {
    if (!process) {
        return FrameResult::Ended;
    }
    if (stopped) {
        return FrameResult::Stopped;
    }
    if (!Watching()) {
        process->RunFrame(renderFrame);
        return FrameResult::Ended;
    }
    render = renderFrame;
    return RunOnFiber() ? FrameResult::Stopped : FrameResult::Ended;
}

bool Debugger::RunOnFiber() {
    if (!fiber) {
        fiber = std::make_unique<Fiber>([this] {
            for (;;) {
                process->RunFrame(render);
                frameEnded = true;
                if (recordingEvents) {
                    lastFrameEvents.swap(frameEvents);
                    frameEvents.clear();
                }
                fiber->Yield();
            }
        });
    }
    frameEnded = false;
    stopped = false;
    fiber->Resume();
    return stopped;
}

bool Debugger::RunUntilStop(std::uint32_t frames) {
    for (std::uint32_t ended = 0; ended < frames;) {
        if (RunOnFiber()) {
            UpdateWatch();
            return true;
        }
        ++ended;
        // Frames run inside a command are not heard.
        if (process->HasApu()) {
            process->GetApu().samples.clear();
        }
    }
    mode = Mode::Run;
    UpdateWatch();
    return false;
}

void Debugger::Step(std::uint32_t count) {
    if (!process || count == 0) {
        return;
    }
    mode = Mode::Step;
    // The stopped instruction runs first without a call of BeforeInstruction; from between frames the
    // first call comes before anything has run.
    stepsLeft = stopped ? count : count + 1;
    UpdateWatch();
    if (!RunUntilStop(StepFrameLimit)) {
        out << "No stop within " << StepFrameLimit << " frames." << std::endl;
    }
}

void Debugger::Next() {
    if (!process) {
        return;
    }
    const Cpu& cpu = process->GetCpu();
    if (PeekCpu(*process, cpu.pc) != Jsr) {
        Step(1);
        return;
    }
    mode = Mode::Next;
    returnAddress = static_cast<std::uint16_t>(cpu.pc + 3);
    returnDepth = cpu.s;
    UpdateWatch();
    if (!RunUntilStop(StepFrameLimit)) {
        out << "The subroutine did not return within " << StepFrameLimit << " frames." << std::endl;
    }
}

void Debugger::Finish() {
    if (!process) {
        return;
    }
    mode = Mode::Finish;
    returnDepth = process->GetCpu().s;
    // The stopped instruction may itself be the return.
    lastOpcode = 0;
    UpdateWatch();
    if (!RunUntilStop(StepFrameLimit)) {
        out << "No return within " << StepFrameLimit << " frames." << std::endl;
    }
}

void Debugger::Continue(std::uint32_t frames) {
    mode = Mode::Run;
    UpdateWatch();
    if (!process || (!stopped && frames == 0)) {
        return;
    }
    if (!RunUntilStop(std::max(frames, 1u)) && frames > 0) {
        out << "No break within " << frames << " frames." << std::endl;
    }
}

std::uint32_t Debugger::AddBreakpoint(Breakpoint breakpoint) {
    breakpoint.number = nextNumber++;
    breakKinds |= breakpoint.kinds;
    breakpoints.push_back(std::move(breakpoint));
    UpdateWatch();
    return breakpoints.back().number;
}

bool Debugger::RemoveBreakpoint(std::uint32_t number) {
    const auto found = std::find_if(breakpoints.begin(), breakpoints.end(),
                                    [number](const Breakpoint& b) { return b.number == number; });
    if (found == breakpoints.end()) {
        return false;
    }
    if (interruptHit == number) {
        interruptHit = 0;
    }
    breakpoints.erase(found);
    breakKinds = 0;
    for (const Breakpoint& b : breakpoints) {
        breakKinds |= b.kinds;
    }
    UpdateWatch();
    return true;
}

bool Debugger::StartTrace(const std::string& file) {
    std::string error;
    if (!trace.Open(file, error)) {
        out << error << std::endl;
        return false;
    }
    UpdateWatch();
    return true;
}

void Debugger::StopTrace() {
    std::string error;
    if (trace.IsOpen()) {
        const std::string name = trace.FileName();
        const std::uint64_t lines = trace.Lines();
        if (trace.Close(error)) {
            out << "Trace " << name << ": " << lines << " lines." << std::endl;
        } else {
            out << error << std::endl;
        }
    }
    UpdateWatch();
}

std::optional<std::uint16_t> Debugger::ParseAddress(const std::string& word) const {
    if (const std::optional<std::int64_t> number = Condition::ParseNumber(word)) {
        if (*number >= 0 && *number <= 0xFFFF) {
            return static_cast<std::uint16_t>(*number);
        }
        return std::nullopt;
    }
    return symbols.AddressOf(word);
}

Condition::Lookup Debugger::LabelLookup() const {
    return [this](const std::string& name) { return symbols.AddressOf(name); };
}

Condition::Position Debugger::PpuPosition() const {
    if (!process) {
        return {};
    }
    const Ppu& ppu = process->GetPpu();
    if (process->IsExact()) {
        return {ppu.scanline, ppu.ExactDot()};
    }
    // The line model counts a line's dots down from its start in the processor's budget.
    const Cpu& cpu = process->GetCpu();
    const std::int32_t dot = std::clamp(cpu.lineStart - cpu.counter, 0, std::max(ppu.dotsPerLine - 1, 0));
    return {ppu.scanline, dot};
}

std::string Debugger::StateLine() const {
    if (!process) {
        return {};
    }
    TextLine line;
    TraceWriter::FormatLine(*process, PpuPosition(), &symbols, line);
    return line.Str();
}

const Breakpoint* Debugger::BreakpointHit(std::uint16_t pc) {
    std::int32_t accessed = -2;
    MemoryAccess access = MemoryAccess::None;
    for (Breakpoint& b : breakpoints) {
        bool hit = (b.kinds & Breakpoint::Execute) && pc >= b.first && pc <= b.last;
        if (!hit && (b.kinds & (Breakpoint::Read | Breakpoint::Write))) {
            if (accessed == -2) {
                accessed = EffectiveAddress(*process, pc);
                const int opcode = PeekCpu(*process, pc);
                access = opcode < 0 ? MemoryAccess::None
                                    : DescribeOpcode(static_cast<std::uint8_t>(opcode)).access;
            }
            const bool reads = access == MemoryAccess::Read || access == MemoryAccess::ReadWrite;
            const bool writes = access == MemoryAccess::Write || access == MemoryAccess::ReadWrite;
            hit = accessed >= b.first && accessed <= b.last &&
                  (((b.kinds & Breakpoint::Read) && reads) || ((b.kinds & Breakpoint::Write) && writes));
        }
        if (hit && (b.condition.Empty() || b.condition.Evaluate(*process, PpuPosition()) != 0)) {
            ++b.hits;
            return &b;
        }
    }
    return nullptr;
}

void Debugger::Stop(const std::string& reason) {
    stopped = true;
    mode = Mode::Run;
    out << reason << StateLine() << std::endl;
    fiber->Yield();
}

void Debugger::BeforeInstruction() {
    const Cpu& cpu = process->GetCpu();
    const std::uint16_t pc = static_cast<std::uint16_t>(cpu.pc);
    // Stops only on the fiber: a frame run some other way (a rewind's replay) has nowhere to stop.
    if (!finishing && fiber && fiber->Running()) {
        if (interruptHit) {
            const std::uint32_t number = interruptHit;
            interruptHit = 0;
            Stop("Break " + std::to_string(number) + ": ");
        } else if (const Breakpoint* hit = breakKinds ? BreakpointHit(pc) : nullptr) {
            Stop("Break " + std::to_string(hit->number) + ": ");
        } else if (mode == Mode::Step) {
            if (--stepsLeft == 0) {
                Stop("");
            }
        } else if (mode == Mode::Next) {
            if (pc == returnAddress && cpu.s == returnDepth) {
                Stop("");
            }
        } else if (mode == Mode::Finish) {
            if ((lastOpcode == Rts || lastOpcode == Rti) && cpu.s > returnDepth) {
                Stop("");
            }
        }
    }
    const int opcode = PeekCpu(*process, cpu.pc);
    lastOpcode = static_cast<std::uint8_t>(opcode < 0 ? 0 : opcode);
    if (logging) {
        LogCodeData(pc);
    }
    if (recordingEvents) {
        RecordEvent(pc);
    }
    if (trace.IsOpen() && !trace.Write(*process, PpuPosition(), &symbols)) {
        StopTrace();
    }
}

void Debugger::OnInterrupt(std::uint16_t vector) {
    if (recordingEvents && frameEvents.size() < MaxFrameEvents) {
        const Condition::Position position = PpuPosition();
        FrameEvent event;
        event.kind = vector == Cpu::NmiVector ? FrameEvent::Nmi : FrameEvent::Irq;
        event.line = position.line;
        event.dot = position.dot;
        frameEvents.push_back(event);
    }
    const std::uint8_t kind = vector == Cpu::NmiVector ? Breakpoint::Nmi : Breakpoint::Irq;
    if (!(breakKinds & kind)) {
        return;
    }
    for (Breakpoint& b : breakpoints) {
        if ((b.kinds & kind) && (b.condition.Empty() || b.condition.Evaluate(*process, PpuPosition()) != 0)) {
            ++b.hits;
            interruptHit = b.number;
            return;
        }
    }
}

} // namespace Halvo::Nes
