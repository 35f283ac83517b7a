#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "nes/FdsSound.h"
#include "nes/Mmc5Sound.h"
#include "nes/Namco163Sound.h"
#include "nes/Process.h"
#include "nes/Sunsoft5BSound.h"
#include "nes/Vrc6Sound.h"
#include "nes/Vrc7Sound.h"
#include "nes/mmc/Mmc.h"
#include "nes/rom/NsfInfo.h"

namespace Halvo::Nes {

// The board of an NSF music file: what a hardware NSF player puts in the cartridge slot. The tune's
// program sits in 4 KiB banks that the registers $5FF8-$5FFF switch into $8000-$FFFF (the Disk System's
// tunes get RAM from $6000 to $DFFF instead, filled from the banks by $5FF6-$5FFF), with 8 KiB of work
// RAM at $6000 and every sound chip the file's header asks for at its usual registers.
//
// A small built-in driver at $3800 (where the PPU's registers would only repeat) plays the tune: at
// reset it silences the sound unit, turns on the player screen, calls INIT with the track and the
// region, then waits; the board's timer raises the IRQ at the tune's play rate, and the IRQ handler
// calls PLAY. The reset, NMI and IRQ vectors answer from the driver whatever bank shows $F000.
class Nsf : public Mmc {
public:
    // The driver's origin, and the register its IRQ handler writes to let the timer's line go.
    static constexpr std::uint16_t DriverAddress = 0x3800;
    static constexpr std::uint16_t AcknowledgeRegister = 0x5FF0;

    explicit Nsf(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;
    void OnVBlank() override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;
    void StateRegisters(StateIo& io) override;
    OwnMemory StateMemory(std::uint32_t index) override;

    // The track INIT is called with at the next reset, from 1.
    void SelectTrack(std::uint32_t number);
    std::uint32_t Track() const { return track; }
    const NsfInfo& Info() const { return info; }
    // Frames run since the track started, and the milliseconds they stand for.
    std::uint64_t FramesPlayed() const { return framesPlayed; }
    double PlayedMs() const;
    // How loud the track is now, 1 until its fade begins and 0 once it is over.
    double FadeGain(double playedMs) const;
    bool TrackOver() const;
    // The cycle of the PLAY call `count` (from 0) after the track's start.
    std::uint64_t PlayCycle(std::uint64_t count) const;

    // The sound chips the header asks for; any number of them play together.
    Vrc6Sound vrc6;
    Vrc7Sound vrc7;
    FdsSound fds;
    Mmc5Sound mmc5;
    Namco163Sound namco163;
    Sunsoft5BSound sunsoft5B;

private:
    void WriteBank(std::uint32_t slot, std::uint8_t bank);
    void MapSlot(std::uint32_t slot);
    // Copies what shows at $F800-$FFFF into the page that carries the driver's vectors.
    void RefreshTopPage();
    void BuildDriver();
    void DrawScreen();
    void DrawClock();
    static std::uint8_t ReadChipPage(Process* process, std::uint32_t address);
    static void WriteChipPage(Process* process, std::uint32_t address, std::uint8_t value);
    bool Has(std::uint8_t chip) const { return (info.chips & chip) != 0; }

    const NsfInfo& info;
    std::uint32_t track = 1;
    std::array<std::uint8_t, 10> banks{}; // $6000-$F000 by 4 KiB slot
    // The timer of the PLAY calls: the cycle the track started at and the calls made since.
    std::uint64_t trackStart = 0;
    std::uint64_t playCount = 0;
    bool startPending = true;
    std::uint64_t framesPlayed = 0;
    std::array<std::uint8_t, 2> mmc5Factors{};
    std::uint32_t shownSecond = 0xFFFFFFFF;

    std::array<std::uint8_t, Process::PageSize> driver{};
    std::uint32_t vectorsAt = 0; // where the driver keeps the vectors the top page shows
    std::array<std::uint8_t, Process::PageSize> topPage{};
    // The Disk System's RAM, $6000-$FFFF (the BIOS's place above $E000 shows banks too, read-only).
    std::unique_ptr<std::uint8_t[]> fdsRam;
};

} // namespace Halvo::Nes
