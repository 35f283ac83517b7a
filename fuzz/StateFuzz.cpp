// Loads damaged save states into a running machine and runs it on. The machine is one of five boards
// (NROM, MMC3, VRC4, FME-7, MMC5) or the Disk System (the program as its BIOS, a one-side disk), running a
// program that keeps the DMC fetching, the FME-7's cycle IRQ (or the Disk System's timer and drive)
// counting and the NMI on, so that the state holds live stalls, IRQ cycles and sound times. Its state
// is then edited as the input says and sealed again (length and checksum made right), so that the
// edits reach the sections instead of failing the checksum. A state that is refused must leave the
// machine as it was; one that is taken must let the machine run frames that end where frames end.
// Nothing may crash, hang (libFuzzer's -timeout) or trip the sanitizers.
//
// Input: byte 0 chooses the board, byte 1 the frames run before the state is taken (1-8) and whether
// the state is cut short (bit 7: at the offset the first edit names); then edits of three bytes each,
// a 16-bit offset into the sections (high byte first, taken modulo their size) and a byte XORed there.
//   ./halvo-fuzz-StateFuzz -timeout=10 /tmp/state-corpus
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "console/System.h"
#include "gfx/MemoryNesCanvasBase.h"
#include "nes/Cartridges.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/RomImage.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/state/SaveState.h"

namespace {

using namespace Halvo;

// Signature, version, length and the two ROM checksums come before the sections.
constexpr std::size_t HeaderSize = 24;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// 32 KiB of PRG-ROM whose last 8 KiB hold the program at $E000 and the vectors.
std::unique_ptr<std::uint8_t[]> Program() {
    constexpr std::size_t Size = 32 * 1024;
    auto prg = std::make_unique<std::uint8_t[]>(Size);
    std::vector<std::uint8_t> code = {0x78}; // SEI
    const auto store = [&](std::uint8_t value, std::uint16_t address) {
        code.insert(code.end(), {0xA9, value, 0x8D, static_cast<std::uint8_t>(address),
                                 static_cast<std::uint8_t>(address >> 8)});
    };
    // The DMC plays a long looping sample at its fastest rate: a fetch, and its stall, every few lines.
    store(0x4F, 0x4010);
    store(0xFF, 0x4013);
    store(0x10, 0x4015);
    // Disk System: the registers on, the drive turning, the timer repeating every $1000 cycles (written
    // where no other board answers).
    store(0x83, 0x4023);
    store(0x2D, 0x4025);
    store(0x00, 0x4020);
    store(0x10, 0x4021);
    store(0x03, 0x4022);
    // FME-7: counter $1000, counting, with its IRQ.
    store(0x0E, 0x8000);
    store(0x00, 0xA000);
    store(0x0F, 0x8000);
    store(0x10, 0xA000);
    store(0x0D, 0x8000);
    store(0x81, 0xA000);
    store(0x80, 0x2000);  // NMI at vertical blank
    code.push_back(0x58); // CLI
    const auto loop = static_cast<std::uint16_t>(0xE000 + code.size());
    code.insert(code.end(), {0x4C, static_cast<std::uint8_t>(loop), static_cast<std::uint8_t>(loop >> 8)});
    const auto irq = static_cast<std::uint16_t>(0xE000 + code.size());
    store(0x0D, 0x8000); // acknowledged by writing the IRQ control again
    store(0x81, 0xA000);
    code.insert(code.end(), {0xAD, 0x30, 0x40}); // LDA $4030: the Disk System's acknowledgement
    code.push_back(0x40);                        // RTI
    const auto nmi = static_cast<std::uint16_t>(0xE000 + code.size());
    code.push_back(0x40);
    std::uint8_t* bank = prg.get() + Size - 8 * 1024;
    std::copy(code.begin(), code.end(), bank);
    const std::uint16_t vectors[] = {nmi, 0xE000, irq};
    for (std::size_t i = 0; i < 3; ++i) {
        bank[0x1FFA + 2 * i] = static_cast<std::uint8_t>(vectors[i]);
        bank[0x1FFB + 2 * i] = static_cast<std::uint8_t>(vectors[i] >> 8);
    }
    return prg;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static const char* const boards[] = {"NROM", "TLROM", "VRC4", "JLROM", "EKROM", "FDS"};
    Ref::Ptr<Console::System> console(Console::System::Instance());
    Ref::Ptr<Nes::RomImageIOManager> formats(Nes::RomImageIOManager::Instance());
    Ref::Ptr<Nes::MmcManager> registry(Nes::MmcManager::Instance());
    Nes::RegisterCartridgeSupport(*formats, *registry);

    auto image = std::make_unique<Nes::RomImage>();
    image->boardName = boards[data[0] % std::size(boards)];
    image->prgBankCount = 2;
    image->prgRom = Program();
    image->chrBankCount = 1;
    image->chrRom = std::make_unique<std::uint8_t[]>(Nes::RomImage::ChrBankSize);
    image->hasBattery = true;
    if (image->boardName == "FDS") {
        image->diskBios.assign(image->prgRom.get() + 24 * 1024, image->prgRom.get() + 32 * 1024);
        image->diskSideCount = 1;
        image->disk.assign(Nes::RomImage::DiskSideSize, 0);
        const char info[] = "\x01*NINTENDO-HVC*";
        std::copy(info, info + 15, image->disk.begin());
    }
    Ref::Ptr<Nes::Process> process = Nes::Process::Create("Static", image.get());
    Require(process.Get() != nullptr);
    Ref::Ptr<Gfx::MemoryNesCanvasBase> canvas = Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
    process->GetPpu().SetCanvas(Ref::Ptr<Gfx::NesCanvas>(canvas.Get()));
    process->Reset(true);
    process->GetApu().SetSynthesis(true);
    for (int frame = 0; frame <= (data[1] & 7); ++frame) {
        process->RunFrame(true);
    }

    std::vector<std::uint8_t> state = Nes::SaveState::Write(*process);
    const std::size_t sections = state.size() - HeaderSize - 4;
    const std::uint8_t* edits = data + 2;
    const std::size_t editCount = (size - 2) / 3;
    for (std::size_t i = 0; i < editCount; ++i) {
        const std::size_t offset = (std::size_t{edits[3 * i]} << 8 | edits[3 * i + 1]) % sections;
        state[HeaderSize + offset] ^= edits[3 * i + 2];
    }
    if ((data[1] & 0x80) && editCount > 0) {
        const std::size_t keep = (std::size_t{edits[0]} << 8 | edits[1]) % sections;
        state.erase(state.begin() + static_cast<std::ptrdiff_t>(HeaderSize + keep), state.end() - 4);
    }
    PutWord(state, 12, static_cast<std::uint32_t>(state.size()));
    PutWord(state, state.size() - 4, Nes::Crc32::Of(state.data(), state.size() - 4));

    std::vector<std::uint8_t> before;
    Nes::SaveState::WriteMachine(*process, before);
    std::string error;
    if (!Nes::SaveState::Load(*process, state.data(), state.size(), error)) {
        std::vector<std::uint8_t> after;
        Nes::SaveState::WriteMachine(*process, after);
        Require(!error.empty() && after == before);
    } else {
        for (int frame = 0; frame < 3; ++frame) {
            process->RunFrame(true);
            process->GetApu().samples.clear();
            Require(process->GetPpu().scanline == 241);
        }
    }
    process = nullptr;
    console->lines.clear();
    return 0;
}
