#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nes/state/StateIo.h"

namespace Halvo::Nes {

class Process;

// Save states: everything that decides a machine's future, taken between two frames.
//
// The machine's part is a list of sections, each a four-character tag, a 32-bit length and what one
// component wrote: the processor, the PPU, the sound unit, the ports with their devices, the cartridge
// (memories and board registers), the process (RAM and time), and the page mappings of the CPU and the
// PPU, each page saved as which memory it shows and where in it, so that boards need not remap.
//
// A state file wraps the sections: the signature "HALVOSTA", the format version, the file's length,
// the CRC-32 of the cartridge's PRG-ROM and CHR-ROM, the sections, and the CRC-32 of everything before
// it. Numbers are little-endian.
namespace SaveState {

// Format 2 keeps the processor's IRQ line as one input per source; format 1 (Halvo 0.2.0) kept an IRQ
// latched while I was set, which only a board could leave behind, and still loads.
constexpr std::uint32_t Version = StateIo::CurrentVersion;

// The machine's sections alone, for snapshots kept in memory; `out` is replaced.
void WriteMachine(Process& process, std::vector<std::uint8_t>& out);
// Loads sections made by WriteMachine for this cartridge into the machine; false with the reason when
// they do not fit it, and then the machine may be partly loaded (use it only on a copy, or on snapshots
// this program made).
bool ReadMachine(Process& process, const std::uint8_t* data, std::size_t size, std::string& error,
                 std::uint32_t version = Version);

// A whole state file of the machine.
std::vector<std::uint8_t> Write(Process& process);
// Checks a state file against the machine's cartridge and loads it. It is loaded into a fresh machine
// first: on any problem the result is false, `error` says why (a sentence), and the running machine
// is exactly as it was.
bool Load(Process& process, const std::uint8_t* data, std::size_t size, std::string& error);

} // namespace SaveState

} // namespace Halvo::Nes
