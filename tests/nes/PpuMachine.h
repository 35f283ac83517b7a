#pragma once

#include <algorithm>
#include <functional>
#include <initializer_list>

#include "gfx/MemoryNesCanvas.h"
#include "nes/Cpu.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "support/Machine.h"

namespace Halvo::TestSupport {

// A processor that runs no program: it spends every slice as instructions of 8 dots, and `onSlice` runs
// before each of them, so a test can look at the PPU or touch its registers at a known moment, as a
// program's instruction would (reading the PPU's state directly needs `CatchUp` first).
class ScriptedCpu final : public Nes::Cpu {
public:
    explicit ScriptedCpu(Nes::Process* process) : Cpu(process, nullptr) {}

    void Step() override {}
    void Interrupt(std::uint16_t) override {}
    void Execute(std::int32_t dots) override {
        target -= dots;
        while (counter > target) {
            if (onSlice) {
                onSlice();
            }
            counter = std::max(target, counter - 8);
        }
    }

    std::function<void()> onSlice;
};

// A hard-reset PPU with CHR-RAM, vertically mirrored name tables, the base mapper and the scripted
// processor.
struct PpuMachine {
    explicit PpuMachine(std::uint32_t tvSystem = 0) : machine(MakeImage(1, 0)) {
        machine.image->tvSystem = tvSystem;
        Nes::Process& process = *machine.process;
        process.SetCpu(cpu = Ref::New<ScriptedCpu>(&process));
        process.SetMmc(Ref::New<Nes::Mmc>(&process));
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

    Machine machine;
    Ref::Ptr<ScriptedCpu> cpu;
};

} // namespace Halvo::TestSupport
