// Feeds arbitrary bytes to the iNES and UNIF readers through the manager's stream path, then saves
// whatever loads with both writers and reads it back.
//
// Seeds come from the writers: run once with HALVO_FUZZ_SEEDS=<folder> to write them there, e.g.
//   HALVO_FUZZ_SEEDS=/tmp/rom-seeds ./halvo-fuzz-RomImageFuzz -runs=0
//   ./halvo-fuzz-RomImageFuzz -rss_limit_mb=256 -malloc_limit_mb=64 /tmp/rom-corpus /tmp/rom-seeds
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "console/System.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/rom/UnifIOStrategy.h"

namespace {

using namespace Halvo;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
    return size == 0 || (a && b && std::memcmp(a, b, size) == 0);
}

// What every loaded image promises the machine: program code, and arrays exactly as long as the counts.
void CheckImage(const Nes::RomImage& image) {
    Require(image.prgBankCount >= 1 && image.prgRom);
    Require(Nes::Crc32::Of(image.prgRom.get(),
                           std::size_t{image.prgBankCount} * Nes::RomImage::PrgBankSize) == image.prgCrc);
    Require((image.chrBankCount == 0) == !image.chrRom);
    if (image.chrRom) {
        Require(Nes::Crc32::Of(image.chrRom.get(),
                               std::size_t{image.chrBankCount} * Nes::RomImage::ChrBankSize) == image.chrCrc);
    }
}

// Saves with the strategy; an image the writer accepts must read back with the same ROM and text.
void RoundTrip(const Nes::RomImageIOStrategy& strategy, const Nes::RomImage& image, bool mustLoad) {
    std::ostringstream out;
    if (!strategy.SaveImage(out, image)) {
        return;
    }
    std::istringstream in(out.str());
    const auto loaded = strategy.LoadImage(in, true);
    Require(loaded || !mustLoad);
    if (!loaded) {
        return;
    }
    CheckImage(*loaded);
    Require(loaded->prgBankCount == image.prgBankCount && loaded->chrBankCount == image.chrBankCount);
    Require(SameBytes(loaded->prgRom.get(), image.prgRom.get(),
                      std::size_t{image.prgBankCount} * Nes::RomImage::PrgBankSize));
    Require(SameBytes(loaded->chrRom.get(), image.chrRom.get(),
                      std::size_t{image.chrBankCount} * Nes::RomImage::ChrBankSize));
    Require(image.name.size() > 128 || loaded->name == image.name);
}

void WriteSeed(const std::string& folder, const std::string& name, const Nes::RomImageIOStrategy& strategy,
               const Nes::RomImage& image) {
    std::ofstream file(folder + "/" + name, std::ios::binary);
    strategy.SaveImage(file, image);
}

std::unique_ptr<Nes::RomImage> SeedImage(const char* board, std::uint32_t prgBanks, std::uint32_t chrBanks) {
    auto image = std::make_unique<Nes::RomImage>();
    image->boardName = board;
    image->name = std::string(board) + " seed";
    image->prgBankCount = prgBanks;
    image->prgRom = std::make_unique<std::uint8_t[]>(prgBanks * Nes::RomImage::PrgBankSize);
    image->prgRom[0] = 0x4C;
    image->chrBankCount = chrBanks;
    if (chrBanks > 0) {
        image->chrRom = std::make_unique<std::uint8_t[]>(chrBanks * Nes::RomImage::ChrBankSize);
    } else {
        image->hasChrRam = true;
    }
    return image;
}

void WriteSeeds(const std::string& folder) {
    Ref::Ptr<Console::System> console(Console::System::Instance());
    const Nes::INesIOStrategy ines;
    const Nes::UnifIOStrategy unif;
    auto nrom = SeedImage("NROM", 1, 1);
    WriteSeed(folder, "nrom.nes", ines, *nrom);
    WriteSeed(folder, "nrom.unif", unif, *nrom);
    auto tkrom = SeedImage("TKROM", 2, 1);
    tkrom->hasBattery = true;
    tkrom->mirroring = 1;
    tkrom->trainer = std::make_unique<std::uint8_t[]>(Nes::RomImage::TrainerSize);
    WriteSeed(folder, "tkrom.nes", ines, *tkrom);
    WriteSeed(folder, "tkrom.unif", unif, *tkrom);
    auto unrom = SeedImage("UNROM", 1, 0);
    unrom->mirroring = 4;
    WriteSeed(folder, "unrom.nes", ines, *unrom);
    WriteSeed(folder, "unrom.unif", unif, *unrom);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* folder = std::getenv("HALVO_FUZZ_SEEDS")) {
        WriteSeeds(folder);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Reports go to the console; both counted objects are released at the end, so nothing outlives an
    // input.
    Ref::Ptr<Console::System> console(Console::System::Instance());
    Ref::Ptr<Nes::RomImageIOManager> manager(Nes::RomImageIOManager::Instance());
    manager->RegisterStrategy(Nes::INesIOStrategy());
    manager->RegisterStrategy(Nes::UnifIOStrategy());

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* extension : {"nes", "unif", ""}) {
        std::istringstream in(bytes);
        console->lines.clear();
        const auto image = manager->LoadImageStream(in, extension);
        // A format that reads the bytes leaves no complaint behind; bytes that none reads are explained.
        const bool complained =
            std::any_of(console->lines.begin(), console->lines.end(),
                        [](const Console::ConsoleLine& line) { return line.isError != 0; });
        Require(complained != static_cast<bool>(image));
        if (image) {
            CheckImage(*image);
            RoundTrip(Nes::UnifIOStrategy(), *image, true);
            RoundTrip(Nes::INesIOStrategy(), *image, false);
        }
    }
    manager->strict = false;
    std::istringstream lenient(bytes);
    if (const auto image = manager->LoadImageStream(lenient, "unf")) {
        CheckImage(*image);
    }
    console->lines.clear();
    return 0;
}
