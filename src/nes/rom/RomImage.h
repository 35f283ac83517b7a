#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace Halvo::Nes {

// One cartridge in memory: its PRG-ROM and CHR-ROM, the board that carries them, the board's fixed
// properties and the descriptive text of the file it came from. The format readers fill it; after
// loading nothing changes it. The value domains of the board properties are those of UNIF.
struct RomImage {
    static constexpr std::uint32_t PrgBankSize = 16384;
    static constexpr std::uint32_t ChrBankSize = 8192;
    static constexpr std::uint32_t TrainerSize = 512;

    // Mirroring codes of the "MIRR" chunk.
    static constexpr std::uint32_t MirrorHorizontal = 0;
    static constexpr std::uint32_t MirrorVertical = 1;
    static constexpr std::uint32_t MirrorSingleLow = 2;
    static constexpr std::uint32_t MirrorSingleHigh = 3;
    static constexpr std::uint32_t MirrorFourScreen = 4;
    static constexpr std::uint32_t MirrorByMapper = 5;

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
    std::uint32_t tvSystem = 2; // 0 NTSC, 1 PAL, 2 both
    std::uint32_t portsType = 0;
    std::uint32_t mirroring = MirrorByMapper;
    bool hasWram = false;
    bool hasBattery = false;
    bool hasChrRam = false;
    std::uint32_t controllers = ControllersNotGiven;
    std::unique_ptr<std::uint8_t[]> trainer; // 512 bytes, or null
    std::string dumperName = "Halvo " HALVO_VERSION;
    std::string dumperAgent = "Converted by the Halvo NES ROM image import toolkit.";
    std::uint8_t dumpDay = 1;
    std::uint8_t dumpMonth = 0; // counted from 0 for January
    std::uint16_t dumpYear = 1970;
};

} // namespace Halvo::Nes
