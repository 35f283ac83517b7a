#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "nes/rom/NsfInfo.h"

namespace Halvo::Nes {

// How the four name-table slots ($2000, $2400, $2800, $2C00) show the four 1 KiB pages of name-table
// RAM. Images carry the codes 0-5 of the UNIF "MIRR" chunk; boards also use 6-8.
enum MirroringType : std::uint32_t {
    MirrorHorizontal = 0,  // 0 0 1 1
    MirrorVertical = 1,    // 0 1 0 1
    MirrorSinglePage0 = 2, // 0 0 0 0
    MirrorSinglePage1 = 3, // 1 1 1 1
    MirrorFourScreen = 4,  // 0 1 2 3: the cartridge brings RAM for the other two pages
    MirrorByMapper = 5,    // the board decides; on a board: the slots as it last set them
    MirrorSinglePage2 = 6, // 2 2 2 2
    MirrorSinglePage3 = 7, // 3 3 3 3
    MirrorNotSet = 8,      // a board before its first reset
};

// The TV systems of the UNIF "TVCI" chunk, and the Dendy of the NES 2.0 header. TvBoth also stands for
// an image that does not say; the machine's region (Region.h) then comes from elsewhere.
enum TvSystem : std::uint32_t {
    TvNtsc = 0,
    TvPal = 1,
    TvBoth = 2,
    TvDendy = 3,
};

// One cartridge in memory: its PRG-ROM and CHR-ROM, the board that carries them, the board's fixed
// properties and the descriptive text of the file it came from. The format readers fill it; after
// loading nothing changes it. The value domains of the board properties are those of UNIF.
struct RomImage {
    static constexpr std::uint32_t PrgBankSize = 16384;
    static constexpr std::uint32_t ChrBankSize = 8192;
    static constexpr std::uint32_t TrainerSize = 512;
    // No cartridge holds more; a larger file or stream is refused before it is read.
    static constexpr std::uint64_t MaxFileSize = 64 * 1024 * 1024;

    static constexpr std::uint32_t ControllersNotGiven = 0xFFFFFFFFu;

    // Every field takes its default; the dump date is today's local date.
    RomImage();
    RomImage(const RomImage&) = delete;
    RomImage& operator=(const RomImage&) = delete;

    // Sets the three dump date fields from the local calendar date of the given moment.
    void SetDumpDate(std::time_t moment);

    std::unique_ptr<std::uint8_t[]> prgRom; // prgBankCount x 16384 bytes, banks in file order
    std::uint32_t prgBankCount = 0;
    std::uint32_t prgCrc = 0;
    std::unique_ptr<std::uint8_t[]> chrRom; // chrBankCount x 8192 bytes; null without CHR-ROM
    std::uint32_t chrBankCount = 0;
    std::uint32_t chrCrc = 0;
    std::string name;
    std::string comments;
    std::string boardName = "NROM";
    std::uint32_t tvSystem = TvBoth; // a TvSystem code
    std::uint32_t portsType = 0;
    std::uint32_t mirroring = MirrorByMapper; // a MirroringType code, 0-5
    bool hasWram = false;
    bool hasBattery = false;
    bool hasChrRam = false;
    // What an NES 2.0 header tells beyond the board: the submapper that picks among the wirings of one
    // mapper number, and the RAM sizes in bytes (0 when not given: the board then carries its usual
    // RAM). The NV sizes are the battery-backed parts.
    std::uint32_t submapper = 0;
    std::uint32_t prgRamSize = 0;
    std::uint32_t prgNvramSize = 0;
    std::uint32_t chrRamSize = 0;
    std::uint32_t chrNvramSize = 0;
    std::uint32_t controllers = ControllersNotGiven;
    std::unique_ptr<std::uint8_t[]> trainer; // 512 bytes, or null
    // A music file's player data (board "NSF"); null for a cartridge.
    std::unique_ptr<NsfInfo> nsf;
    // A Famicom Disk System disk instead of a cartridge: its sides of DiskSideSize bytes each, in the
    // order of the .fds file (disk 1 side A, side B, disk 2 ...), as the blocks lie on the disk without
    // their gaps and checksums. The RAM adapter's BIOS (DiskBiosSize bytes), which players supply, is
    // added by whoever loads the disk to play it; a disk image never carries it.
    static constexpr std::size_t DiskSideSize = 65500;
    static constexpr std::size_t DiskBiosSize = 8192;
    std::vector<std::uint8_t> disk;
    std::uint32_t diskSideCount = 0;
    std::vector<std::uint8_t> diskBios;
    std::string dumperName = "Halvo " HALVO_VERSION;
    std::string dumperAgent = "Converted by the Halvo NES ROM image import toolkit.";
    std::uint8_t dumpDay = 1;
    std::uint8_t dumpMonth = 0; // counted from 0 for January
    std::uint16_t dumpYear = 1970;
};

} // namespace Halvo::Nes
