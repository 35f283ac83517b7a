#include "nes/mmc/Fds.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "nes/Apu.h"
#include "nes/Process.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t IoPage = 0x4000 >> Process::PageShift;
constexpr std::uint32_t DiskInfoSize = 56; // block 1 with its code

// $4025
constexpr std::uint8_t MotorOn = 0x01;
constexpr std::uint8_t TransferReset = 0x02;
constexpr std::uint8_t ReadMode = 0x04;
constexpr std::uint8_t Horizontal = 0x08;
constexpr std::uint8_t CrcTransfer = 0x10;
constexpr std::uint8_t CrcEnabled = 0x40; // the gap is over: look for the start mark, then transfer
constexpr std::uint8_t DiskIrqEnabled = 0x80;

std::uint8_t ReadIoPage(Process* process, std::uint32_t address) {
    return static_cast<Fds&>(process->GetMmc()).ReadIo(address);
}

void WriteIoPage(Process* process, std::uint32_t address, std::uint8_t value) {
    static_cast<Fds&>(process->GetMmc()).WriteIo(address, value);
}

// The disk's CRC-16 (x^16 + x^12 + x^5 + 1, bits taken low first), which starts at the start mark.
std::uint16_t AddCrc(std::uint16_t crc, std::uint8_t byte) {
    for (int bit = 0; bit < 8; ++bit) {
        const bool carry = ((crc ^ (byte >> bit)) & 1) != 0;
        crc = static_cast<std::uint16_t>((crc >> 1) ^ (carry ? 0x8408 : 0));
    }
    return crc;
}

// The blocks of one side laid out on its track. The blocks follow each other without gaps in the
// image: 1 (disk info, 56 bytes), 2 (file count, 2), then for each file 3 (its header, 16, with the
// file's size at 13-14) and 4 (its data after the code). Whatever follows the last block that fits
// is unused disk.
void LayTrack(const std::uint8_t* blocks, std::uint8_t* track) {
    std::size_t from = 0;
    std::size_t to = Fds::LeadInBytes;
    std::size_t fileSize = 0;
    while (from < RomImage::DiskSideSize) {
        std::size_t length = 0;
        switch (blocks[from]) {
        case 1:
            length = DiskInfoSize;
            break;
        case 2:
            length = 2;
            break;
        case 3:
            length = 16;
            if (from + 15 < RomImage::DiskSideSize) {
                fileSize = blocks[from + 13] | blocks[from + 14] << 8;
            }
            break;
        case 4:
            length = 1 + fileSize;
            break;
        default:
            return;
        }
        if (from + length > RomImage::DiskSideSize || to + 1 + length + 2 + Fds::GapBytes > Fds::TrackSize) {
            return;
        }
        std::uint16_t crc = AddCrc(0, 0x80);
        track[to++] = 0x80;
        for (std::size_t i = 0; i < length; ++i) {
            crc = AddCrc(crc, blocks[from + i]);
            track[to++] = blocks[from + i];
        }
        track[to++] = static_cast<std::uint8_t>(crc);
        track[to++] = static_cast<std::uint8_t>(crc >> 8);
        to += Fds::GapBytes;
        from += length;
    }
}

} // namespace

Fds::Fds(Process* process) : Mmc(process) {
    const RomImage& image = Image();
    if (image.diskBios.size() != RomImage::DiskBiosSize) {
        throw std::runtime_error("The Disk System needs its BIOS.");
    }
    if (image.diskSideCount == 0 || image.disk.size() != image.diskSideCount * RomImage::DiskSideSize) {
        throw std::runtime_error("The image holds no disk.");
    }
    std::copy(image.diskBios.begin(), image.diskBios.end(), bios.begin());
    sideCount = image.diskSideCount;
    tracks.assign(sideCount * TrackSize, 0);
    for (std::uint32_t s = 0; s < sideCount; ++s) {
        LayTrack(image.disk.data() + s * RomImage::DiskSideSize, tracks.data() + s * TrackSize);
    }
    // $5000-$5FFF, then the four 8 KiB pages of $6000-$DFFF.
    EnsureWram(0x1000 + 0x8000);
}

void Fds::Reset(bool hard) {
    Mmc::Reset(hard);
    for (std::uint32_t page = 0x5000 >> Process::PageShift; page < (0x6000 >> Process::PageShift); ++page) {
        MapCpuHandlers(page, Process::ReadUnmapped, Process::WriteUnmapped);
    }
    for (std::uint32_t bank = 0; bank < 4; ++bank) {
        MapWram8k(bank, 3 + bank);
    }
    MapPrgMemory8k(bios.data(), 7);
    // The console's reset rebuilt the I/O page; the adapter answers from $4020 and passes the rest on.
    if (process->CpuReadHandler(IoPage) != &ReadIoPage) {
        passRead = process->CpuReadHandler(IoPage);
        passWrite = process->CpuWriteHandler(IoPage);
    }
    MapCpuHandlers(IoPage, ReadIoPage, WriteIoPage);
    if (hard) {
        ioEnable = 0;
        control = TransferReset | ReadMode | Horizontal | 0x20;
        readData = writeData = 0;
        transferFlag = endOfHead = diskIrq = scanning = gapEnded = false;
        position = 0;
        crc = 0;
        crcBytesLeft = 0;
        blockBytes = 0;
        blockCode = 0;
        lastByte = 0;
        timerReload = timerCounter = 0;
        timerEnabled = timerRepeat = timerIrq = false;
        timerCycle = CpuCycle();
        pendingSide = NoSide;
        side = NoSide;
        pollWindow = CpuCycle();
        polls = waitingFrames = 0;
        InsertSide(0);
        sound.Reset();
    }
    SetNameTableMirroring((control & Horizontal) ? MirrorHorizontal : MirrorVertical);
    AttachSound(sound);
    UpdateIrq();
}

void Fds::WriteRegister(std::uint16_t, std::uint8_t) {
    // $E000-$FFFF is the BIOS ROM; the RAM below is written directly.
}

void Fds::InsertSide(std::int32_t newSide) {
    Eject();
    if (newSide >= 0 && static_cast<std::uint32_t>(newSide) < sideCount) {
        side = newSide;
    }
}

void Fds::Eject() {
    side = NoSide;
    scanning = false;
    pendingSide = NoSide;
    gapEnded = false;
    ScheduleIrq();
}

void Fds::FlipSide() {
    const std::int32_t from = side != NoSide ? side : pendingSide;
    Eject();
    pendingSide = static_cast<std::int32_t>((from + 1) % static_cast<std::int32_t>(sideCount));
    pendingCycle = CpuCycle() + SideChangeCycles;
}

void Fds::Sync(std::uint64_t now) {
    if (pendingSide != NoSide && now >= pendingCycle) {
        const std::int32_t wanted = pendingSide;
        InsertSide(wanted);
    }
    while (scanning && nextByteCycle <= now) {
        StepByte();
        nextByteCycle += BytePeriod;
    }
    StepTimer(now);
    UpdateIrq();
}

void Fds::StepTimer(std::uint64_t now) {
    if (!timerEnabled || !(ioEnable & 1) || now <= timerCycle) {
        timerCycle = std::max(timerCycle, now);
        return;
    }
    const std::uint64_t elapsed = now - timerCycle;
    if (elapsed <= timerCounter) {
        timerCounter = static_cast<std::uint16_t>(timerCounter - elapsed);
    } else {
        // The counter passed 0 (raising the IRQ) and took the reload value; repeating, it keeps going
        // round the reload period.
        timerIrq = true;
        std::uint64_t after = elapsed - timerCounter - 1;
        if (!timerRepeat) {
            timerEnabled = false;
            timerCounter = timerReload;
        } else {
            after %= std::uint64_t{timerReload} + 1;
            timerCounter = static_cast<std::uint16_t>(timerReload - after);
        }
    }
    timerCycle = now;
}

void Fds::StepByte() {
    if (side == NoSide) {
        scanning = false;
        return;
    }
    if (position >= TrackSize) {
        // The head reached the end of the disk: it goes back, and the drive waits to be started again.
        endOfHead = true;
        scanning = false;
        return;
    }
    std::uint8_t* track = Track();
    const bool delivered = (control & CrcEnabled) != 0;
    if (control & ReadMode) {
        const std::uint8_t byte = track[position];
        if (!delivered) {
            gapEnded = false;
        } else if (!gapEnded) {
            // Zeros of the gap pass under the head until the start mark, which is not handed on (a
            // $80 inside the CRC bytes behind a block is no mark: the gap's zeros come first).
            if (byte == 0x80 && lastByte == 0) {
                gapEnded = true;
                crc = AddCrc(0, byte);
                blockBytes = 0;
            }
        } else {
            readData = byte;
            crc = AddCrc(crc, byte);
            if (blockBytes == 0) {
                blockCode = byte;
            }
            ++blockBytes;
            transferFlag = true;
            diskIrq = (control & DiskIrqEnabled) != 0;
        }
        lastByte = byte;
    } else {
        // Writing: the gap is written as zeros; from the start mark on, the bytes the program hands
        // over, and with CRC transfer the block's two CRC bytes.
        std::uint8_t byte = delivered ? writeData : 0;
        if (delivered && (control & CrcTransfer)) {
            if (crcBytesLeft == 0) {
                crcBytesLeft = 2;
            }
            byte = crcBytesLeft == 2 ? static_cast<std::uint8_t>(crc) : static_cast<std::uint8_t>(crc >> 8);
            --crcBytesLeft;
        } else if (delivered) {
            crc = gapEnded ? AddCrc(crc, byte) : AddCrc(0, byte);
            gapEnded = true;
        } else {
            gapEnded = false;
        }
        track[position] = byte;
        lastByte = byte;
        transferFlag = true;
        diskIrq = (control & DiskIrqEnabled) != 0;
    }
    ++position;
}

void Fds::UpdateIrq() {
    if (timerIrq || diskIrq) {
        RaiseIrq();
    } else {
        LowerIrq();
    }
}

void Fds::ChooseWantedSide() {
    const std::uint32_t matched = blockBytes - 1; // the byte that differed
    const std::uint8_t* disk = Image().disk.data();
    const std::uint8_t* current = disk + static_cast<std::size_t>(side) * RomImage::DiskSideSize;
    for (std::uint32_t step = 1; step < sideCount; ++step) {
        const auto candidate =
            static_cast<std::int32_t>((static_cast<std::uint32_t>(side) + step) % sideCount);
        const std::uint8_t* other = disk + static_cast<std::size_t>(candidate) * RomImage::DiskSideSize;
        if (std::memcmp(current, other, matched) == 0 && current[matched] != other[matched]) {
            Eject();
            pendingSide = candidate;
            pendingCycle = CpuCycle() + SideChangeCycles;
            return;
        }
    }
}

std::uint8_t Fds::ReadIo(std::uint32_t address) {
    if (address < 0x4020) {
        return passRead(process, address);
    }
    const std::uint64_t now = CpuCycle();
    if (address >= 0x4040) {
        if (!(ioEnable & 2) || address > 0x4097) {
            return 0;
        }
        RunSound();
        return static_cast<std::uint8_t>(sound.Read(address) | (address < 0x4080 ? 0 : 0x40));
    }
    if (!(ioEnable & 1)) {
        return 0;
    }
    Sync(now);
    std::uint8_t result = 0;
    switch (address) {
    case 0x4030:
        result = static_cast<std::uint8_t>((timerIrq ? 0x01 : 0) | (transferFlag ? 0x02 : 0) |
                                           (endOfHead ? 0x40 : 0));
        // Reading the status acknowledges both IRQs.
        timerIrq = false;
        diskIrq = false;
        break;
    case 0x4031:
        result = readData;
        transferFlag = false;
        diskIrq = false;
        break;
    case 0x4032: {
        CountStatusPoll(now);
        const bool noDisk = side == NoSide;
        result = static_cast<std::uint8_t>(0x40 | (noDisk ? 0x07 : 0) | (!scanning ? 0x02 : 0));
        break;
    }
    case 0x4033:
        result = 0x80; // the drive's batteries are good
        break;
    default:
        break;
    }
    UpdateIrq();
    return result;
}

void Fds::WriteIo(std::uint32_t address, std::uint8_t value) {
    if (address < 0x4020) {
        passWrite(process, address, value);
        return;
    }
    const std::uint64_t now = CpuCycle();
    if (address >= 0x4040) {
        if ((ioEnable & 2) && address <= 0x408A) {
            RunSound();
            sound.Write(address, value);
        }
        return;
    }
    Sync(now);
    if (address == 0x4023) {
        ioEnable = value;
        if (!(ioEnable & 1)) {
            timerEnabled = false;
            timerIrq = false;
            diskIrq = false;
        }
    } else if (!(ioEnable & 1)) {
        return;
    }
    switch (address) {
    case 0x4020:
        timerReload = static_cast<std::uint16_t>((timerReload & 0xFF00) | value);
        break;
    case 0x4021:
        timerReload = static_cast<std::uint16_t>((timerReload & 0x00FF) | value << 8);
        break;
    case 0x4022:
        timerRepeat = (value & 1) != 0;
        timerEnabled = (value & 2) != 0;
        timerCounter = timerReload;
        timerCycle = now;
        timerIrq = false;
        break;
    case 0x4024:
        writeData = value;
        transferFlag = false;
        diskIrq = false;
        break;
    case 0x4025: {
        const std::uint8_t before = control;
        control = value;
        diskIrq = false;
        // The PPU's coming fetches see the new mirroring.
        process->GetPpu().CatchUp();
        SetNameTableMirroring((control & Horizontal) ? MirrorHorizontal : MirrorVertical);
        const bool stops = !(value & MotorOn) || (value & TransferReset) || !(value & CrcEnabled);
        if (side != NoSide && scanning && stops && (before & ReadMode) && blockCode == 1 && gapEnded &&
            blockBytes > 0 && blockBytes < DiskInfoSize) {
            ChooseWantedSide();
        }
        if (!(value & MotorOn) || (value & TransferReset)) {
            scanning = false;
            if (value & TransferReset) {
                position = 0;
                endOfHead = false;
            }
        } else if (!scanning && side != NoSide && !endOfHead) {
            // The motor turns and the head starts from the beginning of the disk.
            scanning = true;
            nextByteCycle = now + BytePeriod;
        }
        if (!(value & CrcEnabled)) {
            gapEnded = false;
            blockCode = 0;
            crcBytesLeft = 0;
        }
        if (!(value & CrcTransfer)) {
            crcBytesLeft = 0;
        }
        break;
    }
    default:
        break;
    }
    UpdateIrq();
    ScheduleIrq();
}

void Fds::CountStatusPoll(std::uint64_t now) {
    if (side == NoSide || scanning || (control & MotorOn)) {
        polls = 0;
        waitingFrames = 0;
        pollWindow = now;
        return;
    }
    if (now - pollWindow >= FrameCycles) {
        // A frame of polls is over: a busy wait keeps going, a check once a frame starts the count again.
        waitingFrames = polls >= WaitingPolls && now - pollWindow < 2 * FrameCycles ? waitingFrames + 1 : 0;
        polls = 0;
        pollWindow = now;
    }
    if (++polls >= WaitingPolls && waitingFrames >= WaitingFrames) {
        // The program waits for the disk to come out: the next side goes in, as the player would do.
        waitingFrames = 0;
        FlipSide();
    }
}

std::uint64_t Fds::NextIrqCycle() {
    std::uint64_t next = Apu::Never;
    if (scanning) {
        next = nextByteCycle;
    }
    if (timerEnabled && (ioEnable & 1)) {
        next = std::min(next, timerCycle + timerCounter + 1);
    }
    // A side change waiting to go in needs no event: only the program's next look at the drive sees it.
    return next;
}

void Fds::OnIrqCycle(std::uint64_t cycle) {
    Sync(cycle);
}

Mmc::OwnMemory Fds::StateMemory(std::uint32_t index) {
    if (index == 0) {
        return {bios.data(), bios.size(), false};
    }
    return {};
}

void Fds::StateRegisters(StateIo& io) {
    // A side is stored counted from 1, 0 for none.
    auto inserted = static_cast<std::uint32_t>(side + 1);
    auto pending = static_cast<std::uint32_t>(pendingSide + 1);
    io.Bounded(inserted, sideCount).Bounded(pending, sideCount);
    side = static_cast<std::int32_t>(inserted) - 1;
    pendingSide = static_cast<std::int32_t>(pending) - 1;
    io(pendingCycle, ioEnable, control, readData, writeData, transferFlag, endOfHead, diskIrq, scanning);
    io(gapEnded).Bounded(position, static_cast<std::uint32_t>(TrackSize));
    io(nextByteCycle, crc).Bounded(crcBytesLeft, std::uint8_t{2});
    io(pollWindow, polls, waitingFrames);
    io(blockBytes, blockCode, lastByte, timerReload, timerCounter, timerCycle, timerEnabled, timerRepeat,
       timerIrq);
    {
        const StateIo::Scope scope(io, "disk");
        io.Bytes(tracks.data(), tracks.size());
    }
    sound.State(io);
    if (io.Loading()) {
        scanning = scanning && side != NoSide;
        UpdateIrq();
    }
}

} // namespace Halvo::Nes
