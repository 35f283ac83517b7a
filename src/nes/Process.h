#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "nes/Apu.h"
#include "nes/ButtonState.h"
#include "nes/Cpu.h"
#include "nes/Ports.h"
#include "nes/Ppu.h"
#include "nes/Region.h"
#include "nes/mmc/Mmc.h"
#include "ref/Object.h"

namespace Halvo::Nes {

struct RomImage;
class StateIo;
class ExactCpu;
class Process;

namespace SaveState {
// The page mappings' part of a state (the CPU's and the PPU's pages as memory and offset).
void MappingState(StateIo& io, Process& process);
} // namespace SaveState

// One NES machine: its components, the 2 KiB of internal RAM and the processor's memory map. The 64 KiB
// CPU address space is cut into 32 pages of 2 KiB; each page is read and written either directly
// through a pointer to 2 KiB of storage (RAM, PRG-ROM, work RAM) or, where the pointer is null, through
// a handler that receives the full address (the PPU registers, the ports, the mapper registers).
class Process : public Ref::Object {
public:
    using ReadHandler = std::uint8_t (*)(Process* process, std::uint32_t address);
    using WriteHandler = void (*)(Process* process, std::uint32_t address, std::uint8_t value);

    static constexpr std::uint32_t PageCount = 32;
    static constexpr std::uint32_t PageShift = 11;
    static constexpr std::uint32_t PageSize = 1u << PageShift;
    static constexpr std::uint32_t PageMask = PageSize - 1;
    static constexpr std::uint32_t RamSize = 2048;

    // The machine for a cartridge image, with the processor of that kind ("Static" for the line timing
    // model, "Exact" for the exact one), the PPU, the
    // board the image names and the controller ports with a joypad on port 0; null (and a report) when
    // one of them cannot be made. The image is not owned and must outlive the process. Hard-reset it
    // before the first frame.
    static Ref::Ptr<Process> Create(const std::string& cpuKind, RomImage* romImage);

    // A machine with no components yet: RAM cleared and mapped at $0000-$1FFF (mirrored four times),
    // every other page unmapped (reads give 0, writes are dropped). The image is not owned.
    explicit Process(RomImage* romImage);
    // Builds every component; throws std::runtime_error naming the one that could not be made.
    Process(const std::string& cpuKind, RomImage* romImage);
    ~Process() override;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // A hard reset clears RAM; both kinds rebuild the memory map and reset the ports, the PPU, the
    // board (which maps its banks) and last the processor (which reads the reset vector).
    void Reset(bool hard);
    // One frame, from the start of vertical blank to the end of the post-render line; with render
    // false the same timing runs and nothing is drawn.
    void RunFrame(bool render);

    // The handlers of a page that nothing answers: reads give 0, writes are dropped.
    static std::uint8_t ReadUnmapped(Process* process, std::uint32_t address);
    static void WriteUnmapped(Process* process, std::uint32_t address, std::uint8_t value);

    // Points one page at storage for both reads and writes (null for either leaves it to the handler).
    void MapCpuPage(std::uint32_t page, const std::uint8_t* read, std::uint8_t* write) {
        readPages[page] = read;
        writePages[page] = write;
    }

    // The CPU byte read of a 16-bit address: the page's storage, or its handler with the full address.
    std::uint8_t CpuRead(std::uint32_t address) {
        const std::uint32_t page = (address >> PageShift) & (PageCount - 1);
        if (const std::uint8_t* data = readPages[page]) [[likely]] {
            return data[address & PageMask];
        }
        return readHandlers[page](this, address);
    }

    // The little-endian word at a 16-bit address (operands, vectors, jump targets). The high byte
    // comes from the next address as mapped: past the end of a page that is the next page, past $FFFF
    // it is $0000. Both bytes come straight from one page's storage when they can; otherwise each is
    // read with `readByte`, the high byte first, as the handlers of the register pages see it.
    template <class ReadByte>
    [[gnu::always_inline]] std::uint16_t ReadWord(std::uint32_t address, ReadByte readByte) const {
        const std::uint32_t offset = address & PageMask;
        const std::uint8_t* data = readPages[(address >> PageShift) & (PageCount - 1)];
        if (data && offset != PageMask) [[likely]] {
            return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
        }
        const std::uint8_t high = readByte(static_cast<std::uint16_t>(address + 1));
        return static_cast<std::uint16_t>(high << 8 | readByte(static_cast<std::uint16_t>(address)));
    }

    std::uint16_t CpuReadWord(std::uint32_t address) {
        return ReadWord(address, [this](std::uint16_t byteAddress) { return CpuRead(byteAddress); });
    }

    // The CPU byte write of a 16-bit address: the page's storage, or its handler with the full address.
    void CpuWrite(std::uint32_t address, std::uint8_t value) {
        const std::uint32_t page = (address >> PageShift) & (PageCount - 1);
        if (std::uint8_t* data = writePages[page]) [[likely]] {
            data[address & PageMask] = value;
            return;
        }
        writeHandlers[page](this, address, value);
    }

    // The processor cycles run since power-up: the dots handed to the processor at the line starts,
    // less those it has still to run, in cycles.
    std::uint64_t CpuCycle() const {
        if (exactCpu) [[unlikely]] {
            return ExactCycle();
        }
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(dotBudget) - cpu->counter) /
               Cpu::DotsPerCycle;
    }
    // The one place where the machine's time moves on: at the start of every scanline the processor's
    // budget grows by the line's dots (`target` then falls by the slices given to Execute until it
    // reaches 0 at the end of the line), and the sound unit and the board's cycle IRQ are brought up
    // to the new line when they are due.
    void StartLine(std::int32_t dots) {
        cpu->counter += dots;
        cpu->target = dots;
        cpu->lineStart = cpu->counter;
        dotBudget += static_cast<std::uint32_t>(dots);
        if (CpuCycle() >= apuDue) [[unlikely]] {
            ServiceApu();
        }
        if (boardIrqCycle != Apu::Never) [[unlikely]] {
            PlaceBoardIrq();
        }
    }

    // Saves or loads RAM and the machine's time account (the page mappings are saved apart).
    void State(StateIo& io);
    // The timing model's name: "exact" or "line".
    const char* TimingName() const { return exactCpu ? "exact" : "line"; }

    std::uint64_t ExactCycle() const;
    // Brings the sound unit up to the processor's present cycle at a line start: its fetches take their
    // cycles from the processor, and its interrupt reaches the processor while the I flag lets it.
    void ServiceApu();
    // Asks the board when its IRQ line next rises and has the processor's runs stop at that cycle.
    // Boards whose IRQ counts processor cycles call it after every write that changes the count.
    void ScheduleBoardIrq() {
        boardIrqCycle = mmc->NextIrqCycle();
        PlaceBoardIrq();
    }
    // `boardIrqCycle` as the processor's `irqAt`; again at every line start, as `counter` moves on.
    void PlaceBoardIrq() {
        std::int32_t at = Cpu::NoIrq;
        if (boardIrqCycle != Apu::Never) {
            const std::int64_t counterThen = static_cast<std::int64_t>(dotBudget) -
                                             static_cast<std::int64_t>(boardIrqCycle) * Cpu::DotsPerCycle;
            at = static_cast<std::int32_t>(std::clamp<std::int64_t>(counterThen, Cpu::NoIrq + 1, INT32_MAX));
        }
        cpu->irqAt = at;
        cpu->stop = std::max(cpu->stop, at);
    }
    // The processor has reached `boardIrqCycle` between two instructions: the board raises its line.
    void RunBoardIrq() {
        mmc->OnIrqCycle(boardIrqCycle);
        ScheduleBoardIrq();
    }

    RomImage* romImage;
    // The console the machine is: chosenRegion when the player or the program chose one, otherwise the
    // one the image says. Every reset settles `region`, which the PPU, the sound unit and the boards
    // read for their timings.
    std::optional<Region> chosenRegion;
    Region region = Region::Ntsc;
    Region EffectiveRegion() const {
        return chosenRegion ? *chosenRegion : romImage ? RegionOfImage(*romImage, "") : Region::Ntsc;
    }
    // The machine's parts, for the shell, the runner and tests to drive and inspect. A machine made by
    // the constructor with a kind has every part; a bare one (tests, benchmarks) has only those put in.
    Nes::Cpu& GetCpu() const { return *cpu; }
    Nes::Ppu& GetPpu() const { return *ppu; }
    Nes::Mmc& GetMmc() const { return *mmc; }
    Nes::Ports& GetPorts() const { return *ports; }
    Nes::Apu& GetApu() const { return *apu; }
    bool HasApu() const { return apu != nullptr; }
    // Puts a part of one's own into a bare machine (a scripted processor, a logging board).
    void SetCpu(Ref::Ptr<Nes::Cpu> part) { cpu = std::move(part); }
    void SetPpu(Ref::Ptr<Nes::Ppu> part) { ppu = std::move(part); }
    void SetMmc(Ref::Ptr<Nes::Mmc> part) { mmc = std::move(part); }
    // The 2 KiB of internal RAM at $0000-$07FF, as a debugger or a test program's judge sees it.
    std::array<std::uint8_t, RamSize>& Ram() { return ram; }
    // What the players hold on the two joypads; the ports latch from it.
    ButtonState& Buttons() { return buttons; }
    const ButtonState& Buttons() const { return buttons; }
    // Has a page's reads or writes answered by a handler (where no storage is mapped for them); a board
    // that answers part of a page finds what answered before and passes the rest on to it.
    void SetCpuReadHandler(std::uint32_t page, ReadHandler handler) { readHandlers[page] = handler; }
    void SetCpuWriteHandler(std::uint32_t page, WriteHandler handler) { writeHandlers[page] = handler; }
    ReadHandler CpuReadHandler(std::uint32_t page) const { return readHandlers[page]; }
    WriteHandler CpuWriteHandler(std::uint32_t page) const { return writeHandlers[page]; }
    const std::uint8_t* CpuReadPage(std::uint32_t page) const { return readPages[page]; }
    std::uint8_t* CpuWritePage(std::uint32_t page) const { return writePages[page]; }
    // Set by a state load that failed because the state was written by the other timing model.
    bool OtherTimingState() const { return otherTimingState; }
    bool IsExact() const { return exactCpu != nullptr; }
    // The cycle at which the board's IRQ line next rises, or Apu::Never.
    std::uint64_t BoardIrqCycle() const { return boardIrqCycle; }

private:
    // The machine's own parts reach each other's fields; everything else goes through the operations
    // above. The register pages' handlers are members of Bus.
    friend class Cpu;
    friend class StaticCpuCore;
    friend class StaticCpu;
    friend class ExactCpu;
    friend class Ppu;
    friend class Apu;
    friend class Mmc;
    friend class NintendoPorts;
    friend class RewindBuffer;
    friend void SaveState::MappingState(StateIo& io, Process& process);
    struct Bus;

    Ref::Ptr<Cpu> cpu;
    // The processor when the machine runs the exact timing model ("Exact"), else null.
    ExactCpu* exactCpu = nullptr;
    // The data bus as a read of an address nothing drives finds it: the exact model's last byte on
    // the bus; always 0 in the line model.
    std::uint8_t openBus = 0;
    // Set by a state load that failed because the state was written by the other timing model.
    bool otherTimingState = false;
    Ref::Ptr<Ppu> ppu;
    Ref::Ptr<Mmc> mmc;
    Ref::Ptr<Ports> ports;
    Ref::Ptr<Apu> apu;
    // Dots given to the processor since power-up; the PPU adds each line's.
    std::uint64_t dotBudget = 0;
    // The cycle from which a line start must bring the sound unit up to date.
    std::uint64_t apuDue = Apu::Never;
    // The cycle at which the board's IRQ line next rises, or Never.
    std::uint64_t boardIrqCycle = Apu::Never;
    // What the players hold on the two joypads, which latch from it.
    ButtonState buttons;
    // Held inline: zero-page and stack accesses reach it at a fixed offset from the process.
    std::array<std::uint8_t, RamSize> ram{};
    std::array<const std::uint8_t*, PageCount> readPages{};
    std::array<ReadHandler, PageCount> readHandlers{};
    std::array<std::uint8_t*, PageCount> writePages{};
    std::array<WriteHandler, PageCount> writeHandlers{};
};

} // namespace Halvo::Nes
