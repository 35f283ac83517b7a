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

// A processor that runs no program: it spends every slice exactly and writes the slices and NMIs into
// a log ("|" where a line starts). It spends a slice as instructions of 8 dots; `onSlice` runs before
// each of them, so a test can look at the PPU or touch its registers at a known moment, as a program's
// instruction would (reading the PPU's state directly needs `CatchUp` first).
class ScriptedCpu final : public Nes::Cpu {
public:
    ScriptedCpu(Nes::Process* process, std::string& log) : Cpu(process, nullptr), log(log) {}

    void Step() override {}
    void Interrupt(std::uint16_t) override { log += "N "; }
    void Execute(std::int32_t dots) override {
        log += target == lineStart ? "|" : "";
        target -= dots;
        while (counter > target) {
            if (onSlice) {
                onSlice();
            }
            counter = std::max(target, counter - 8);
        }
        log += std::to_string(dots) + " ";
    }

    std::string& log;
    std::function<void()> onSlice;
};

// The mapper base with its hooks written into the same log: "V" vertical blank, "S" and the PPU's line
// number for every scanline, "A" and the address after a $2006 pair.
class LoggingMmc final : public Nes::Mmc {
public:
    LoggingMmc(Nes::Process* process, std::string& log) : Mmc(process), log(log) {}

    void OnVBlank() override { log += "V "; }
    void OnScanline() override { log += "S" + std::to_string(process->GetPpu().scanline) + " "; }
    void OnVramAddress(std::uint16_t address) override { log += "A" + std::to_string(address) + " "; }

    std::string& log;
};

// A hard-reset PPU with CHR-RAM, vertically mirrored name tables, the logging mapper and the scripted
// processor.
struct PpuMachine {
    explicit PpuMachine(std::uint32_t tvSystem = 0) : machine(MakeImage(1, 0)) {
        machine.image->tvSystem = tvSystem;
        Nes::Process& process = *machine.process;
        process.SetCpu(cpu = Ref::New<ScriptedCpu>(&process, log));
        process.SetMmc(Ref::New<LoggingMmc>(&process, log));
        process.GetPpu().Reset(true);
        process.GetMmc().Reset(true);
        process.GetMmc().SetNameTableMirroring(Nes::MirrorVertical);
    }

    Nes::Ppu& Ppu() { return machine.process->GetPpu(); }

    // Bytes into VRAM (or the palette) through $2006/$2007, `repeat` times over.
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

    // A 32-bit canvas, attached.
    Ref::Ptr<Gfx::MemoryNesCanvas<unsigned, 3>> AttachCanvas() {
        Ref::Ptr<Gfx::MemoryNesCanvas<unsigned, 3>> canvas =
            Ref::New<Gfx::MemoryNesCanvas<unsigned, 3>>(Gfx::PixelFormat::X8R8G8B8);
        Ppu().SetCanvas(canvas);
        return canvas;
    }

    std::string log;
    Machine machine;
    Ref::Ptr<ScriptedCpu> cpu;
};

} // namespace Halvo::TestSupport
