#include "nes/rom/INesIOStrategy.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "console/System.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/LoadReport.h"
#include "nes/rom/StreamBlock.h"

namespace Halvo::Nes {

namespace {

constexpr std::size_t HeaderSize = 16;
constexpr std::size_t TitleSize = 128;
constexpr std::uint32_t MaxBankCount = 255;

constexpr std::uint8_t FlagVertical = 0x01;
constexpr std::uint8_t FlagBattery = 0x02;
constexpr std::uint8_t FlagTrainer = 0x04;
constexpr std::uint8_t FlagFourScreen = 0x08;

const char* const LoadOperation = "Halvo::Nes::INesIOStrategy::LoadImage";
const char* const SaveOperation = "Halvo::Nes::INesIOStrategy::SaveImage";

// Why no board fits a header. A mapper that the table knows has boards, just none of this size (or
// with this battery or four-screen bit): saying "unsupported" would send the user after the mapper.
std::string NoBoardMessage(std::uint32_t mapper, std::uint32_t prgBanks, std::uint32_t chrBanks, bool battery,
                           bool fourScreen) {
    const bool known =
        std::any_of(std::begin(INesIOStrategy::CompatTable), std::end(INesIOStrategy::CompatTable),
                    [&](const INesIOStrategy::CompatRow& row) { return row.mapper == mapper; });
    if (!known) {
        return "Unsupported iNES mapper number.";
    }
    const auto banks = [](std::uint32_t count, const char* kind) {
        return std::to_string(count) + " " + kind + (count == 1 ? " bank" : " banks");
    };
    std::vector<std::string> parts = {banks(prgBanks, "PRG-ROM"), banks(chrBanks, "CHR-ROM")};
    if (battery) {
        parts.emplace_back("battery-backed RAM");
    }
    if (fourScreen) {
        parts.emplace_back("four-screen mirroring");
    }
    std::string message = "No board of iNES mapper " + std::to_string(mapper) + " fits " + parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        message += (i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return message + ".";
}

} // namespace

const INesIOStrategy::CompatRow* INesIOStrategy::FindBoard(std::uint32_t mapper, std::uint32_t prgBanks,
                                                           std::uint32_t chrBanks, bool battery,
                                                           bool fourScreen) {
    for (const CompatRow& row : CompatTable) {
        if (row.mapper != mapper) {
            continue;
        }
        if ((row.battery == Battery::Present && !battery) || (row.battery == Battery::Absent && battery)) {
            continue;
        }
        if (row.mirroring == Mirroring::FourScreen && !fourScreen) {
            continue;
        }
        if (prgBanks < row.minPrgBanks || prgBanks > row.maxPrgBanks || chrBanks < row.minChrBanks ||
            chrBanks > row.maxChrBanks) {
            continue;
        }
        return &row;
    }
    return nullptr;
}

std::unique_ptr<RomImageIOStrategy> INesIOStrategy::Clone() const {
    return std::make_unique<INesIOStrategy>();
}

std::string INesIOStrategy::GetDescription() const {
    return "iNES (*.NES)";
}

bool INesIOStrategy::CheckExtension(const std::string& extension) const {
    return extension == "nes";
}

std::unique_ptr<RomImage> INesIOStrategy::LoadImage(std::istream& in, bool) const {
    std::uint8_t header[HeaderSize];
    in.read(reinterpret_cast<char*>(header), HeaderSize);
    if (static_cast<std::size_t>(in.gcount()) != HeaderSize) {
        ReportForeignFile(LoadOperation, __LINE__, "Invalid iNES header.");
        return nullptr;
    }
    // Old dumping tools wrote their signature "DiskDude!" over bytes 7 to 15; the "D" there is no
    // mapper number's high nibble.
    if (header[7] == 'D' && std::memcmp(header + 8, "iskDude!", 8) == 0) {
        header[7] = 0;
    }
    // "NEZ" marks files that some tools patched to hide them from other emulators; the data is iNES.
    if ((std::memcmp(header, "NES", 3) != 0 && std::memcmp(header, "NEZ", 3) != 0) || header[3] != 0x1A) {
        ReportForeignFile(LoadOperation, __LINE__, "Invalid iNES header.");
        return nullptr;
    }
    const std::uint32_t prgBanks = header[4];
    const std::uint32_t chrBanks = header[5];
    const std::uint8_t flags6 = header[6];
    if (prgBanks == 0) {
        ReportLoadError(LoadOperation, __LINE__, "Possible corrupted iNES header--no PRG-ROM.");
        return nullptr;
    }
    const std::uint32_t mapper = (header[7] & 0xF0u) | (flags6 >> 4);
    const bool battery = (flags6 & FlagBattery) != 0;
    const bool fourScreen = (flags6 & FlagFourScreen) != 0;
    const CompatRow* row = FindBoard(mapper, prgBanks, chrBanks, battery, fourScreen);
    if (!row) {
        ReportLoadError(LoadOperation, __LINE__,
                        NoBoardMessage(mapper, prgBanks, chrBanks, battery, fourScreen));
        return nullptr;
    }

    auto image = std::make_unique<RomImage>();
    image->boardName = row->boardName;
    image->hasWram = battery;
    image->hasBattery = battery;
    image->mirroring = fourScreen                ? MirrorFourScreen
                       : (flags6 & FlagVertical) ? MirrorVertical
                                                 : MirrorHorizontal;

    if (flags6 & FlagTrainer) {
        image->trainer = ReadBlock(in, RomImage::TrainerSize);
        if (!image->trainer) {
            ReportLoadError(LoadOperation, __LINE__, "Corrupted iNES rom image file.");
            return nullptr;
        }
    }

    const std::size_t prgSize = std::size_t{prgBanks} * RomImage::PrgBankSize;
    image->prgRom = ReadBlock(in, prgSize);
    if (!image->prgRom) {
        ReportLoadError(LoadOperation, __LINE__, "Corrupted iNES rom image file.");
        return nullptr;
    }
    image->prgBankCount = prgBanks;
    image->prgCrc = Crc32::Of(image->prgRom.get(), prgSize);

    if (chrBanks != 0) {
        const std::size_t chrSize = std::size_t{chrBanks} * RomImage::ChrBankSize;
        image->chrRom = ReadBlock(in, chrSize);
        if (!image->chrRom) {
            ReportLoadError(LoadOperation, __LINE__, "Corrupted iNES rom image file.");
            return nullptr;
        }
        image->chrBankCount = chrBanks;
        image->chrCrc = Crc32::Of(image->chrRom.get(), chrSize);
    } else {
        image->hasChrRam = true;
    }

    // The optional title trailer; a file that ends right after the CHR-ROM simply has none.
    char title[TitleSize + 1] = {};
    in.read(title, TitleSize);
    const auto titleLength = static_cast<std::size_t>(in.gcount());
    if (titleLength > 0) {
        title[titleLength] = 0;
        image->name = title;
    }
    return image;
}

bool INesIOStrategy::SaveImage(std::ostream& out, const RomImage& image) const {
    const auto row =
        std::find_if(std::begin(CompatTable), std::end(CompatTable),
                     [&](const CompatRow& candidate) { return image.boardName == candidate.boardName; });
    if (row == std::end(CompatTable)) {
        Console::ReportError(SaveOperation, __LINE__) << "Unsupported iNES mapper number." << std::endl;
        return false;
    }
    // The header counts banks in one byte each; a larger count would be stored cut and the file would
    // no longer describe its own data.
    if (image.prgBankCount > MaxBankCount) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Too many PRG-ROM banks for the iNES format." << std::endl;
        return false;
    }
    if (image.chrBankCount > MaxBankCount) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Too many CHR-ROM banks for the iNES format." << std::endl;
        return false;
    }

    std::uint8_t header[HeaderSize] = {'N', 'E', 'S', 0x1A};
    header[4] = static_cast<std::uint8_t>(image.prgBankCount);
    header[5] = static_cast<std::uint8_t>(image.chrBankCount);
    std::uint8_t flags6 = static_cast<std::uint8_t>((row->mapper & 0x0Fu) << 4);
    if (image.mirroring == MirrorFourScreen) {
        flags6 |= FlagFourScreen;
    }
    if (image.trainer) {
        flags6 |= FlagTrainer;
    }
    if (image.hasBattery || image.hasWram) {
        flags6 |= FlagBattery;
    }
    if (image.mirroring == MirrorVertical) {
        flags6 |= FlagVertical;
    }
    header[6] = flags6;
    header[7] = static_cast<std::uint8_t>(row->mapper & 0xF0u);

    out.write(reinterpret_cast<const char*>(header), HeaderSize);
    if (image.trainer) {
        out.write(reinterpret_cast<const char*>(image.trainer.get()), RomImage::TrainerSize);
    }
    if (image.prgRom && image.prgBankCount > 0) {
        out.write(reinterpret_cast<const char*>(image.prgRom.get()),
                  static_cast<std::streamsize>(std::size_t{image.prgBankCount} * RomImage::PrgBankSize));
    }
    if (image.chrRom && image.chrBankCount > 0) {
        out.write(reinterpret_cast<const char*>(image.chrRom.get()),
                  static_cast<std::streamsize>(std::size_t{image.chrBankCount} * RomImage::ChrBankSize));
    }
    // The title field is always written, so that a saved and reloaded image keeps its title.
    char title[TitleSize] = {};
    std::memcpy(title, image.name.data(), std::min(image.name.size(), TitleSize));
    out.write(title, TitleSize);
    out.flush();
    if (!out) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Could not write the iNES rom image file." << std::endl;
        return false;
    }
    return true;
}

} // namespace Halvo::Nes
