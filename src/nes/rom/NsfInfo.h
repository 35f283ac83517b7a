#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Halvo::Nes {

// What an NSF or NSFe music file tells beyond its program: where the program's routines are, how
// often its PLAY routine wants calling, which sound chips it drives and what its tracks are called and
// last. The program itself is the image's PRG-ROM, cut into 4 KiB banks as the file's bank registers
// count them.
struct NsfInfo {
    // The header's expansion sound bits.
    enum Chip : std::uint8_t {
        ChipVrc6 = 0x01,
        ChipVrc7 = 0x02,
        ChipFds = 0x04,
        ChipMmc5 = 0x08,
        ChipNamco163 = 0x10,
        ChipSunsoft5B = 0x20,
        KnownChips = 0x3F,
    };
    // NSF2 feature flags (byte $7C).
    static constexpr std::uint8_t Nsf2Irq = 0x10;
    static constexpr std::uint8_t Nsf2NonReturningInit = 0x20;
    static constexpr std::uint8_t Nsf2NoPlay = 0x40;

    static constexpr std::uint32_t BankSize = 4096;
    // The 8-bit bank registers reach 256 banks of 4 KiB.
    static constexpr std::uint32_t MaxBanks = 256;
    // Play periods when a file gives none: the console's own frame rates.
    static constexpr std::uint16_t NtscFramePeriod = 16639;
    static constexpr std::uint16_t PalFramePeriod = 19997;
    // A track whose length the file does not give plays this long, then fades out.
    static constexpr std::uint32_t DefaultTrackMs = 3 * 60 * 1000;
    static constexpr std::uint32_t DefaultFadeMs = 8000;

    std::uint32_t version = 1; // 1 or 2 for NSF files, 0 for NSFe
    std::uint32_t songCount = 1;
    std::uint32_t startSong = 1; // counted from 1
    std::uint16_t loadAddress = 0x8000;
    std::uint16_t initAddress = 0x8000;
    std::uint16_t playAddress = 0x8000;
    std::string title;
    std::string artist;
    std::string copyright;
    std::string ripper;
    std::uint16_t ntscPeriod = NtscFramePeriod; // microseconds between PLAY calls
    std::uint16_t palPeriod = PalFramePeriod;
    bool pal = false;  // a PAL tune
    bool dual = false; // plays on both systems (run as NTSC)
    std::uint8_t chips = 0;
    std::uint8_t nsf2Flags = 0;
    // Whether the tune switches banks itself. Without, the program sits at its load address and the
    // banks below are the ones that put it there.
    bool banked = false;
    // The bank each 4 KiB slot from $6000 to $F000 shows at the start of a track (slots $6000 and
    // $7000 only for the Disk System's RAM), as banks of PRG-ROM.
    std::array<std::uint8_t, 10> initialBanks{};
    std::uint32_t bankCount = 0; // 4 KiB banks of program the file holds
    // By track, from the NSFe "time", "fade" and "tlbl" chunks; a negative length is not given.
    std::vector<std::int32_t> trackMs;
    std::vector<std::int32_t> fadeMs;
    std::vector<std::string> trackTitles;

    // The length of track `track` (from 1) and of its fade-out, in milliseconds.
    std::uint32_t TrackMs(std::uint32_t track) const {
        const std::size_t at = track - 1;
        return at < trackMs.size() && trackMs[at] >= 0 ? static_cast<std::uint32_t>(trackMs[at])
                                                       : DefaultTrackMs;
    }
    std::uint32_t FadeMs(std::uint32_t track) const {
        const std::size_t at = track - 1;
        return at < fadeMs.size() && fadeMs[at] >= 0 ? static_cast<std::uint32_t>(fadeMs[at]) : DefaultFadeMs;
    }
    std::string TrackTitle(std::uint32_t track) const {
        const std::size_t at = track - 1;
        return at < trackTitles.size() ? trackTitles[at] : std::string();
    }
};

} // namespace Halvo::Nes
