#include "nes/mmc/Nsf.h"

#include <algorithm>
#include <cstring>

#include "nes/Apu.h"
#include "nes/Process.h"
#include "nes/mmc/NsfScreen.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t DriverPage = Nsf::DriverAddress >> Process::PageShift;
constexpr std::uint32_t TopPage = Process::PageCount - 1;
constexpr std::uint32_t ChipPage = 0x5000 >> Process::PageShift;
constexpr std::uint32_t FirstSlotPage = 0x6000 >> Process::PageShift;
constexpr std::uint32_t FdsRamSize = 0x10000 - 0x6000;
// The Disk System's RAM ends at $DFFF; its BIOS's place above takes no writes.
constexpr std::uint32_t FdsWritablePages = (0xE000 - 0x6000) >> Process::PageShift;

// The processor's clock as a fraction of a megahertz: microseconds of play period times it are cycles.
// NTSC 21.477272 MHz / 12, PAL 26.601712 MHz / 16.
constexpr std::uint64_t NtscCyclesPerUs[2] = {315, 176};
constexpr std::uint64_t PalCyclesPerUs[2] = {53203425, 32000000};
constexpr double NtscFrameRate = 60.0988;
constexpr double PalFrameRate = 50.0070;

const NsfInfo& InfoOf(const Process* process) {
    static const NsfInfo none;
    return process->romImage->nsf ? *process->romImage->nsf : none;
}

} // namespace

Nsf::Nsf(Process* process) : Mmc(process), info(InfoOf(process)) {
    EnsureWram();
    EnsureChrRam();
    if (Has(NsfInfo::ChipFds)) {
        fdsRam = std::make_unique<std::uint8_t[]>(FdsRamSize);
    }
    track = info.startSong;
}

void Nsf::SelectTrack(std::uint32_t number) {
    track = std::clamp<std::uint32_t>(number, 1, info.songCount);
}

// The driver, assembled by hand. Its operands that depend on the file and the track are filled in
// at every reset.
void Nsf::BuildDriver() {
    std::uint32_t at = 0;
    const auto emit = [&](std::initializer_list<std::uint8_t> bytes) {
        for (const std::uint8_t byte : bytes) {
            driver[at++] = byte;
        }
    };
    const auto here = [&] { return static_cast<std::uint16_t>(DriverAddress + at); };
    const auto lo = [](std::uint16_t word) { return static_cast<std::uint8_t>(word); };
    const auto hi = [](std::uint16_t word) { return static_cast<std::uint8_t>(word >> 8); };
    driver.fill(0);

    // Reset: the state a tune's INIT expects. Every sound register written with 0, all channels on,
    // the frame counter's IRQ off.
    const std::uint16_t reset = here();
    emit({0x78, 0xD8, 0xA2, 0xFF, 0x9A}); // SEI, CLD, LDX #$FF, TXS
    emit({0xA9, 0x00, 0xA2, 0x13});       // LDA #0, LDX #$13
    // STA $4000,X, DEX, BPL clear (the branch counts from the instruction after it, 6 bytes on).
    emit({0x9D, 0x00, 0x40, 0xCA, 0x10, static_cast<std::uint8_t>(-6)});
    emit({0xA9, 0x0F, 0x8D, 0x15, 0x40}); // LDA #$0F, STA $4015
    emit({0xA9, 0x40, 0x8D, 0x17, 0x40}); // LDA #$40, STA $4017
    // The player screen: its four colours, scrolled home, the background shown.
    emit({0xAD, 0x02, 0x20, 0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, 0xA2, 0x00});
    // LDA palette,X, STA $2007, INX, CPX #4, BNE (11 bytes back).
    const std::uint32_t paletteOperand = at + 1;
    emit({0xBD, 0x00, 0x00, 0x8D, 0x07, 0x20, 0xE8, 0xE0, 0x04, 0xD0, static_cast<std::uint8_t>(-11)});
    emit({0xA9, 0x00, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20, 0x8D, 0x00, 0x20}); // $2005 twice, $2000
    emit({0xA9, 0x0A, 0x8D, 0x01, 0x20});                                     // LDA #$0A, STA $2001
    // The Disk System's sound registers answer once its I/O is enabled.
    emit({0xA9, 0x83, 0x8D, 0x23, 0x40}); // LDA #$83, STA $4023
    const std::uint8_t region = info.pal && !info.dual ? 1 : 0;
    emit({0xA9, static_cast<std::uint8_t>(track - 1), 0xA2, region}); // LDA #track, LDX #region
    // A tune whose INIT never returns takes its PLAY calls as interrupts of INIT.
    emit({static_cast<std::uint8_t>(info.nsf2Flags & NsfInfo::Nsf2NonReturningInit ? 0x58
                                                                                   : 0xEA)}); // CLI / NOP
    emit({0x20, lo(info.initAddress), hi(info.initAddress)});                                 // JSR INIT
    emit({0x58}); // CLI: PLAY may begin
    const std::uint16_t idle = here();
    emit({0x4C, lo(idle), hi(idle)}); // JMP idle

    // IRQ: the timer's line goes low, PLAY runs with the registers kept.
    const std::uint16_t irq = here();
    emit({0x48, 0x8A, 0x48, 0x98, 0x48}); // PHA, TXA, PHA, TYA, PHA
    emit({0x8D, lo(AcknowledgeRegister), hi(AcknowledgeRegister)});
    if (info.nsf2Flags & NsfInfo::Nsf2NoPlay) {
        emit({0xEA, 0xEA, 0xEA});
    } else {
        emit({0x20, lo(info.playAddress), hi(info.playAddress)}); // JSR PLAY
    }
    emit({0x68, 0xA8, 0x68, 0xAA, 0x68, 0x40}); // PLA, TAY, PLA, TAX, PLA, RTI
    const std::uint16_t nmi = here();
    emit({0x40}); // RTI
    const std::uint16_t palette = here();
    emit({NsfScreen::Palette[0], NsfScreen::Palette[1], NsfScreen::Palette[2], NsfScreen::Palette[3]});
    driver[paletteOperand] = lo(palette);
    driver[paletteOperand + 1] = hi(palette);
    // The vectors the top page will carry.
    vectorsAt = at;
    emit({lo(nmi), hi(nmi), lo(reset), hi(reset), lo(irq), hi(irq)});
}

void Nsf::Reset(bool hard) {
    Mmc::Reset(hard);
    if (hard && wram) {
        // Tunes count on their work RAM starting cleared, battery or not.
        std::memset(wram.get(), 0, wramSize);
    }
    BuildDriver();
    process->MapCpuPage(DriverPage, driver.data(), nullptr);
    // The bank registers share $5800-$5FFF with work RAM; the MMC5's registers are at $5000-$57FF.
    WatchLowWrites(0x5800, 0x5FFF);
    if (Has(NsfInfo::ChipFds)) {
        WatchLowWrites(0x4000, 0x47FF);
    }
    // The Namco 163's data port at $4800-$4FFF; the MMC5's registers at $5000-$5015 and $5205-$5206.
    if (Has(NsfInfo::ChipNamco163)) {
        MapCpuHandlers(ChipPage - 1, &ReadChipPage, &WriteChipPage);
    }
    if (Has(NsfInfo::ChipMmc5)) {
        MapCpuHandlers(ChipPage, &ReadChipPage, &WriteChipPage);
    }
    if (fdsRam && hard) {
        std::memset(fdsRam.get(), 0, FdsRamSize);
    }
    for (std::uint32_t slot = fdsRam ? 0 : 2; slot < 10; ++slot) {
        banks[slot] = info.initialBanks[slot];
        MapSlot(slot);
    }
    RefreshTopPage();
    SetNameTableMirroring(MirrorVertical);

    vrc6.Reset();
    vrc7.Reset();
    fds.Reset();
    mmc5.Reset();
    namco163.Reset();
    sunsoft5B.Reset();
    ExpansionSound* const chips[] = {&vrc6, &vrc7, &fds, &mmc5, &namco163, &sunsoft5B};
    const std::uint8_t bits[] = {NsfInfo::ChipVrc6, NsfInfo::ChipVrc7,     NsfInfo::ChipFds,
                                 NsfInfo::ChipMmc5, NsfInfo::ChipNamco163, NsfInfo::ChipSunsoft5B};
    for (std::size_t i = 0; i < std::size(chips); ++i) {
        if (Has(bits[i])) {
            AttachSound(*chips[i]);
        }
    }
    mmc5Factors = {0xFF, 0xFF};

    playCount = 0;
    startPending = true;
    framesPlayed = 0;
    LowerIrq();
    shownSecond = 0xFFFFFFFF;
    DrawScreen();
}

void Nsf::MapSlot(std::uint32_t slot) {
    const std::uint32_t bank = info.bankCount ? banks[slot] % info.bankCount : 0;
    const std::uint32_t offset = bank * NsfInfo::BankSize;
    const std::uint32_t page = FirstSlotPage + slot * 2;
    if (fdsRam) {
        // The Disk System's RAM takes a copy of the bank.
        std::memcpy(fdsRam.get() + slot * NsfInfo::BankSize, Image().prgRom.get() + offset,
                    NsfInfo::BankSize);
        for (std::uint32_t i = 0; i < 2; ++i) {
            std::uint8_t* storage = fdsRam.get() + (slot * 2 + i) * Process::PageSize;
            process->MapCpuPage(page + i, storage,
                                page + i - FirstSlotPage < FdsWritablePages ? storage : nullptr);
        }
    } else {
        MapPrg2k(offset, page);
        MapPrg2k(offset + Process::PageSize, page + 1);
    }
}

void Nsf::RefreshTopPage() {
    const std::uint8_t* shown = nullptr;
    if (fdsRam) {
        shown = fdsRam.get() + FdsRamSize - Process::PageSize;
    } else {
        const std::uint32_t bank = info.bankCount ? banks[9] % info.bankCount : 0;
        shown = Image().prgRom.get() + bank * NsfInfo::BankSize + Process::PageSize;
    }
    std::memcpy(topPage.data(), shown, Process::PageSize);
    // NMI, reset and IRQ vectors: the driver's, as a player cartridge answers them.
    std::memcpy(topPage.data() + Process::PageSize - 6, driver.data() + vectorsAt, 6);
    process->MapCpuPage(TopPage, topPage.data(), nullptr);
}

void Nsf::WriteBank(std::uint32_t slot, std::uint8_t bank) {
    banks[slot] = bank;
    MapSlot(slot);
    if (slot == 9) {
        RefreshTopPage();
    }
}

void Nsf::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (address < 0x5000) {
        if (address >= 0x4040 && address <= 0x408A) {
            RunSound();
            fds.Write(address, value);
        }
        PassLowWrite(address, value);
        return;
    }
    if (address == AcknowledgeRegister) {
        LowerIrq();
        return;
    }
    // $5FF6 and $5FF7 bank the Disk System's RAM at $6000 and $7000; only its tunes have them. An
    // unbanked tune's registers do nothing.
    if (address >= 0x5FF8 || (address >= 0x5FF6 && fdsRam)) {
        if (info.banked) {
            WriteBank(address - 0x5FF6, value);
        }
        return;
    }
    PassLowWrite(address, value);
}

void Nsf::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (Has(NsfInfo::ChipVrc6) && address >= 0x9000 && address < 0xC000 && (address & 0x0FFF) <= 2) {
        RunSound();
        vrc6.Write((address >> 12) - 0x9, address & 3, value);
    }
    if (Has(NsfInfo::ChipVrc7) && (address == 0x9010 || address == 0x9030)) {
        if (address == 0x9010) {
            vrc7.Select(value);
        } else {
            RunSound();
            vrc7.Write(value);
        }
    }
    if (Has(NsfInfo::ChipNamco163) && address >= 0xF800) {
        namco163.WriteAddress(value);
    }
    if (Has(NsfInfo::ChipSunsoft5B)) {
        if ((address & 0xE000) == 0xC000) {
            sunsoft5B.Select(value);
        } else if ((address & 0xE000) == 0xE000) {
            RunSound();
            sunsoft5B.Write(value);
        }
    }
}

std::uint8_t Nsf::ReadChipPage(Process* process, std::uint32_t address) {
    auto& board = static_cast<Nsf&>(process->GetMmc());
    if (board.Has(NsfInfo::ChipNamco163) && address >= 0x4800 && address < 0x5000) {
        board.RunSound();
        return board.namco163.ReadData();
    }
    if (board.Has(NsfInfo::ChipMmc5)) {
        if (address == 0x5015) {
            board.RunSound();
            return board.mmc5.ReadStatus();
        }
        if (address == 0x5205 || address == 0x5206) {
            const unsigned product = board.mmc5Factors[0] * board.mmc5Factors[1];
            return static_cast<std::uint8_t>(address == 0x5205 ? product : product >> 8);
        }
    }
    // The rest of $5000-$57FF is work RAM.
    return board.wram[address - 0x5000];
}

void Nsf::WriteChipPage(Process* process, std::uint32_t address, std::uint8_t value) {
    auto& board = static_cast<Nsf&>(process->GetMmc());
    if (board.Has(NsfInfo::ChipNamco163) && address >= 0x4800 && address < 0x5000) {
        board.RunSound();
        board.namco163.WriteData(value);
        return;
    }
    if (board.Has(NsfInfo::ChipMmc5)) {
        if (address <= 0x5015) {
            board.RunSound();
            board.mmc5.Write(address, value);
            return;
        }
        if (address == 0x5205 || address == 0x5206) {
            board.mmc5Factors[address - 0x5205] = value;
            return;
        }
    }
    board.wram[address - 0x5000] = value;
}

std::uint64_t Nsf::PlayCycle(std::uint64_t count) const {
    const bool pal = Image().tvSystem == TvPal;
    const std::uint64_t period = pal ? info.palPeriod : info.ntscPeriod;
    const std::uint64_t* rate = pal ? PalCyclesPerUs : NtscCyclesPerUs;
    return trackStart + count * period * rate[0] / rate[1];
}

std::uint64_t Nsf::NextIrqCycle() {
    if (info.nsf2Flags & NsfInfo::Nsf2NoPlay) {
        return Apu::Never;
    }
    if (startPending) {
        // The first time the machine asks after a reset, the processor's clock is the track's start.
        startPending = false;
        trackStart = CpuCycle();
    }
    return PlayCycle(playCount + 1);
}

void Nsf::OnIrqCycle(std::uint64_t) {
    ++playCount;
    RaiseIrq();
}

void Nsf::OnVBlank() {
    ++framesPlayed;
    DrawClock();
}

double Nsf::PlayedMs() const {
    return static_cast<double>(framesPlayed) * 1000.0 /
           (Image().tvSystem == TvPal ? PalFrameRate : NtscFrameRate);
}

double Nsf::FadeGain(double playedMs) const {
    const double length = info.TrackMs(track);
    const double fade = info.FadeMs(track);
    if (playedMs <= length) {
        return 1.0;
    }
    if (fade <= 0 || playedMs >= length + fade) {
        return 0.0;
    }
    return 1.0 - (playedMs - length) / fade;
}

bool Nsf::TrackOver() const {
    return PlayedMs() >= static_cast<double>(info.TrackMs(track)) + info.FadeMs(track);
}

void Nsf::DrawScreen() {
    if (!chrRam) {
        return;
    }
    NsfScreen::LoadFont(chrRam.get());
    std::uint8_t* names = nameTableRam.get();
    std::memset(names, NsfScreen::Blank, 0x3C0);
    std::memset(names + 0x3C0, 0, 0x40); // every tile in the first palette
    NsfScreen::Print(names, 2, 3, "HALVO NSF PLAYER");
    // Rippers write "<?>" for what they do not know.
    const auto known = [](const std::string& text) { return text == "<?>" ? std::string() : text; };
    NsfScreen::Print(names, 2, 7, known(info.title));
    NsfScreen::Print(names, 2, 9, known(info.artist));
    NsfScreen::Print(names, 2, 11, known(info.copyright));
    NsfScreen::Print(names, 2, 15,
                     "TRACK " + std::to_string(track) + " OF " + std::to_string(info.songCount));
    NsfScreen::Print(names, 2, 17, info.TrackTitle(track));
    NsfScreen::Print(names, 2, 25, "LEFT RIGHT: TRACK");
    NsfScreen::Print(names, 2, 26, "P: PAUSE");
    DrawClock();
}

void Nsf::DrawClock() {
    const auto second = static_cast<std::uint32_t>(PlayedMs() / 1000.0);
    if (second == shownSecond || !nameTableRam) {
        return;
    }
    shownSecond = second;
    const std::uint32_t length = (info.TrackMs(track) + 999) / 1000;
    const auto clock = [](std::uint32_t seconds) {
        const std::uint32_t s = seconds % 60;
        return std::to_string(seconds / 60) + (s < 10 ? ":0" : ":") + std::to_string(s);
    };
    std::uint8_t* names = nameTableRam.get();
    std::memset(names + 19 * 32, NsfScreen::Blank, 64);
    NsfScreen::Print(names, 2, 19, clock(second) + " / " + clock(length));
    // The progress bar.
    const std::uint32_t filled = length ? std::min<std::uint32_t>(second * 28 / length, 28) : 0;
    for (std::uint32_t column = 0; column < 28; ++column) {
        names[21 * 32 + 2 + column] = column < filled ? NsfScreen::Full : NsfScreen::Empty;
    }
}

Mmc::OwnMemory Nsf::StateMemory(std::uint32_t index) {
    switch (index) {
    case 0:
        return {driver.data(), driver.size(), false};
    case 1:
        return {topPage.data(), topPage.size(), false};
    case 2:
        if (fdsRam) {
            return {fdsRam.get(), FdsRamSize, true};
        }
        return {};
    default:
        return {};
    }
}

void Nsf::StateRegisters(StateIo& io) {
    io(track, trackStart, playCount, startPending, framesPlayed).Array(banks).Array(mmc5Factors);
    if (fdsRam) {
        io.Bytes(fdsRam.get(), FdsRamSize);
    }
    if (io.Loading()) {
        track = std::clamp<std::uint32_t>(track, 1, info.songCount);
        BuildDriver();
        RefreshTopPage();
        shownSecond = 0xFFFFFFFF;
    }
    {
        const StateIo::Scope scope(io, "vrc6");
        vrc6.State(io);
    }
    {
        const StateIo::Scope scope(io, "vrc7");
        vrc7.State(io);
    }
    {
        const StateIo::Scope scope(io, "fds");
        fds.State(io);
    }
    {
        const StateIo::Scope scope(io, "mmc5");
        mmc5.State(io);
    }
    {
        const StateIo::Scope scope(io, "n163");
        namco163.State(io);
    }
    {
        const StateIo::Scope scope(io, "5b");
        sunsoft5B.State(io);
    }
}

} // namespace Halvo::Nes
