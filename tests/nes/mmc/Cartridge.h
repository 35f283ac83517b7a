#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "support/Machine.h"

namespace Halvo::TestSupport {

using Pages4 = std::array<int, 4>;
using Pages8 = std::array<int, 8>;
// What happens to a board, in order: a CPU write to $4020-$FFFF, a pattern fetch that the PPU
// announces at $0000-$1FFF (the value is not used), or a soft reset.
using Events = std::vector<std::pair<std::uint32_t, std::uint8_t>>;
constexpr std::uint32_t SoftReset = 0x10000;

// A machine with the board that the registry makes for the image's board name, hard-reset, and a
// processor with I set (an IRQ stays pending). CPU writes to $8000-$FFFF reach the board's registers
// where no RAM answers. The image's pages carry their page numbers, so the
// banks a board mapped can be read back.
struct Cartridge {
    explicit Cartridge(std::unique_ptr<Nes::RomImage> image) : machine(std::move(image)) {
        Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
        Nes::RegisterBoards(*manager);
        machine.process->SetMmc(manager->CreateMmc(machine.process.Get()));
        machine.process->SetCpu(Nes::Cpu::Create("Static", machine.process.Get()));
        for (std::uint32_t page = 0x8000 >> Nes::Process::PageShift; page < Nes::Process::PageCount; ++page) {
            machine.process->SetCpuWriteHandler(
                page, [](Nes::Process* process, std::uint32_t address, std::uint8_t value) {
                    process->GetMmc().WriteRegister(static_cast<std::uint16_t>(address), value);
                });
        }
        Board().Reset(true);
        machine.process->GetCpu().p = 0x24;
    }

    Nes::Mmc& Board() { return machine.process->GetMmc(); }
    Nes::Ppu& Ppu() { return machine.process->GetPpu(); }

    void Apply(const Events& events) {
        for (const auto& [address, value] : events) {
            if (address == SoftReset) {
                Board().Reset(false);
            } else if (address >= 0x4020) {
                machine.process->CpuWrite(address, value);
            } else {
                Board().OnPatternFetch(static_cast<std::uint16_t>(address));
            }
        }
    }

    // The 8 KiB PRG pages at $8000-$E000, the 1 KiB CHR pages at PPU $0000-$1FFF, and the name-table
    // RAM pages behind $2000-$2C00.
    Pages4 Prg() {
        return Read<4>(0x8000, 0x2000, [&](std::uint32_t at) { return machine.Cpu(at); });
    }
    Pages8 Chr() {
        return Read<8>(0, 0x400, [&](std::uint32_t at) { return machine.Vram(at); });
    }
    // The 1 KiB pages of CHR-RAM at PPU $0000-$1FFF; -1 where a page is not CHR-RAM.
    Pages8 ChrRam() {
        return Read<8>(0, 1, [&](std::uint32_t i) {
            const auto page = reinterpret_cast<std::uintptr_t>(Ppu().VramPage(i));
            const auto ram = reinterpret_cast<std::uintptr_t>(Board().chrRam.get());
            return ram && page >= ram && page < ram + Board().chrRamSize
                       ? static_cast<int>((page - ram) / 1024)
                       : -1;
        });
    }
    Pages4 NameTables() {
        return Read<4>(
            8, 1, [&](std::uint32_t i) { return (Ppu().VramPage(i) - Board().nameTableRam.get()) / 1024; });
    }

    template <std::size_t N, class F>
    static std::array<int, N> Read(std::uint32_t first, std::uint32_t step, F page) {
        std::array<int, N> pages;
        for (std::size_t i = 0; i < N; ++i) {
            pages[i] = static_cast<int>(page(first + static_cast<std::uint32_t>(i) * step));
        }
        return pages;
    }

    Machine machine;
};

// Register writes (and CPU writes below $8000), pattern fetches and soft resets on a fresh board, and the
// banks they leave visible: PRG pages at $8000-$E000, CHR pages at PPU $0000-$1FFF, name-table RAM pages of
// the slots.
struct BankCase {
    const char* what;
    const char* board;
    std::uint32_t prgBanks; // 16 KiB
    std::uint32_t chrBanks; // 8 KiB
    Events events;
    std::optional<Pages4> prg = std::nullopt;
    std::optional<Pages8> chr = std::nullopt;
    std::optional<Pages4> nameTables = std::nullopt;
    std::uint32_t mirroring = Nes::MirrorVertical;
    std::optional<Pages8> chrRam = std::nullopt;
    // CPU addresses and the bytes they must read afterwards (work RAM, ROM at $6000).
    std::vector<std::pair<std::uint16_t, int>> cpuReads = {};
    std::uint32_t submapper = 0;
};

inline void CheckBanks(const BankCase& bankCase) {
    SCOPED_TRACE(bankCase.what);
    auto image = MakeImage(bankCase.prgBanks, bankCase.chrBanks, bankCase.board);
    image->mirroring = bankCase.mirroring;
    image->submapper = bankCase.submapper;
    Cartridge cartridge(std::move(image));
    cartridge.Apply(bankCase.events);
    if (bankCase.prg) {
        EXPECT_EQ(cartridge.Prg(), *bankCase.prg);
    }
    if (bankCase.chr) {
        EXPECT_EQ(cartridge.Chr(), *bankCase.chr);
    }
    if (bankCase.nameTables) {
        EXPECT_EQ(cartridge.NameTables(), *bankCase.nameTables);
    }
    if (bankCase.chrRam) {
        EXPECT_EQ(cartridge.ChrRam(), *bankCase.chrRam);
    }
    for (const auto& [address, value] : bankCase.cpuReads) {
        EXPECT_EQ(cartridge.machine.Cpu(address), value) << std::hex << address;
    }
}

// LDA #value, STA address for each write.
inline std::vector<std::uint8_t> Stores(const Events& writes) {
    std::vector<std::uint8_t> code;
    for (const auto& [address, value] : writes) {
        code.insert(code.end(), {0xA9, value, 0x8D, static_cast<std::uint8_t>(address),
                                 static_cast<std::uint8_t>(address >> 8)});
    }
    return code;
}

// MMC1 serial loads: each 5-bit value becomes five writes of its bits, low bit first; a value with
// bit 7 set and a soft reset stay as they are.
inline Events Serial(std::initializer_list<std::pair<std::uint32_t, std::uint8_t>> loads) {
    Events writes;
    for (const auto& [address, value] : loads) {
        if ((value & 0x80) || address == SoftReset) {
            writes.emplace_back(address, value);
            continue;
        }
        for (int bit = 0; bit < 5; ++bit) {
            writes.emplace_back(address, (value >> bit) & 1);
        }
    }
    return writes;
}

} // namespace Halvo::TestSupport
