#pragma once

#include <cstdint>

#include "nes/rom/RomImageIOStrategy.h"

namespace Halvo::Nes {

// A row of the iNES reader's board table (INesIOStrategy::CompatTable) and its requirements.
enum class INesBattery : std::uint8_t { Any, Present, Absent };
enum class INesMirroring : std::uint8_t { Any, FourScreen };

struct INesCompatRow {
    const char* boardName;
    std::uint32_t mapper;
    std::uint32_t minPrgBanks;
    std::uint32_t maxPrgBanks;
    std::uint32_t minChrBanks;
    std::uint32_t maxChrBanks;
    INesBattery battery;
    INesMirroring mirroring;
    // The NES 2.0 submapper that names this board; 0: the row fits any submapper.
    std::uint32_t submapper = 0;
};

// The iNES format: a 16-byte header naming a mapper number, then the trainer, PRG-ROM, CHR-ROM and an
// optional title trailer. The machine chooses mappers by board name, so the reader translates the
// mapper number (with the bank counts, battery and mirroring bits) into a board through CompatTable.
// The NES 2.0 form of the header (byte 7 bits 2-3 = 2) adds a 12-bit mapper number, the submapper,
// larger ROM sizes, the RAM sizes and the timing; the writer uses it only where the old form would lose
// something the image holds.
class INesIOStrategy : public RomImageIOStrategy {
public:
    using Battery = INesBattery;
    using Mirroring = INesMirroring;
    using CompatRow = INesCompatRow;

    // Searched in order; the first row that fits the header gives the board.
    // clang-format off
    static constexpr CompatRow CompatTable[] = {
        // board     mapper PRG banks  CHR banks  battery           mirroring
        {"NROM",     0,     1, 2,      0, 1,      Battery::Any,     Mirroring::Any},
        // 48 KiB of NROM is the homebrew NROM-368, which decodes PRG-ROM from $4800.
        {"NROM-368", 0,     3, 3,      0, 1,      Battery::Any,     Mirroring::Any},
        {"SAROM",    1,     1, 255,    1, 255,    Battery::Present, Mirroring::Any},
        {"SBROM",    1,     1, 255,    4, 4,      Battery::Absent,  Mirroring::Any},
        {"SC1ROM",   1,     1, 255,    1, 255,    Battery::Absent,  Mirroring::Any},
        {"SGROM",    1,     1, 255,    0, 0,      Battery::Absent,  Mirroring::Any},
        {"SOROM",    1,     1, 255,    0, 0,      Battery::Present, Mirroring::Any},
        {"UNROM",    2,     1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"CNROM",    3,     1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"TR1ROM",   4,     8, 8,      8, 8,      Battery::Absent,  Mirroring::FourScreen},
        {"TVROM",    4,     1, 255,    1, 255,    Battery::Absent,  Mirroring::FourScreen},
        {"TFROM",    4,     1, 255,    8, 8,      Battery::Absent,  Mirroring::Any},
        {"TGROM",    4,     1, 32,     0, 0,      Battery::Absent,  Mirroring::Any},
        {"TKROM",    4,     1, 255,    1, 255,    Battery::Present, Mirroring::Any},
        {"TLROM",    4,     1, 255,    1, 255,    Battery::Absent,  Mirroring::Any},
        // CHR-RAM and a battery (Famicom Wars); the MMC3 reaches 512 KiB of PRG-ROM.
        {"TNROM",    4,     1, 32,     0, 0,      Battery::Present, Mirroring::Any},
        {"TSROM",    4,     1, 255,    1, 255,    Battery::Present, Mirroring::Any},
        {"AOROM",    7,     1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"PNROM",    9,     1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"GNROM",    66,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"FKROM",    10,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"COLORDREAMS", 11, 1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"CPROM",    13,    1, 255,    0, 0,      Battery::Any,     Mirroring::Any},
        // Both boards of mapper 34 switch 32 KiB of PRG; only NINA-001 banks CHR-ROM. A submapper says
        // which; without one, the CHR-ROM size does.
        {"NINA-001", 34,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any, 1},
        {"BNROM",    34,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any, 2},
        {"NINA-001", 34,    1, 255,    2, 255,    Battery::Any,     Mirroring::Any},
        {"BNROM",    34,    1, 255,    0, 1,      Battery::Any,     Mirroring::Any},
        {"BF9093",   71,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NINA-03",  79,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"TKSROM",   118,   1, 255,    1, 255,    Battery::Present, Mirroring::Any},
        {"TLSROM",   118,   1, 255,    1, 255,    Battery::Any,     Mirroring::Any},
        {"TQROM",    119,   1, 255,    1, 255,    Battery::Any,     Mirroring::Any},
        {"JF-14",    140,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"UNROM+74HC08", 180, 1, 255,  0, 255,    Battery::Any,     Mirroring::Any},
        {"DRROM",    206,   1, 255,    0, 255,    Battery::Any,     Mirroring::FourScreen},
        {"DEROM",    206,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"BF9096",   232,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC4AC",   21,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC2A",    22,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC4EF",   23,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC4BD",   25,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"JLROM",    69,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC6A",    24,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC6B",    26,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC7",     85,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NAMCO-163", 19,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NAMCO-175", 210,  1, 255,    0, 255,    Battery::Any,     Mirroring::Any, 1},
        {"NAMCO-340", 210,  1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"EKROM",    5,     1, 255,    0, 255,    Battery::Present, Mirroring::Any},
        {"ELROM",    5,     1, 255,    0, 255,    Battery::Absent,  Mirroring::Any},
        // Mapper 16 is two chips: the submapper names one; without it both ranges answer.
        {"FCG-1",    16,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any, 4},
        {"LZ93D50+24C02", 16, 1, 255,  0, 255,    Battery::Any,     Mirroring::Any, 5},
        {"FCG",      16,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"LZ93D50+SRAM", 153, 1, 255,  0, 255,    Battery::Any,     Mirroring::Any},
        {"LZ93D50+24C01", 159, 1, 255, 0, 255,    Battery::Any,     Mirroring::Any},
        {"JF-24",    18,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"JF-09",    87,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"TC0190",   33,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"TC0690",   48,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"CN-SECURITY", 185, 1, 255,   0, 255,    Battery::Any,     Mirroring::Any},
        {"X1-005",   80,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"X1-005/207", 207, 1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"X1-017",   82,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC1",     75,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"G-101",    32,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"H3001",    65,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"74161/70", 70,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"74161/152", 152,  1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"SUNSOFT-1", 184,  1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"SUNSOFT-2", 89,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"SUNSOFT-2-3R", 93, 1, 255,   0, 255,    Battery::Any,     Mirroring::Any},
        {"SUNSOFT-3", 67,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"SUNSOFT-4", 68,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"JF-17",    72,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"JF-19",    92,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"JF-13",    86,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        // Mapper 78: Cosmo Carrier's one-screen board (submapper 1) or Holy Diver's, which old
        // headers mark with the four-screen bit (submapper 3).
        {"JF-16",    78,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any, 1},
        {"IF-12",    78,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any, 3},
        {"IF-12",    78,    1, 255,    0, 255,    Battery::Any,     Mirroring::FourScreen},
        {"JF-16",    78,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NAMCOT-3446", 76, 1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NAMCOT-3433", 88, 1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NAMCOT-3425", 95, 1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NAMCOT-3453", 154, 1, 255,   0, 255,    Battery::Any,     Mirroring::Any},
        {"VRC3",     73,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"RAMBO-1",  64,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"800037",   158,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"PAL-ZZ",   37,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"QJ",       47,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"NES-EVENT", 105,  1, 255,    0, 0,      Battery::Any,     Mirroring::Any},
        {"UNROM-512", 30,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"ACTION53", 28,    1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
        {"GTROM",    111,   1, 255,    0, 255,    Battery::Any,     Mirroring::Any},
    };
    // clang-format on

    // The board for a header's mapper number, submapper (0 when the header gives none), bank counts,
    // battery bit and four-screen bit; null when no row fits.
    static const CompatRow* FindBoard(std::uint32_t mapper, std::uint32_t submapper, std::uint32_t prgBanks,
                                      std::uint32_t chrBanks, bool battery, bool fourScreen);

    std::unique_ptr<RomImageIOStrategy> Clone() const override;
    std::string GetDescription() const override;
    bool CheckExtension(const std::string& extension) const override;
    // The strict flag is not used by this format.
    std::unique_ptr<RomImage> LoadImage(std::istream& in, bool strict) const override;
    // False, with nothing written, when the board has no mapper number or the image has more banks than
    // the header can count; false too when the stream reports a write failure.
    bool SaveImage(std::ostream& out, const RomImage& image) const override;
};

} // namespace Halvo::Nes
