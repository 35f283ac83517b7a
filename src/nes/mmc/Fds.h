#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "nes/FdsSound.h"
#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The Famicom Disk System's RAM adapter with its drive: 32 KiB of PRG-RAM at $6000-$DFFF, 8 KiB of
// CHR-RAM, the BIOS at $E000, the mirroring bit, a timer IRQ counting processor cycles ($4020-$4022),
// the disk transfer registers ($4024-$4025, $4030-$4033) with the disk IRQ, and the wavetable sound
// ($4040-$4097). $4023 enables the disk registers (bit 0) and the sound (bit 1).
//
// The drive turns each side into the track the head really sees: a long lead-in gap of zeros, then
// each block after a start mark ($80) with its two CRC bytes and a short gap behind it. The head moves
// one byte every 149 processor cycles (96.4 kbit/s) from the start of the track to its end, where the
// drive stops until the program starts it again. What the program writes goes into this track; the
// track of every side is what the disk save keeps.
class Fds : public Mmc {
public:
    // The track of a side: the 65,500 bytes of blocks with their gaps, marks and CRCs fit easily.
    static constexpr std::size_t TrackSize = 98304;
    static constexpr std::uint32_t BytePeriod = 149;
    static constexpr std::uint32_t LeadInBytes = 3537; // 28,300 bits of gap before the first block
    static constexpr std::uint32_t GapBytes = 122;     // 976 bits between blocks
    // How long the disk is out when a side is changed (about half a second): the BIOS must see it gone.
    static constexpr std::uint64_t SideChangeCycles = 900000;
    static constexpr std::int32_t NoSide = -1;
    // A program that reads the drive's status this often in a frame, frame after frame for a second,
    // with the motor stopped, waits for the player to change the disk ("set side B").
    static constexpr std::uint32_t WaitingPolls = 100;
    static constexpr std::uint32_t WaitingFrames = 60;
    static constexpr std::uint64_t FrameCycles = 29781;

    explicit Fds(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;
    void StateRegisters(StateIo& io) override;
    OwnMemory StateMemory(std::uint32_t index) override;

    std::uint8_t ReadIo(std::uint32_t address);
    void WriteIo(std::uint32_t address, std::uint8_t value);

    // The disk in the drive: side 0 to SideCount() - 1, or none. Inserting takes out the disk that was in.
    std::uint32_t SideCount() const { return sideCount; }
    std::int32_t Side() const { return side; }
    void InsertSide(std::int32_t newSide);
    void Eject();
    // Takes the disk out and puts the next side in (after the last: the first) once the BIOS has seen it
    // gone.
    void FlipSide();
    // Whether the drive is moving the disk under its head: a program waits for it while loading.
    bool DriveBusy() const { return scanning; }

    // Every side's track, one after the other.
    std::vector<std::uint8_t> tracks;

    std::array<std::uint8_t, RomImage::DiskBiosSize> bios{};
    FdsSound sound;

private:
    // The drive's and the timer's state brought up to processor cycle `now`.
    void Sync(std::uint64_t now);
    void StepTimer(std::uint64_t now);
    void StepByte();
    void UpdateIrq();
    // The program stopped reading the disk info block before its end: it compared the block with the
    // disk it wants and found another. The side that agrees up to the byte that differed, and differs
    // there, goes in.
    void ChooseWantedSide();
    std::uint8_t* Track() { return tracks.data() + static_cast<std::size_t>(side) * TrackSize; }

    // Counts a program's reads of $4032 while the motor is stopped (see WaitingPolls).
    void CountStatusPoll(std::uint64_t now);

    std::uint32_t sideCount = 0;
    std::uint64_t pollWindow = 0; // the cycle the present frame-long window of polls began
    std::uint32_t polls = 0;
    std::uint32_t waitingFrames = 0;
    std::int32_t side = NoSide;
    std::int32_t pendingSide = NoSide; // goes in at pendingCycle
    std::uint64_t pendingCycle = 0;

    std::uint8_t ioEnable = 0;  // $4023
    std::uint8_t control = 0;   // $4025
    std::uint8_t readData = 0;  // $4031
    std::uint8_t writeData = 0; // $4024
    bool transferFlag = false;  // $4030 bit 1
    bool endOfHead = false;     // $4030 bit 6
    bool diskIrq = false;
    bool scanning = false;
    bool gapEnded = false;
    std::uint32_t position = 0; // in the track
    std::uint64_t nextByteCycle = 0;
    std::uint16_t crc = 0;
    std::uint8_t crcBytesLeft = 0; // of the CRC being written
    std::uint32_t blockBytes = 0;  // delivered of the block being read
    std::uint8_t blockCode = 0;
    std::uint8_t lastByte = 0; // the byte before the head's present one

    std::uint16_t timerReload = 0;
    std::uint16_t timerCounter = 0;
    std::uint64_t timerCycle = 0; // when timerCounter held its value
    bool timerEnabled = false;
    bool timerRepeat = false;
    bool timerIrq = false;

    // What answered $4000-$47FF before the adapter: the console's sound unit and ports.
    std::uint8_t (*passRead)(Process*, std::uint32_t) = nullptr;
    void (*passWrite)(Process*, std::uint32_t, std::uint8_t) = nullptr;
};

} // namespace Halvo::Nes
