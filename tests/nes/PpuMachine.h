#pragma once

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>

#include "gfx/MemoryNesCanvas.h"
#include "nes/Cpu.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "support/Machine.h"

namespace Halvo::TestSupport {

// A processor that runs no program: it spends every slice exactly and writes the slices and interrupts
// into a log ("|" where a line starts). `onSlice` is called at the start of each slice with the dots
// gone by in the line, so a test can touch the registers at a known moment.
class ScriptedCpu final : public Nes::Cpu {
public:
    ScriptedCpu(Nes::Process* process, std::string& log) : Cpu(process, nullptr), log(log) {}

    bool IsReady() override { return true; }
    void Step() override {}
    void Interrupt(std::uint16_t vector) override { log += vector == NmiVector ? "N " : "I "; }
    void Execute(std::int32_t dots) override {
        if (target == lineStart) {
            log += "|";
        }
        if (onSlice) {
            onSlice(lineStart - counter);
        }
        target -= dots;
        counter = std::min(counter, target);
        log += std::to_string(dots) + " ";
    }

    std::string& log;
    std::function<void(std::int32_t dot)> onSlice;
};

// The mapper base with its frame hooks written into the same log: "V" for vertical blank, "S" and the
// PPU's line number for every scanline.
class LoggingMmc final : public Nes::Mmc {
public:
    LoggingMmc(Nes::Process* process, std::string& log) : Mmc(process), log(log) {}

    void OnVBlank() override { log += "V "; }
    void OnScanline() override { log += "S" + std::to_string(process->ppu->scanline) + " "; }
    void OnVramAddress(std::uint16_t address) override { log += "A" + std::to_string(address) + " "; }

    std::string& log;
};

// A machine for PPU tests: 16 KiB of PRG-ROM at $8000 and $C000, CHR-RAM, vertical mirroring, the
// logging mapper, the PPU registers at $2000-$3FFF and sprite DMA at $4014, hard-reset. The processor
// is the scripted one, or the interpreter for kind "Static".
struct PpuMachine {
    explicit PpuMachine(const char* cpuKind = "", std::uint32_t tvSystem = 0) : machine(MakeImage(1, 0)) {
        machine.image->tvSystem = tvSystem;
        Nes::Process& p = *machine.process;
        if (std::string(cpuKind) == "Static") {
            p.cpu = Nes::Cpu::Create(cpuKind, &p);
        } else {
            scripted = Ref::New<ScriptedCpu>(&p, log);
            p.cpu = scripted;
        }
        p.mmc = Ref::New<LoggingMmc>(&p, log);
        for (std::uint32_t page = 4; page < 8; ++page) {
            p.readHandlers[page] = [](Nes::Process* q, std::uint32_t a) { return q->ppu->ReadRegister(a); };
            p.writeHandlers[page] = [](Nes::Process* q, std::uint32_t a, std::uint8_t v) {
                q->ppu->WriteRegister(a, v);
            };
        }
        p.writeHandlers[8] = [](Nes::Process* q, std::uint32_t a, std::uint8_t v) {
            if (a == 0x4014) {
                q->cpu->counter -= q->ppu->SpriteDma(v);
            }
        };
        p.ppu->Reset(true);
        p.mmc->Reset(true);
        for (std::uint32_t slot = 4; slot < 8; ++slot) {
            p.mmc->MapPrg8k(slot, slot);
        }
        p.mmc->SetNameTableMirroring(Nes::MirrorVertical);
    }

    Nes::Ppu& Ppu() { return *machine.process->ppu; }
    Nes::Cpu& Cpu() { return *machine.process->cpu; }

    // Program bytes at a CPU address of $8000-$BFFF (mirrored at $C000).
    void Program(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        std::uint8_t* rom = machine.image->prgRom.get() + (address & 0x3FFF);
        for (std::uint8_t byte : bytes) {
            *rom++ = byte;
        }
    }

    // Bytes into VRAM (or the palette) through $2006/$2007.
    void Fill(std::uint16_t address, std::initializer_list<std::uint8_t> bytes, std::uint32_t repeat = 1) {
        Ppu().ReadRegister(0x2002);
        Ppu().WriteRegister(0x2006, static_cast<std::uint8_t>(address >> 8));
        Ppu().WriteRegister(0x2006, static_cast<std::uint8_t>(address));
        for (std::uint32_t i = 0; i < repeat; ++i) {
            for (std::uint8_t byte : bytes) {
                Ppu().WriteRegister(0x2007, byte);
            }
        }
    }

    // A 32-bit canvas with colours generated, attached to the PPU.
    Ref::Ptr<Gfx::MemoryNesCanvas<unsigned, 3>> AttachCanvas() {
        auto canvas = Ref::Ptr<Gfx::MemoryNesCanvas<unsigned, 3>>(
            Ref::New<Gfx::MemoryNesCanvas<unsigned, 3>>(Gfx::PixelFormat::X8R8G8B8));
        Ppu().SetCanvas(canvas);
        return canvas;
    }

    std::string log;
    Machine machine;
    Ref::Ptr<ScriptedCpu> scripted;
};

} // namespace Halvo::TestSupport
