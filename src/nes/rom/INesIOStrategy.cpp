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
// NES 2.0 counts banks in 12 bits; a top nibble of $F marks the exponent form instead.
constexpr std::uint32_t MaxNes20BankCount = 0xEFF;
constexpr std::uint8_t Nes20Mark = 0x08;
constexpr std::uint8_t FormatBits = 0x0C;

constexpr std::uint8_t FlagVertical = 0x01;
constexpr std::uint8_t FlagBattery = 0x02;
constexpr std::uint8_t FlagTrainer = 0x04;
constexpr std::uint8_t FlagFourScreen = 0x08;
constexpr std::uint32_t UNRom512Mapper = 30;

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
        // Numbers above 255 exist only in NES 2.0 headers: name it, since it is no misread byte.
        return mapper > 255 ? "Unsupported NES 2.0 mapper number " + std::to_string(mapper) + "."
                            : "Unsupported iNES mapper number.";
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

// A NES 2.0 ROM size in bytes: a 12-bit count of `unit`s, or, when the top nibble is $F, the exponent
// form 2^E x (2M + 1) from the low byte EEEEEEMM, for sizes that are no multiple of the unit.
std::uint64_t Nes20RomSize(std::uint8_t low, std::uint8_t topNibble, std::uint32_t unit) {
    if (topNibble != 0x0F) {
        return (std::uint64_t{topNibble} << 8 | low) * unit;
    }
    const std::uint32_t exponent = low >> 2;
    const std::uint64_t multiplier = (low & 3u) * 2 + 1;
    // No file is that big; keep the number from overflowing, and let the short read refuse it.
    return exponent > 40 ? std::uint64_t{1} << 41 : (std::uint64_t{1} << exponent) * multiplier;
}

// A NES 2.0 RAM size: 64 << shift bytes, none for a shift of 0.
std::uint32_t Nes20RamSize(std::uint32_t shift) {
    return shift == 0 ? 0 : 64u << shift;
}

// The shift that holds `size` bytes (rounded up to what the header can say).
std::uint8_t Nes20RamShift(std::uint32_t size) {
    std::uint8_t shift = 0;
    while (size != 0 && (64u << shift) < size && shift < 15) {
        ++shift;
    }
    return size == 0 ? 0 : std::max<std::uint8_t>(shift, 1);
}

// The low byte and top nibble of a NES 2.0 bank count; false when neither form holds it.
bool Nes20RomCount(std::uint32_t banks, std::uint32_t unit, std::uint8_t& low, std::uint8_t& topNibble) {
    if (banks <= MaxNes20BankCount) {
        low = static_cast<std::uint8_t>(banks);
        topNibble = static_cast<std::uint8_t>(banks >> 8);
        return true;
    }
    // Exponent form: the size as 2^E times 1, 3, 5 or 7.
    std::uint64_t odd = std::uint64_t{banks} * unit;
    std::uint32_t exponent = 0;
    for (; (odd & 1) == 0; odd >>= 1) {
        ++exponent;
    }
    if (odd > 7 || exponent > 63) {
        return false;
    }
    low = static_cast<std::uint8_t>(exponent << 2 | (odd - 1) / 2);
    topNibble = 0x0F;
    return true;
}

// Reads a ROM of `size` bytes into whole banks of `bankSize`. A size that is no multiple of the bank
// (the NES 2.0 exponent form allows 8 KiB of PRG-ROM, for example) is repeated to fill its last bank, as
// the smaller chip answers again where its upper address lines are not connected.
std::unique_ptr<std::uint8_t[]> ReadRom(std::istream& in, std::uint64_t size, std::uint32_t bankSize,
                                        std::uint32_t& banks) {
    if (size > RomImage::MaxFileSize) {
        return nullptr;
    }
    auto bytes = ReadBlock(in, static_cast<std::size_t>(size));
    banks = static_cast<std::uint32_t>((size + bankSize - 1) / bankSize);
    if (!bytes || size % bankSize == 0) {
        return bytes;
    }
    auto whole = std::make_unique<std::uint8_t[]>(std::size_t{banks} * bankSize);
    for (std::size_t at = 0; at < std::size_t{banks} * bankSize; at += size) {
        std::memcpy(whole.get() + at, bytes.get(),
                    std::min<std::size_t>(size, std::size_t{banks} * bankSize - at));
    }
    return whole;
}

} // namespace

const INesIOStrategy::CompatRow* INesIOStrategy::FindBoard(std::uint32_t mapper, std::uint32_t submapper,
                                                           std::uint32_t prgBanks, std::uint32_t chrBanks,
                                                           bool battery, bool fourScreen) {
    for (const CompatRow& row : CompatTable) {
        if (row.mapper != mapper || (row.submapper != 0 && row.submapper != submapper)) {
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
    const std::uint8_t flags6 = header[6];
    const bool nes20 = (header[7] & FormatBits) == Nes20Mark;
    std::uint64_t prgSize = std::uint64_t{header[4]} * RomImage::PrgBankSize;
    std::uint64_t chrSize = std::uint64_t{header[5]} * RomImage::ChrBankSize;
    std::uint32_t mapper = (header[7] & 0xF0u) | (flags6 >> 4);
    std::uint32_t submapper = 0;
    if (nes20) {
        prgSize = Nes20RomSize(header[4], header[9] & 0x0F, RomImage::PrgBankSize);
        chrSize = Nes20RomSize(header[5], header[9] >> 4, RomImage::ChrBankSize);
        mapper |= (header[8] & 0x0Fu) << 8;
        submapper = header[8] >> 4;
    }
    if (prgSize == 0) {
        ReportLoadError(LoadOperation, __LINE__, "Possible corrupted iNES header--no PRG-ROM.");
        return nullptr;
    }
    const auto banks = [](std::uint64_t size, std::uint32_t bankSize) {
        return static_cast<std::uint32_t>(
            std::min<std::uint64_t>((size + bankSize - 1) / bankSize, 1u << 30));
    };
    const std::uint32_t prgBanks = banks(prgSize, RomImage::PrgBankSize);
    const std::uint32_t chrBanks = banks(chrSize, RomImage::ChrBankSize);
    const bool battery = (flags6 & FlagBattery) != 0;
    const bool fourScreen = (flags6 & FlagFourScreen) != 0;
    const CompatRow* row = FindBoard(mapper, submapper, prgBanks, chrBanks, battery, fourScreen);
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
    // UNROM 512 reads the four-screen bit alone as its one-screen control, and four screens only
    // with the vertical bit.
    if (mapper == UNRom512Mapper && fourScreen && !(flags6 & FlagVertical)) {
        image->mirroring = MirrorByMapper;
    }
    if (nes20) {
        image->submapper = submapper;
        image->prgRamSize = Nes20RamSize(header[10] & 0x0F);
        image->prgNvramSize = Nes20RamSize(header[10] >> 4);
        image->chrRamSize = Nes20RamSize(header[11] & 0x0F);
        image->chrNvramSize = Nes20RamSize(header[11] >> 4);
        image->hasWram = battery || image->prgRamSize != 0 || image->prgNvramSize != 0;
        image->hasChrRam = image->chrRamSize != 0 || image->chrNvramSize != 0;
        // NTSC, PAL, multi-region, Dendy.
        constexpr std::uint32_t Timings[4] = {TvNtsc, TvPal, TvBoth, TvDendy};
        image->tvSystem = Timings[header[12] & 3];
    } else if ((header[9] & 1) &&
               std::all_of(header + 12, header + 16, [](std::uint8_t b) { return b == 0; })) {
        // The old header's PAL bit, trusted only where the header's unused tail is clean: many dumping
        // tools left text there.
        image->tvSystem = TvPal;
    }

    if (flags6 & FlagTrainer) {
        image->trainer = ReadBlock(in, RomImage::TrainerSize);
        if (!image->trainer) {
            ReportLoadError(LoadOperation, __LINE__, "Corrupted iNES rom image file.");
            return nullptr;
        }
    }

    image->prgRom = ReadRom(in, prgSize, RomImage::PrgBankSize, image->prgBankCount);
    if (!image->prgRom) {
        ReportLoadError(LoadOperation, __LINE__, "Corrupted iNES rom image file.");
        return nullptr;
    }
    image->prgCrc = Crc32::Of(image->prgRom.get(), std::size_t{image->prgBankCount} * RomImage::PrgBankSize);

    if (chrSize != 0) {
        image->chrRom = ReadRom(in, chrSize, RomImage::ChrBankSize, image->chrBankCount);
        if (!image->chrRom) {
            image->chrBankCount = 0;
            ReportLoadError(LoadOperation, __LINE__, "Corrupted iNES rom image file.");
            return nullptr;
        }
        image->chrCrc =
            Crc32::Of(image->chrRom.get(), std::size_t{image->chrBankCount} * RomImage::ChrBankSize);
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
    // The submapper a NES 2.0 header must carry: the image's own, or the one that names the board
    // where the old header's sizes would read back as another board of the mapper.
    const bool withRamSizes =
        image.prgRamSize != 0 || image.prgNvramSize != 0 || image.chrRamSize != 0 || image.chrNvramSize != 0;
    const bool battery = image.hasBattery || (image.hasWram && !withRamSizes);
    const bool fourScreen = image.mirroring == MirrorFourScreen ||
                            (row->mapper == UNRom512Mapper && image.mirroring == MirrorByMapper);
    std::uint32_t submapper = image.submapper;
    if (row->submapper != 0) {
        const CompatRow* oldRow =
            FindBoard(row->mapper, 0, image.prgBankCount, image.chrBankCount, battery, fourScreen);
        if (!oldRow || image.boardName != oldRow->boardName) {
            submapper = row->submapper;
        }
    }
    // The old header counts banks in one byte each and knows nothing of submappers, RAM sizes or PAL
    // timing: NES 2.0 is written only when the image has one of them, so older tools still read the rest.
    const bool nes20 = row->mapper > 255 || image.prgBankCount > MaxBankCount ||
                       image.chrBankCount > MaxBankCount || submapper != 0 || withRamSizes ||
                       image.tvSystem == TvPal || image.tvSystem == TvDendy;
    std::uint8_t header[HeaderSize] = {'N', 'E', 'S', 0x1A};
    std::uint8_t prgTop = 0;
    std::uint8_t chrTop = 0;
    // A larger count would be stored cut and the file would no longer describe its own data.
    if (!Nes20RomCount(image.prgBankCount, RomImage::PrgBankSize, header[4], prgTop)) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Too many PRG-ROM banks for the iNES format." << std::endl;
        return false;
    }
    if (!Nes20RomCount(image.chrBankCount, RomImage::ChrBankSize, header[5], chrTop)) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Too many CHR-ROM banks for the iNES format." << std::endl;
        return false;
    }
    std::uint8_t flags6 = static_cast<std::uint8_t>((row->mapper & 0x0Fu) << 4);
    if (fourScreen) {
        flags6 |= FlagFourScreen;
    }
    if (image.trainer) {
        flags6 |= FlagTrainer;
    }
    if (battery) {
        flags6 |= FlagBattery;
    }
    // UNROM 512 marks four screens with both bits, its one-screen control with the four-screen bit alone.
    if (image.mirroring == MirrorVertical ||
        (row->mapper == UNRom512Mapper && image.mirroring == MirrorFourScreen)) {
        flags6 |= FlagVertical;
    }
    header[6] = flags6;
    header[7] = static_cast<std::uint8_t>(row->mapper & 0xF0u);
    if (nes20) {
        header[7] |= Nes20Mark;
        header[8] = static_cast<std::uint8_t>((row->mapper >> 8 & 0x0F) | (submapper & 0x0F) << 4);
        header[9] = static_cast<std::uint8_t>(chrTop << 4 | prgTop);
        header[10] = static_cast<std::uint8_t>(Nes20RamShift(image.prgNvramSize) << 4 |
                                               Nes20RamShift(image.prgRamSize));
        header[11] = static_cast<std::uint8_t>(Nes20RamShift(image.chrNvramSize) << 4 |
                                               Nes20RamShift(image.chrRamSize));
        header[12] = image.tvSystem == TvPal     ? 1
                     : image.tvSystem == TvNtsc  ? 0
                     : image.tvSystem == TvDendy ? 3
                                                 : 2;
    }

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
