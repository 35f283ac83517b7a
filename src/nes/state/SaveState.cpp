#include "nes/state/SaveState.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

#include "nes/Process.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/RomImage.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes::SaveState {

namespace {

constexpr char Signature[8] = {'H', 'A', 'L', 'V', 'O', 'S', 'T', 'A'};
// Signature, version, length, PRG and CHR checksums.
constexpr std::size_t HeaderSize = 8 + 4 * 4;
constexpr std::size_t SectionHeaderSize = 8;
// The farthest a board's IRQ is scheduled ahead: the FME-7's 16-bit cycle counter, with room.
constexpr std::int64_t MaxIrqDistance = std::int64_t{1} << 17;

// The memories a page can show, numbered as the mappings store them; 0 is "nothing mapped".
struct Memory {
    const std::uint8_t* base = nullptr;
    std::size_t size = 0;
    bool writable = false;
};
// The machine's own memories, then those of the board.
constexpr std::size_t MachineMemoryCount = 7;
constexpr std::size_t MaxBoardMemories = 4;
using Memories = std::array<Memory, MachineMemoryCount + MaxBoardMemories>;

Memories MachineMemories(Process& process) {
    const RomImage& image = *process.romImage;
    const Mmc& mmc = process.GetMmc();
    const auto owned = [](const std::unique_ptr<std::uint8_t[]>& block, std::size_t size) {
        return Memory{block.get(), block ? size : 0, true};
    };
    Memories memories = {
        Memory{},
        Memory{process.Ram().data(), Process::RamSize, true},
        Memory{image.prgRom.get(), std::size_t{image.prgBankCount} * RomImage::PrgBankSize, false},
        Memory{image.chrRom.get(), image.chrRom ? std::size_t{image.chrBankCount} * RomImage::ChrBankSize : 0,
               false},
        owned(mmc.wram, mmc.wramSize),
        owned(mmc.chrRam, mmc.chrRamSize),
        owned(mmc.nameTableRam, Mmc::NameTableRamSize)};
    for (std::uint32_t i = 0; i < MaxBoardMemories; ++i) {
        const Mmc::OwnMemory own = process.GetMmc().StateMemory(i);
        if (own.size == 0) {
            break;
        }
        memories[MachineMemoryCount + i] = Memory{own.data, own.size, own.writable};
    }
    return memories;
}

// One page pointer as a memory number and an offset. A loaded page must lie wholly inside its memory,
// and a page that is written through must not be ROM.
template <class Byte>
void PageState(StateIo& io, const Memories& memories, Byte*& page, std::size_t pageSize, bool written) {
    std::uint8_t memory = 0;
    std::uint32_t offset = 0;
    // Loading starts from the page as it is, which a file without the field leaves alone.
    if (page) {
        memory = 0xFF; // storage no memory of the list holds: refused when loaded
        for (std::uint8_t i = 1; i < memories.size(); ++i) {
            const Memory& candidate = memories[i];
            if (page >= candidate.base && page < candidate.base + candidate.size) {
                memory = i;
                offset = static_cast<std::uint32_t>(page - candidate.base);
                break;
            }
        }
    }
    io(memory, offset);
    if (!io.Loading() || !io.Good()) {
        return;
    }
    if (memory == 0) {
        page = nullptr;
        return;
    }
    if (memory >= memories.size()) {
        io.Fail();
        return;
    }
    const Memory& chosen = memories[memory];
    if (chosen.size < pageSize || offset > chosen.size - pageSize || (written && !chosen.writable)) {
        io.Fail();
        return;
    }
    page = const_cast<Byte*>(chosen.base + offset);
}

struct Section {
    char tag[5];
    std::function<void(StateIo&, Process&)> state;
};

const std::array<Section, 7>& Sections() {
    static const std::array<Section, 7> sections = {{
        {"CPU ", [](StateIo& io, Process& process) { process.GetCpu().State(io); }},
        {"PPU ", [](StateIo& io, Process& process) { process.GetPpu().State(io); }},
        {"APU ", [](StateIo& io, Process& process) { process.GetApu().State(io); }},
        {"PORT", [](StateIo& io, Process& process) { process.GetPorts().State(io); }},
        {"CART", [](StateIo& io, Process& process) { process.GetMmc().State(io); }},
        {"MACH", [](StateIo& io, Process& process) { process.State(io); }},
        {"MAPS", MappingState},
    }};
    return sections;
}

void PutWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void PutWordAt(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t WordAt(const std::uint8_t* data) {
    return static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16) | std::uint32_t{data[3]} << 24;
}

std::uint32_t PrgChecksum(const RomImage& image) {
    return Crc32::Of(image.prgRom.get(),
                     image.prgRom ? std::size_t{image.prgBankCount} * RomImage::PrgBankSize : 0);
}

std::uint32_t ChrChecksum(const RomImage& image) {
    return Crc32::Of(image.chrRom.get(),
                     image.chrRom ? std::size_t{image.chrBankCount} * RomImage::ChrBankSize : 0);
}

} // namespace

void MappingState(StateIo& io, Process& process) {
    const Memories memories = MachineMemories(process);
    for (std::uint32_t page = 0; page < Process::PageCount; ++page) {
        const StateIo::Scope scope(io, "cpu", page);
        PageState(io, memories, process.readPages[page], Process::PageSize, false);
        PageState(io, memories, process.writePages[page], Process::PageSize, true);
    }
    Ppu& ppu = process.GetPpu();
    for (std::uint32_t page = 0; page < Ppu::VramPageCount; ++page) {
        const StateIo::Scope scope(io, "ppu", page);
        io(ppu.vramReadOnly[page]);
        PageState(io, memories, ppu.vramPages[page], std::size_t{1} << Ppu::VramPageShift,
                  !ppu.vramReadOnly[page]);
    }
}

void WriteMachine(Process& process, std::vector<std::uint8_t>& out) {
    out.clear();
    for (const Section& section : Sections()) {
        out.insert(out.end(), section.tag, section.tag + 4);
        const std::size_t lengthAt = out.size();
        PutWord(out, 0);
        StateIo io(out);
        section.state(io, process);
        PutWordAt(out, lengthAt, static_cast<std::uint32_t>(out.size() - lengthAt - 4));
    }
}

bool ReadMachine(Process& process, const std::uint8_t* data, std::size_t size, std::string& error,
                 std::uint32_t version) {
    std::array<const std::uint8_t*, 7> found{};
    std::array<std::uint32_t, 7> lengths{};
    for (std::size_t at = 0; at < size;) {
        if (size - at < SectionHeaderSize) {
            error = "it is truncated";
            return false;
        }
        const std::uint32_t length = WordAt(data + at + 4);
        if (length > size - at - SectionHeaderSize) {
            error = "it is truncated";
            return false;
        }
        const std::string tag(reinterpret_cast<const char*>(data + at), 4);
        std::size_t index = 0;
        while (index < found.size() && tag != Sections()[index].tag) {
            ++index;
        }
        if (index == found.size() || found[index]) {
            error = "it holds an unknown or repeated section \"" + tag + "\"";
            return false;
        }
        found[index] = data + at + SectionHeaderSize;
        lengths[index] = length;
        at += SectionHeaderSize + length;
    }
    for (std::size_t index = 0; index < found.size(); ++index) {
        const std::string tag = Sections()[index].tag;
        if (!found[index]) {
            error = "it has no \"" + tag + "\" section";
            return false;
        }
        StateIo io(found[index], lengths[index], version);
        Sections()[index].state(io, process);
        if (io.WrongSize()) {
            error = "its \"" + tag + "\" section has the wrong size for this machine";
            return false;
        }
        if (!io.Good()) {
            error = "its \"" + tag + "\" section holds a value this machine cannot take";
            return false;
        }
    }
    // The sound unit's clock follows the processor's (a DMC fetch's stall at most ahead of it).
    const auto lag = static_cast<std::int64_t>(process.CpuCycle() - process.GetApu().cycle);
    if (lag < 0 || lag > 64) {
        error = "its \"APU \" section holds a value this machine cannot take";
        return false;
    }
    if (version < 2) {
        // Format 1 had no line: the sound unit's inputs are its flags.
        process.GetCpu().SetIrqInput(Cpu::IrqFrameCounter, process.GetApu().frameIrq);
        process.GetCpu().SetIrqInput(Cpu::IrqDmc, process.GetApu().dmc.irqFlag);
    }
    // A board's IRQ is due within a 16-bit count of cycles (or was, and is raised at once). One said to
    // be ages away or ages ago, by the machine or by the board's own registers, would overflow the
    // processor's stop or have the machine catching up with it IRQ by IRQ.
    const auto nearNow = [&process](std::uint64_t cycle) {
        const auto distance = static_cast<std::int64_t>(cycle - process.CpuCycle());
        return cycle == Apu::Never || (distance >= -MaxIrqDistance && distance <= MaxIrqDistance);
    };
    if (!nearNow(process.BoardIrqCycle()) || !nearNow(process.GetMmc().NextIrqCycle())) {
        error = std::string("its \"") + (nearNow(process.BoardIrqCycle()) ? "CART" : "MACH") +
                "\" section holds a value this machine cannot take";
        return false;
    }
    // Where the processor's runs stop for the board is worked out from the cycle, never taken as saved.
    process.PlaceBoardIrq();
    process.GetPpu().UpdateCanvasState(true);
    return true;
}

std::vector<std::uint8_t> Write(Process& process) {
    std::vector<std::uint8_t> file(Signature, Signature + sizeof Signature);
    PutWord(file, Version);
    PutWord(file, 0); // the length, once known
    PutWord(file, PrgChecksum(*process.romImage));
    PutWord(file, ChrChecksum(*process.romImage));
    std::vector<std::uint8_t> sections;
    WriteMachine(process, sections);
    file.insert(file.end(), sections.begin(), sections.end());
    PutWordAt(file, 12, static_cast<std::uint32_t>(file.size() + 4));
    PutWord(file, Crc32::Of(file.data(), file.size()));
    return file;
}

bool Load(Process& process, const std::uint8_t* data, std::size_t size, std::string& error) {
    if (size > 0 && std::memcmp(data, Signature, std::min(size, sizeof Signature)) != 0) {
        error = "it is not a Halvo save state";
        return false;
    }
    if (size < HeaderSize + 4) {
        error = "it is truncated";
        return false;
    }
    const std::uint32_t version = WordAt(data + 8);
    if (version > Version) {
        error = "it was saved by a newer version of Halvo (state format " + std::to_string(version) +
                "; this one reads format " + std::to_string(Version) + ")";
        return false;
    }
    const std::uint32_t length = WordAt(data + 12);
    if (size < length) {
        error = "it is truncated";
        return false;
    }
    if (version == 0 || size > length || Crc32::Of(data, size - 4) != WordAt(data + size - 4)) {
        error = "it is corrupted (its checksum does not match)";
        return false;
    }
    const RomImage& image = *process.romImage;
    if (WordAt(data + 16) != PrgChecksum(image) || WordAt(data + 20) != ChrChecksum(image)) {
        error = "it belongs to another cartridge";
        return false;
    }
    // Everything is tried on a fresh machine first, so that a state that does not fit leaves the
    // running one as it was.
    const Ref::Ptr<Process> trial = Process::Create(process.IsExact() ? "Exact" : "Static", process.romImage);
    if (!trial) {
        error = "no machine could be made to check it on";
        return false;
    }
    trial->Reset(true);
    // The trial makes sound when the running machine does, so that the sound's state passes through it.
    trial->GetApu().SetSynthesis(process.GetApu().Synthesis());
    const std::uint8_t* sections = data + HeaderSize;
    const std::size_t sectionsSize = size - HeaderSize - 4;
    if (!ReadMachine(*trial, sections, sectionsSize, error, version)) {
        if (trial->OtherTimingState()) {
            const std::string other = process.IsExact() ? "line" : "exact";
            error = "it was saved with the \"" + other + "\" timing model (set nes_timing to " + other +
                    " and load the game again)";
        }
        return false;
    }
    // The running machine becomes the one it fitted, whose fields the file did not hold have the values
    // of a fresh machine; should they still differ, the running one is put back as it was.
    std::vector<std::uint8_t> fitted;
    WriteMachine(*trial, fitted);
    std::vector<std::uint8_t> before;
    WriteMachine(process, before);
    if (!ReadMachine(process, fitted.data(), fitted.size(), error)) {
        std::string ignored;
        ReadMachine(process, before.data(), before.size(), ignored);
        return false;
    }
    return true;
}

} // namespace Halvo::Nes::SaveState
