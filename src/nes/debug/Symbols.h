#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

namespace Halvo::Nes {

// Names of addresses in the processor's address space, from a program's own build: ca65/ld65 debug
// files (.dbg, with their source lines), FCEUX name lists (.nl) and Mesen label files (.mlb). One name
// per address (the first one read wins); names are looked up case-sensitively, as assemblers treat them.
class Symbols {
public:
    // Reads one file by its extension; false with `error` set when it cannot be read or is not of
    // that kind. `prgSize` (the cartridge's PRG-ROM bytes) places the ROM offsets of a .mlb file and
    // of a .dbg file's segments at $8000 and up, as a game without bank switching maps them.
    bool Load(const std::string& file, std::uint32_t prgSize, std::string& error);
    // The files that belong to a cartridge: beside it, with its name and the extensions above (for
    // .nl files also "name.nes.ram.nl" and "name.nes.N.nl"); returns the names of the files read.
    std::string LoadBeside(const std::string& romFile, std::uint32_t prgSize);
    void Clear();

    const std::string* NameOf(std::uint16_t address) const {
        if (names.empty()) {
            return nullptr;
        }
        const auto found = names.find(address);
        return found == names.end() ? nullptr : &found->second;
    }
    std::optional<std::uint16_t> AddressOf(const std::string& name) const {
        const auto found = addresses.find(name);
        if (found == addresses.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    // "file:line" of the source line an address was assembled from, or empty.
    std::string SourceLineOf(std::uint16_t address) const;
    bool Empty() const { return names.empty() && lines.empty(); }
    std::size_t Count() const { return names.size(); }

    void Add(std::uint16_t address, const std::string& name);
    void AddLine(std::uint16_t address, std::string place) { lines.emplace(address, std::move(place)); }

private:
    bool LoadNameList(std::istream& in, std::string& error);
    bool LoadMesenLabels(std::istream& in, std::uint32_t prgSize, std::string& error);
    bool LoadDebugFile(std::istream& in, std::uint32_t prgSize, std::string& error);

    std::unordered_map<std::uint16_t, std::string> names;
    std::unordered_map<std::string, std::uint16_t> addresses;
    std::map<std::uint16_t, std::string> lines;
};

} // namespace Halvo::Nes
