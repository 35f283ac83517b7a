#include "nes/rom/UnifIOStrategy.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "console/System.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/LoadReport.h"
#include "nes/rom/StreamBlock.h"

namespace Halvo::Nes {

namespace {

constexpr std::size_t HeaderSize = 32;
constexpr std::uint32_t Revision = 7;
constexpr std::size_t DumperTextSize = 100;

const char* const LoadOperation = "Halvo::Nes::UnifIOStrategy::LoadImage";
const char* const SaveOperation = "Halvo::Nes::UnifIOStrategy::SaveImage";

// The blocks of one kind of numbered chunk, with their checksums, by chunk number.
struct NumberedChunks {
    struct Slot {
        std::unique_ptr<std::uint8_t[]> block;
        std::size_t size = 0;
        std::optional<std::uint32_t> checksum;
    };
    std::array<Slot, UnifIOStrategy::MaxChunkCount> slots;

    std::size_t TotalSize() const {
        std::size_t total = 0;
        for (const Slot& slot : slots) {
            total += slot.size;
        }
        return total;
    }
};

// The chunk number a fourth identifier character stands for, or nothing for any other character.
std::optional<std::uint32_t> ChunkNumber(char digit) {
    if (digit >= '0' && digit <= '9') {
        return static_cast<std::uint32_t>(digit - '0');
    }
    if (digit >= 'A' && digit <= 'Z') {
        return static_cast<std::uint32_t>(digit - 'A' + 10);
    }
    if (digit >= 'a' && digit <= 'z') {
        return static_cast<std::uint32_t>(digit - 'a' + 10);
    }
    return std::nullopt;
}

char ChunkDigit(std::uint32_t number) {
    return static_cast<char>(number < 10 ? '0' + number : 'A' + (number - 10));
}

std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// A text chunk: up to and including its zero byte, but never past the chunk's end, so that a chunk
// without the zero still leaves the next chunk where its length says. Returns the bytes consumed.
std::optional<std::uint32_t> ReadText(std::istream& in, std::uint32_t length, std::string& text) {
    text.clear();
    std::uint32_t consumed = 0;
    while (consumed < length) {
        const int character = in.get();
        if (character == std::char_traits<char>::eof()) {
            return std::nullopt;
        }
        ++consumed;
        if (character == 0) {
            break;
        }
        text.push_back(static_cast<char>(character));
    }
    return consumed;
}

std::optional<std::uint8_t> ReadByte(std::istream& in) {
    const int character = in.get();
    if (character == std::char_traits<char>::eof()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(character);
}

std::string FieldText(const std::uint8_t* field, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

// Joins the numbered blocks in chunk-number order into whole banks, the tail of the last bank zero.
void BuildRom(NumberedChunks& chunks, std::uint32_t bankSize, std::unique_ptr<std::uint8_t[]>& rom,
              std::uint32_t& bankCount, std::uint32_t& crc) {
    const std::size_t total = chunks.TotalSize();
    bankCount = static_cast<std::uint32_t>((total + bankSize - 1) / bankSize);
    const std::size_t romSize = std::size_t{bankCount} * bankSize;
    rom = romSize > 0 ? std::make_unique<std::uint8_t[]>(romSize) : nullptr;
    std::size_t offset = 0;
    for (auto& slot : chunks.slots) {
        if (slot.size > 0) {
            std::memcpy(rom.get() + offset, slot.block.get(), slot.size);
            offset += slot.size;
        }
        slot.block.reset();
    }
    crc = Crc32::Of(rom.get(), romSize);
}

// Compares every block that has a checksum chunk with it. Blocks without one, and checksums without
// a block, say nothing. This program writes the checksum register without its final inversion; other
// tools write the standard CRC-32, its complement. Both are accepted, so that their files load too.
bool ChecksumsAgree(const NumberedChunks& chunks, const char* kind, bool strict) {
    for (std::uint32_t number = 0; number < UnifIOStrategy::MaxChunkCount; ++number) {
        const auto& slot = chunks.slots[number];
        if (!slot.block || !slot.checksum) {
            continue;
        }
        const std::uint32_t crc = Crc32::Of(slot.block.get(), slot.size);
        if (crc == *slot.checksum || ~crc == *slot.checksum) {
            continue;
        }
        const std::string chunkName = std::string(kind) + ChunkDigit(number);
        const std::string message = "Checksum mismatch in UNIF chunk " + chunkName + ".";
        if (strict) {
            ReportLoadError(LoadOperation, __LINE__, message);
            return false;
        }
        ReportLoadNote(message);
    }
    return true;
}

// A chunk identifier as text for a message; bytes that are no printable characters show as "?".
std::string ChunkName(const char* id) {
    std::string name(id, 4);
    for (char& character : name) {
        if (character < 0x20 || character > 0x7E) {
            character = '?';
        }
    }
    return name;
}

void WriteLittleEndian32(std::ostream& out, std::uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    out.write(bytes, 4);
}

void WriteChunk(std::ostream& out, const char* identifier, const void* data, std::size_t length) {
    out.write(identifier, 4);
    WriteLittleEndian32(out, static_cast<std::uint32_t>(length));
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
}

void WriteTextChunk(std::ostream& out, const char* identifier, const std::string& text) {
    // The terminating zero is part of the chunk.
    WriteChunk(out, identifier, text.c_str(), text.size() + 1);
}

void WriteByteChunk(std::ostream& out, const char* identifier, std::uint32_t value) {
    const auto byte = static_cast<std::uint8_t>(value);
    WriteChunk(out, identifier, &byte, 1);
}

void WriteBanks(std::ostream& out, const char* checksumKind, const char* blockKind, const std::uint8_t* rom,
                std::uint32_t bankCount, std::uint32_t bankSize) {
    if (!rom) {
        return;
    }
    for (std::uint32_t bank = 0; bank < bankCount; ++bank) {
        const std::uint8_t* bytes = rom + std::size_t{bank} * bankSize;
        const char checksumId[4] = {checksumKind[0], checksumKind[1], checksumKind[2], ChunkDigit(bank)};
        const char blockId[4] = {blockKind[0], blockKind[1], blockKind[2], ChunkDigit(bank)};
        const std::uint32_t checksum = Crc32::Of(bytes, bankSize);
        const std::uint8_t checksumBytes[4] = {
            static_cast<std::uint8_t>(checksum), static_cast<std::uint8_t>(checksum >> 8),
            static_cast<std::uint8_t>(checksum >> 16), static_cast<std::uint8_t>(checksum >> 24)};
        WriteChunk(out, checksumId, checksumBytes, 4);
        WriteChunk(out, blockId, bytes, bankSize);
    }
}

} // namespace

std::unique_ptr<RomImageIOStrategy> UnifIOStrategy::Clone() const {
    return std::make_unique<UnifIOStrategy>();
}

std::string UnifIOStrategy::GetDescription() const {
    return "UNIF (*.UNIF, *.UNF)";
}

bool UnifIOStrategy::CheckExtension(const std::string& extension) const {
    return extension == "unif" || extension == "unf";
}

std::unique_ptr<RomImage> UnifIOStrategy::LoadImage(std::istream& in, bool strict) const {
    char header[HeaderSize];
    in.read(header, HeaderSize);
    if (in.gcount() < 4 || std::memcmp(header, "UNIF", 4) != 0) {
        ReportForeignFile(LoadOperation, __LINE__, "Invalid UNIF header.");
        return nullptr;
    }
    if (static_cast<std::size_t>(in.gcount()) != HeaderSize) {
        ReportLoadError(LoadOperation, __LINE__, "Corrupted UNIF rom image file.");
        return nullptr;
    }

    auto image = std::make_unique<RomImage>();
    NumberedChunks prg;
    NumberedChunks chr;
    // The bytes of the file up to the end of the current chunk: no cartridge needs more than the
    // limit, so a stream that cannot tell its size (a pipe) still cannot make the reader take more.
    std::uint64_t fileSize = HeaderSize;

    for (;;) {
        std::uint8_t chunkHeader[8];
        in.read(reinterpret_cast<char*>(chunkHeader), sizeof chunkHeader);
        if (in.gcount() != sizeof chunkHeader) {
            break;
        }
        const char id[4] = {static_cast<char>(chunkHeader[0]), static_cast<char>(chunkHeader[1]),
                            static_cast<char>(chunkHeader[2]), static_cast<char>(chunkHeader[3])};
        const std::uint32_t length = LittleEndian32(chunkHeader + 4);
        const auto runsPastTheEnd = [&] {
            ReportLoadError(LoadOperation, __LINE__,
                            "UNIF chunk " + ChunkName(id) + " runs past the end of the file.");
            return nullptr;
        };
        // A length past the end of the file is a truncated or forged file: refuse it before any
        // handler allocates or skips on its word.
        if (const auto remaining = RemainingBytes(in); remaining && *remaining < length) {
            return runsPastTheEnd();
        }
        fileSize += sizeof chunkHeader + std::uint64_t{length};
        if (fileSize > RomImage::MaxFileSize) {
            ReportLoadError(LoadOperation, __LINE__,
                            "UNIF chunk " + ChunkName(id) +
                                " makes the file too large for a cartridge (over 64 MiB).");
            return nullptr;
        }
        const auto is = [&](const char* name) { return std::memcmp(id, name, 4) == 0; };
        const auto isNumbered = [&](const char* kind) { return std::memcmp(id, kind, 3) == 0; };

        std::optional<std::uint32_t> consumed = 0;
        if (is("NAME")) {
            consumed = ReadText(in, length, image->name);
        } else if (is("READ")) {
            consumed = ReadText(in, length, image->comments);
        } else if (is("MAPR")) {
            consumed = ReadText(in, length, image->boardName);
        } else if (is("DINF")) {
            std::uint8_t record[DumperRecordSize];
            in.read(reinterpret_cast<char*>(record), DumperRecordSize);
            if (in.gcount() != DumperRecordSize) {
                return runsPastTheEnd();
            }
            image->dumperName = FieldText(record, DumperTextSize);
            image->dumpDay = record[100];
            image->dumpMonth = record[101];
            image->dumpYear = static_cast<std::uint16_t>(record[102] | record[103] << 8);
            image->dumperAgent = FieldText(record + 104, DumperTextSize);
            consumed = DumperRecordSize;
        } else if (is("TVCI") || is("TVSC") || is("CTRL") || is("MIRR")) {
            const auto value = ReadByte(in);
            if (!value) {
                return runsPastTheEnd();
            }
            std::uint32_t& field = is("CTRL")   ? image->controllers
                                   : is("MIRR") ? image->mirroring
                                                : image->tvSystem;
            field = *value;
            consumed = 1;
        } else if (is("BATR")) {
            image->hasBattery = true;
        } else if (is("VROR")) {
            image->hasChrRam = true;
        } else if (isNumbered("PRG") || isNumbered("CHR")) {
            if (const auto number = ChunkNumber(id[3])) {
                auto& slot = (isNumbered("PRG") ? prg : chr).slots[*number];
                slot.block = ReadBlock(in, length);
                if (!slot.block) {
                    return runsPastTheEnd();
                }
                slot.size = length;
                consumed = length;
            }
        } else if (isNumbered("PCK") || isNumbered("CCK")) {
            if (const auto number = ChunkNumber(id[3])) {
                std::uint8_t bytes[4];
                in.read(reinterpret_cast<char*>(bytes), 4);
                if (in.gcount() != 4) {
                    return runsPastTheEnd();
                }
                (isNumbered("PCK") ? prg : chr).slots[*number].checksum = LittleEndian32(bytes);
                consumed = 4;
            }
        }
        if (!consumed) {
            return runsPastTheEnd();
        }
        if (*consumed != length && !MoveReadPosition(in, std::int64_t{length} - std::int64_t{*consumed})) {
            return runsPastTheEnd();
        }
    }

    if (!ChecksumsAgree(prg, "PRG", strict) || !ChecksumsAgree(chr, "CHR", strict)) {
        return nullptr;
    }
    // No board runs without program code.
    if (prg.TotalSize() == 0) {
        ReportLoadError(LoadOperation, __LINE__, "UNIF image has no PRG-ROM.");
        return nullptr;
    }
    BuildRom(prg, RomImage::PrgBankSize, image->prgRom, image->prgBankCount, image->prgCrc);
    BuildRom(chr, RomImage::ChrBankSize, image->chrRom, image->chrBankCount, image->chrCrc);
    return image;
}

bool UnifIOStrategy::SaveImage(std::ostream& out, const RomImage& image) const {
    // Each bank becomes one numbered chunk, and there are only 36 chunk numbers.
    if (image.prgBankCount > MaxChunkCount) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Too many PRG-ROM banks for the UNIF format." << std::endl;
        return false;
    }
    if (image.chrBankCount > MaxChunkCount) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Too many CHR-ROM banks for the UNIF format." << std::endl;
        return false;
    }

    char header[HeaderSize] = {'U', 'N', 'I', 'F'};
    header[4] = static_cast<char>(Revision);
    out.write(header, HeaderSize);

    WriteTextChunk(out, "NAME", image.name);
    WriteTextChunk(out, "READ", image.comments);

    // Each text keeps at least one zero byte in its 100-byte field.
    std::uint8_t record[DumperRecordSize] = {};
    std::memcpy(record, image.dumperName.data(), std::min(image.dumperName.size(), DumperTextSize - 1));
    record[100] = image.dumpDay;
    record[101] = image.dumpMonth;
    record[102] = static_cast<std::uint8_t>(image.dumpYear);
    record[103] = static_cast<std::uint8_t>(image.dumpYear >> 8);
    std::memcpy(record + 104, image.dumperAgent.data(),
                std::min(image.dumperAgent.size(), DumperTextSize - 1));
    WriteChunk(out, "DINF", record, DumperRecordSize);

    WriteTextChunk(out, "MAPR", image.boardName);
    WriteByteChunk(out, "TVCI", image.tvSystem);
    WriteByteChunk(out, "CTRL", image.controllers);
    WriteByteChunk(out, "MIRR", image.mirroring);
    if (image.hasBattery) {
        WriteByteChunk(out, "BATR", 0);
    }
    if (image.hasChrRam) {
        WriteByteChunk(out, "VROR", 0);
    }
    WriteBanks(out, "PCK", "PRG", image.prgRom.get(), image.prgBankCount, RomImage::PrgBankSize);
    WriteBanks(out, "CCK", "CHR", image.chrRom.get(), image.chrBankCount, RomImage::ChrBankSize);
    out.flush();
    if (!out) {
        Console::ReportError(SaveOperation, __LINE__)
            << "Could not write the UNIF rom image file." << std::endl;
        return false;
    }
    return true;
}

} // namespace Halvo::Nes
