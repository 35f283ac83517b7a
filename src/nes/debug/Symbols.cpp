#include "nes/debug/Symbols.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace Halvo::Nes {

void Symbols::Add(std::uint16_t address, const std::string& name) {
    if (name.empty()) {
        return;
    }
    names.emplace(address, name);
    addresses.emplace(name, address);
}

void Symbols::Clear() {
    names.clear();
    addresses.clear();
    lines.clear();
}

std::string Symbols::SourceLineOf(std::uint16_t address) const {
    const auto found = lines.find(address);
    return found == lines.end() ? std::string() : found->second;
}

bool Symbols::Load(const std::string& file, std::uint32_t prgSize, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "Could not open " + file + ".";
        return false;
    }
    const std::string extension = std::filesystem::path(file).extension().string();
    bool read = false;
    if (extension == ".nl") {
        read = LoadNameList(in, error);
    } else if (extension == ".mlb") {
        read = LoadMesenLabels(in, prgSize, error);
    } else if (extension == ".dbg") {
        read = LoadDebugFile(in, prgSize, error);
    } else {
        error = file + " is not a label file (.dbg, .nl or .mlb).";
        return false;
    }
    if (!read) {
        error = file + ": " + error;
    }
    return read;
}

std::string Symbols::LoadBeside(const std::string& romFile, std::uint32_t prgSize) {
    const std::filesystem::path rom(romFile);
    std::vector<std::filesystem::path> candidates = {std::filesystem::path(rom).replace_extension(".dbg"),
                                                     std::filesystem::path(rom).replace_extension(".mlb"),
                                                     std::filesystem::path(rom).replace_extension(".nl"),
                                                     rom.string() + ".ram.nl"};
    // FCEUX keeps one name list per 16 KiB bank: game.nes.0.nl, game.nes.1.nl, ...
    for (std::uint32_t bank = 0; bank < 64 && bank * 0x4000 < std::max(prgSize, 1u); ++bank) {
        candidates.push_back(rom.string() + "." + std::to_string(bank) + ".nl");
    }
    std::string read;
    for (const std::filesystem::path& file : candidates) {
        std::error_code ignored;
        if (!std::filesystem::is_regular_file(file, ignored)) {
            continue;
        }
        std::string error;
        if (Load(file.string(), prgSize, error)) {
            read += (read.empty() ? "" : ", ") + file.filename().string();
        }
    }
    return read;
}

namespace {

// A hexadecimal number with or without "$" or "0x"; false for anything else.
bool ParseHex(std::string text, std::uint32_t& value) {
    if (!text.empty() && text[0] == '$') {
        text.erase(0, 1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.erase(0, 2);
    }
    if (text.empty() || text.size() > 8 ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    value = static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
    return true;
}

// Where a byte of PRG-ROM shows in the processor's address space when nothing is switched: 32 KiB
// fill $8000-$FFFF, 16 KiB show at $C000 (and $8000), and of a larger ROM the last 16 KiB sit at $C000
// as most boards fix them, the others at $8000.
std::uint32_t PrgAddress(std::uint32_t offset, std::uint32_t prgSize) {
    if (prgSize <= 0x4000) {
        return 0xC000 + (offset & 0x3FFF);
    }
    if (prgSize <= 0x8000) {
        return 0x8000 + (offset & 0x7FFF);
    }
    return offset >= prgSize - 0x4000 ? 0xC000 + (offset & 0x3FFF) : 0x8000 + (offset & 0x3FFF);
}

// The fields of a .dbg line "kind a=1,b="x",c=2" by name (quotes removed).
std::map<std::string, std::string> Fields(const std::string& rest) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    while (at < rest.size()) {
        const std::size_t equals = rest.find('=', at);
        if (equals == std::string::npos) {
            break;
        }
        std::string key = rest.substr(at, equals - at);
        std::string value;
        std::size_t end = equals + 1;
        if (end < rest.size() && rest[end] == '"') {
            const std::size_t close = rest.find('"', end + 1);
            value = rest.substr(end + 1, close == std::string::npos ? std::string::npos : close - end - 1);
            end = close == std::string::npos ? rest.size() : close + 1;
        } else {
            const std::size_t comma = rest.find(',', end);
            value = rest.substr(end, comma == std::string::npos ? std::string::npos : comma - end);
            end = comma == std::string::npos ? rest.size() : comma;
        }
        fields[key] = value;
        at = end < rest.size() && rest[end] == ',' ? end + 1 : end;
    }
    return fields;
}

std::uint32_t Number(const std::map<std::string, std::string>& fields, const char* key) {
    const auto found = fields.find(key);
    if (found == fields.end()) {
        return 0;
    }
    std::uint32_t value = 0;
    if (found->second.rfind("0x", 0) == 0 && ParseHex(found->second, value)) {
        return value;
    }
    return static_cast<std::uint32_t>(std::strtoul(found->second.c_str(), nullptr, 10));
}

} // namespace

// "$C000#Name#comment" per line; lines that are not are skipped.
bool Symbols::LoadNameList(std::istream& in, std::string& error) {
    std::string line;
    std::size_t read = 0;
    while (std::getline(in, line)) {
        const std::size_t first = line.find('#');
        if (line.empty() || line[0] != '$' || first == std::string::npos) {
            continue;
        }
        const std::size_t second = line.find('#', first + 1);
        std::uint32_t address = 0;
        std::string name =
            line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) {
            name.pop_back();
        }
        if (!ParseHex(line.substr(0, first), address) || address > 0xFFFF || name.empty()) {
            continue;
        }
        Add(static_cast<std::uint16_t>(address), name);
        ++read;
    }
    if (read == 0) {
        error = "no \"$ADDRESS#name#\" lines";
        return false;
    }
    return true;
}

// "TYPE:ADDRESS[-END]:name[:comment]", the type saying which memory the address counts in: P PRG-ROM,
// R internal RAM, S and W cartridge RAM at $6000, G the processor's address itself.
bool Symbols::LoadMesenLabels(std::istream& in, std::uint32_t prgSize, std::string& error) {
    std::string line;
    std::size_t read = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        const std::string type = line.substr(0, first);
        std::string where = line.substr(first + 1, second - first - 1);
        const std::size_t third = line.find(':', second + 1);
        const std::string name =
            line.substr(second + 1, third == std::string::npos ? std::string::npos : third - second - 1);
        where = where.substr(0, where.find('-'));
        std::uint32_t offset = 0;
        if (name.empty() || !ParseHex(where, offset)) {
            continue;
        }
        std::uint32_t address = 0;
        if (type == "P" || type == "NesPrgRom") {
            address = PrgAddress(offset, prgSize);
        } else if (type == "R" || type == "NesInternalRam") {
            address = offset & 0x7FF;
        } else if (type == "S" || type == "W" || type == "NesSaveRam" || type == "NesWorkRam") {
            address = 0x6000 + (offset & 0x1FFF);
        } else if (type == "G" || type == "NesMemory") {
            address = offset & 0xFFFF;
        } else {
            continue;
        }
        Add(static_cast<std::uint16_t>(address), name);
        ++read;
    }
    if (read == 0) {
        error = "no \"TYPE:ADDRESS:name\" lines";
        return false;
    }
    return true;
}

// ld65's --dbgfile: "seg" lines place segments in the processor's address space, "sym" lines with
// type=lab name addresses, and "line" lines give each span of a segment its file and line.
bool Symbols::LoadDebugFile(std::istream& in, std::uint32_t, std::string& error) {
    std::map<std::uint32_t, std::uint32_t> segmentStart;
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> spans; // id: segment, start
    std::map<std::uint32_t, std::string> files;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> lineSpans;          // span, line id
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> lineAt; // line id: file, line
    std::string line;
    bool sawVersion = false;
    std::size_t labels = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t space = line.find_first_of(" \t");
        if (space == std::string::npos) {
            continue;
        }
        const std::string kind = line.substr(0, space);
        const std::map<std::string, std::string> fields = Fields(line.substr(space + 1));
        const std::uint32_t id = Number(fields, "id");
        if (kind == "version") {
            sawVersion = true;
        } else if (kind == "seg") {
            segmentStart[id] = Number(fields, "start");
        } else if (kind == "span") {
            spans[id] = {Number(fields, "seg"), Number(fields, "start")};
        } else if (kind == "file") {
            const auto name = fields.find("name");
            files[id] = name == fields.end() ? "?" : std::filesystem::path(name->second).filename().string();
        } else if (kind == "line") {
            lineAt[id] = {Number(fields, "file"), Number(fields, "line")};
            if (const auto span = fields.find("span"); span != fields.end()) {
                std::istringstream list(span->second);
                std::string one;
                while (std::getline(list, one, '+')) {
                    lineSpans.emplace_back(static_cast<std::uint32_t>(std::strtoul(one.c_str(), nullptr, 10)),
                                           id);
                }
            }
        } else if (kind == "sym") {
            const auto type = fields.find("type");
            const auto name = fields.find("name");
            if (type != fields.end() && type->second == "lab" && name != fields.end()) {
                Add(static_cast<std::uint16_t>(Number(fields, "val")), name->second);
                ++labels;
            }
        }
    }
    if (!sawVersion) {
        error = "not an ld65 debug file (no \"version\" line)";
        return false;
    }
    for (const auto& [span, lineId] : lineSpans) {
        const auto found = spans.find(span);
        const auto place = lineAt.find(lineId);
        if (found == spans.end() || place == lineAt.end()) {
            continue;
        }
        const std::uint32_t address = segmentStart[found->second.first] + found->second.second;
        const auto file = files.find(place->second.first);
        AddLine(static_cast<std::uint16_t>(address), (file == files.end() ? std::string("?") : file->second) +
                                                         ":" + std::to_string(place->second.second));
    }
    (void)labels;
    return true;
}

} // namespace Halvo::Nes
