#include "nes/rom/NsfIOStrategy.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <span>

#include "console/System.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/LoadReport.h"
#include "nes/rom/StreamBlock.h"

namespace Halvo::Nes {

namespace {

const char* const LoadOperation = "Halvo::Nes::NsfIOStrategy::LoadImage";
const char* const SaveOperation = "Halvo::Nes::NsfIOStrategy::SaveImage";

constexpr std::size_t HeaderSize = 0x80;
constexpr std::size_t TextFieldSize = 32;
constexpr std::uint8_t NsfSignature[5] = {'N', 'E', 'S', 'M', 0x1A};
constexpr std::uint8_t NsfeSignature[4] = {'N', 'S', 'F', 'E'};

using Bytes = std::span<const std::uint8_t>;

std::uint16_t Word(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t Long(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

std::string Text(const std::uint8_t* at, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(at);
    return std::string(text, strnlen(text, size));
}

// Zero-terminated strings one after the other, the last perhaps without its zero.
std::vector<std::string> Strings(Bytes data) {
    std::vector<std::string> strings;
    for (std::size_t at = 0; at < data.size();) {
        std::string text = Text(data.data() + at, data.size() - at);
        at += text.size() + 1;
        strings.push_back(std::move(text));
    }
    return strings;
}

std::vector<std::int32_t> Longs(Bytes data) {
    std::vector<std::int32_t> values;
    for (std::size_t at = 0; at + 4 <= data.size(); at += 4) {
        values.push_back(static_cast<std::int32_t>(Long(data.data() + at)));
    }
    return values;
}

std::string Address(std::uint16_t address) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "$";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += digits[(address >> shift) & 0xF];
    }
    return text;
}

// Everything the stream holds from its position, or nothing when it holds more than any tune.
std::optional<std::vector<std::uint8_t>> ReadAll(std::istream& in) {
    std::vector<std::uint8_t> bytes;
    if (const auto remaining = RemainingBytes(in); remaining && *remaining <= RomImage::MaxFileSize) {
        bytes.reserve(static_cast<std::size_t>(*remaining));
    }
    char buffer[16384];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > RomImage::MaxFileSize) {
            return std::nullopt;
        }
    }
    return bytes;
}

struct Fail {};

[[noreturn]] void Refuse(int line, const std::string& message) {
    ReportLoadError(LoadOperation, line, message);
    throw Fail{};
}

// The NSFe chunks of `data`: each a 4-byte length, a 4-character identifier and its bytes, up to
// "NEND" or the end. Identifiers beginning with a capital letter are chunks a player must understand
// to play the file; unknown ones of those refuse it, unknown others are passed over.
void ReadChunks(Bytes data, NsfInfo& info, std::optional<Bytes>* program, bool requireInfo) {
    bool haveInfo = false;
    for (std::size_t at = 0; at < data.size();) {
        if (data.size() - at < 8) {
            Refuse(__LINE__, "Truncated NSFe chunk header.");
        }
        const std::uint32_t length = Long(data.data() + at);
        const std::string id(reinterpret_cast<const char*>(data.data() + at + 4), 4);
        at += 8;
        if (length > data.size() - at) {
            Refuse(__LINE__, "NSFe chunk \"" + id + "\" claims " + std::to_string(length) +
                                 " bytes, but only " + std::to_string(data.size() - at) + " follow.");
        }
        const Bytes chunk = data.subspan(at, length);
        at += length;
        if (id == "NEND") {
            break;
        }
        if (id == "INFO" && requireInfo) {
            if (length < 9) {
                Refuse(__LINE__,
                       "NSFe chunk \"INFO\" is " + std::to_string(length) + " bytes long, less than 9.");
            }
            info.loadAddress = Word(&chunk[0]);
            info.initAddress = Word(&chunk[2]);
            info.playAddress = Word(&chunk[4]);
            info.pal = (chunk[6] & 3) == 1;
            info.dual = (chunk[6] & 2) != 0;
            info.chips = chunk[7];
            info.songCount = length > 8 ? chunk[8] : 1;
            info.startSong = length > 9 ? chunk[9] + 1u : 1;
            haveInfo = true;
        } else if (id == "DATA" && program) {
            *program = chunk;
        } else if (id == "BANK" && requireInfo) {
            std::array<std::uint8_t, 8> banks{};
            std::copy_n(chunk.begin(), std::min<std::size_t>(chunk.size(), 8), banks.begin());
            info.banked =
                std::any_of(banks.begin(), banks.end(), [](std::uint8_t bank) { return bank != 0; });
            std::copy(banks.begin(), banks.end(), info.initialBanks.begin() + 2);
        } else if (id == "RATE" && requireInfo) {
            if (length >= 2 && Word(&chunk[0]) != 0) {
                info.ntscPeriod = Word(&chunk[0]);
            }
            if (length >= 4 && Word(&chunk[2]) != 0) {
                info.palPeriod = Word(&chunk[2]);
            }
        } else if (id == "auth") {
            const std::vector<std::string> texts = Strings(chunk);
            std::string* fields[4] = {&info.title, &info.artist, &info.copyright, &info.ripper};
            for (std::size_t i = 0; i < std::min<std::size_t>(texts.size(), 4); ++i) {
                *fields[i] = texts[i];
            }
        } else if (id == "time") {
            info.trackMs = Longs(chunk);
        } else if (id == "fade") {
            info.fadeMs = Longs(chunk);
        } else if (id == "tlbl") {
            info.trackTitles = Strings(chunk);
        } else if (id[0] >= 'A' && id[0] <= 'Z' && id != "INFO" && id != "DATA" && id != "BANK" &&
                   id != "RATE") {
            Refuse(__LINE__,
                   "NSFe chunk \"" + id + "\" is needed to play this file, and Halvo does not know it.");
        }
    }
    if (requireInfo && !haveInfo) {
        Refuse(__LINE__, "The NSFe file has no \"INFO\" chunk.");
    }
}

void ReadNsfHeader(Bytes file, NsfInfo& info, Bytes& program) {
    if (file.size() < HeaderSize) {
        Refuse(__LINE__, "The NSF header is " + std::to_string(file.size()) + " bytes long, less than 128.");
    }
    const std::uint8_t* header = file.data();
    info.version = header[5];
    if (info.version < 1 || info.version > 2) {
        Refuse(__LINE__, "Unsupported NSF version " + std::to_string(info.version) + ".");
    }
    info.songCount = header[6];
    info.startSong = header[7];
    info.loadAddress = Word(header + 8);
    info.initAddress = Word(header + 0x0A);
    info.playAddress = Word(header + 0x0C);
    info.title = Text(header + 0x0E, TextFieldSize);
    info.artist = Text(header + 0x2E, TextFieldSize);
    info.copyright = Text(header + 0x4E, TextFieldSize);
    if (Word(header + 0x6E) != 0) {
        info.ntscPeriod = Word(header + 0x6E);
    }
    std::copy(header + 0x70, header + 0x78, info.initialBanks.begin() + 2);
    info.banked = std::any_of(header + 0x70, header + 0x78, [](std::uint8_t bank) { return bank != 0; });
    if (Word(header + 0x78) != 0) {
        info.palPeriod = Word(header + 0x78);
    }
    info.pal = (header[0x7A] & 3) == 1;
    info.dual = (header[0x7A] & 2) != 0;
    info.chips = header[0x7B];
    // Version 1 files leave these bytes to chance, so only version 2 means anything by them.
    info.nsf2Flags = info.version == 2 ? header[0x7C] : 0;
    const std::uint32_t programLength = header[0x7D] | header[0x7E] << 8 | header[0x7F] << 16;
    const Bytes rest = file.subspan(HeaderSize);
    if (programLength == 0) {
        program = rest;
        return;
    }
    if (programLength > rest.size()) {
        Refuse(__LINE__, "The NSF header gives " + std::to_string(programLength) +
                             " bytes of program, but only " + std::to_string(rest.size()) + " follow.");
    }
    program = rest.first(programLength);
    ReadChunks(rest.subspan(programLength), info, nullptr, false);
}

// The checks every tune must pass, whichever file it came in.
void CheckInfo(const NsfInfo& info, std::size_t programSize) {
    if (info.songCount == 0) {
        Refuse(__LINE__, "The NSF file holds no tracks.");
    }
    if (info.startSong == 0 || info.startSong > info.songCount) {
        Refuse(__LINE__, "The NSF file starts with track " + std::to_string(info.startSong) + " of " +
                             std::to_string(info.songCount) + ".");
    }
    if (programSize == 0) {
        Refuse(__LINE__, "The NSF file holds no program.");
    }
    if (info.chips & ~NsfInfo::KnownChips) {
        Refuse(__LINE__, "The NSF file asks for an unknown sound chip.");
    }
    if (info.nsf2Flags & NsfInfo::Nsf2Irq) {
        Refuse(__LINE__, "The NSF2 file needs the player's IRQ timer, which Halvo does not have.");
    }
    const std::uint16_t lowest = (info.chips & NsfInfo::ChipFds) ? 0x6000 : 0x8000;
    if (!info.banked && info.loadAddress < lowest) {
        Refuse(__LINE__,
               "The NSF load address " + Address(info.loadAddress) + " is below " + Address(lowest) + ".");
    }
    if (info.initAddress < 0x6000 ||
        ((info.nsf2Flags & NsfInfo::Nsf2NoPlay) == 0 && info.playAddress < 0x6000)) {
        Refuse(__LINE__, "The NSF init or play address is below $6000.");
    }
}

} // namespace

std::unique_ptr<RomImageIOStrategy> NsfIOStrategy::Clone() const {
    return std::make_unique<NsfIOStrategy>();
}

std::string NsfIOStrategy::GetDescription() const {
    return "NSF (*.NSF, *.NSFE)";
}

bool NsfIOStrategy::CheckExtension(const std::string& extension) const {
    return extension == "nsf" || extension == "nsfe";
}

std::unique_ptr<RomImage> NsfIOStrategy::LoadImage(std::istream& in, bool) const {
    const std::optional<std::vector<std::uint8_t>> contents = ReadAll(in);
    if (!contents) {
        ReportLoadError(LoadOperation, __LINE__, "The file is larger than any NSF file.");
        return nullptr;
    }
    const Bytes file(*contents);
    const bool nsf = file.size() >= 5 && std::equal(NsfSignature, NsfSignature + 5, file.begin());
    const bool nsfe = file.size() >= 4 && std::equal(NsfeSignature, NsfeSignature + 4, file.begin());
    if (!nsf && !nsfe) {
        ReportForeignFile(LoadOperation, __LINE__, "Invalid NSF header.");
        return nullptr;
    }
    auto info = std::make_unique<NsfInfo>();
    Bytes program;
    try {
        if (nsf) {
            ReadNsfHeader(file, *info, program);
        } else {
            info->version = 0;
            std::optional<Bytes> data;
            ReadChunks(file.subspan(4), *info, &data, true);
            if (!data) {
                Refuse(__LINE__, "The NSFe file has no \"DATA\" chunk.");
            }
            program = *data;
        }
        CheckInfo(*info, program.size());
    } catch (const Fail&) {
        return nullptr;
    }

    // The program's place in the banks: a banked tune's load address counts only within its first
    // bank; an unbanked one sits at its address, with the banks in order from $8000 (from $6000 on the
    // Disk System, whose RAM starts there).
    const std::uint16_t base = (info->chips & NsfInfo::ChipFds) && !info->banked ? 0x6000 : 0x8000;
    const std::size_t offset = info->banked ? (info->loadAddress & 0x0FFF) : info->loadAddress - base;
    const std::size_t reach =
        info->banked ? std::size_t{NsfInfo::MaxBanks} * NsfInfo::BankSize : 0x10000 - base;
    if (program.size() > reach - offset) {
        ReportLoadError(LoadOperation, __LINE__,
                        "The NSF program of " + std::to_string(program.size()) + " bytes from " +
                            Address(info->loadAddress) + " runs past the " + std::to_string(reach / 1024) +
                            " KiB the player can show.");
        return nullptr;
    }
    if (!info->banked) {
        const std::uint8_t first = base == 0x6000 ? 0 : 2;
        for (std::uint8_t slot = first; slot < 10; ++slot) {
            info->initialBanks[slot] = static_cast<std::uint8_t>(slot - first);
        }
    } else if (info->chips & NsfInfo::ChipFds) {
        // The Disk System's banks of $E000 and $F000 are the first ones of its RAM at $6000 and $7000.
        info->initialBanks[0] = info->initialBanks[8];
        info->initialBanks[1] = info->initialBanks[9];
    }
    info->bankCount =
        static_cast<std::uint32_t>((offset + program.size() + NsfInfo::BankSize - 1) / NsfInfo::BankSize);

    auto image = std::make_unique<RomImage>();
    image->prgBankCount =
        (info->bankCount * NsfInfo::BankSize + RomImage::PrgBankSize - 1) / RomImage::PrgBankSize;
    const std::size_t romSize = std::size_t{image->prgBankCount} * RomImage::PrgBankSize;
    image->prgRom = std::make_unique<std::uint8_t[]>(romSize);
    std::copy(program.begin(), program.end(), image->prgRom.get() + offset);
    image->prgCrc = Crc32::Of(image->prgRom.get(), romSize);
    image->boardName = "NSF";
    image->name = info->title;
    image->tvSystem = info->pal ? TvPal : TvNtsc;
    image->mirroring = MirrorVertical;
    image->hasChrRam = true;
    image->hasWram = true;
    image->nsf = std::move(info);
    return image;
}

bool NsfIOStrategy::SaveImage(std::ostream&, const RomImage&) const {
    Console::ReportError(SaveOperation, __LINE__) << "NSF files are not written." << std::endl;
    return false;
}

} // namespace Halvo::Nes
