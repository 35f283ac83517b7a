#include "nes/rom/FdsIOStrategy.h"

#include <cstring>

#include "console/System.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/LoadReport.h"
#include "nes/rom/StreamBlock.h"

namespace Halvo::Nes {

namespace {

constexpr const char* LoadOperation = "Halvo::Nes::FdsIOStrategy::LoadImage";
constexpr const char* SaveOperation = "Halvo::Nes::FdsIOStrategy::SaveImage";
constexpr std::uint8_t Signature[4] = {'F', 'D', 'S', 0x1A};
// Every side begins with block 1, the disk info block: its code and the text "*NINTENDO-HVC*".
constexpr char DiskInfoMark[] = "\x01*NINTENDO-HVC*";
constexpr std::size_t DiskInfoMarkSize = sizeof(DiskInfoMark) - 1;

bool StartsSide(const std::uint8_t* side) {
    return std::memcmp(side, DiskInfoMark, DiskInfoMarkSize) == 0;
}

} // namespace

std::unique_ptr<RomImageIOStrategy> FdsIOStrategy::Clone() const {
    return std::make_unique<FdsIOStrategy>();
}

std::string FdsIOStrategy::GetDescription() const {
    return "Famicom Disk System (*.FDS)";
}

bool FdsIOStrategy::CheckExtension(const std::string& extension) const {
    return extension == "fds";
}

std::unique_ptr<RomImage> FdsIOStrategy::LoadImage(std::istream& in, bool) const {
    std::uint8_t start[HeaderSize] = {};
    in.read(reinterpret_cast<char*>(start), HeaderSize);
    if (static_cast<std::size_t>(in.gcount()) != HeaderSize) {
        ReportForeignFile(LoadOperation, __LINE__, "Invalid FDS disk image.");
        return nullptr;
    }
    const bool headed = std::memcmp(start, Signature, sizeof(Signature)) == 0;
    if (!headed && !StartsSide(start)) {
        ReportForeignFile(LoadOperation, __LINE__, "Invalid FDS disk image.");
        return nullptr;
    }
    const std::optional<std::uint64_t> remaining = RemainingBytes(in);
    if (!remaining) {
        ReportLoadError(LoadOperation, __LINE__, "Could not read the FDS disk image.");
        return nullptr;
    }
    // The sides the file holds; a header's count that disagrees with the file's size is common (some
    // tools wrote 0) and the file's size wins. A last side cut short is filled with the blank disk's 0.
    const std::uint64_t dataSize = *remaining + (headed ? 0 : HeaderSize);
    const std::uint64_t sides = (dataSize + RomImage::DiskSideSize - 1) / RomImage::DiskSideSize;
    if (sides == 0 || sides > MaxSides) {
        ReportLoadError(LoadOperation, __LINE__,
                        sides == 0 ? "The FDS disk image holds no disk side."
                                   : "The FDS disk image holds more sides than any disk has.");
        return nullptr;
    }
    auto image = std::make_unique<RomImage>();
    image->disk.assign(static_cast<std::size_t>(sides) * RomImage::DiskSideSize, 0);
    std::size_t at = 0;
    if (!headed) {
        std::memcpy(image->disk.data(), start, HeaderSize);
        at = HeaderSize;
    }
    const auto rest = static_cast<std::size_t>(*remaining);
    in.read(reinterpret_cast<char*>(image->disk.data() + at), static_cast<std::streamsize>(rest));
    if (static_cast<std::size_t>(in.gcount()) != rest) {
        ReportLoadError(LoadOperation, __LINE__, "Corrupted FDS disk image.");
        return nullptr;
    }
    image->diskSideCount = static_cast<std::uint32_t>(sides);
    for (std::uint32_t side = 0; side < image->diskSideCount; ++side) {
        if (!StartsSide(image->disk.data() + std::size_t{side} * RomImage::DiskSideSize)) {
            ReportLoadError(LoadOperation, __LINE__,
                            "Side " + std::to_string(side + 1) +
                                " of the FDS disk image has no disk info block.");
            return nullptr;
        }
    }
    image->boardName = "FDS";
    image->tvSystem = TvNtsc;
    image->mirroring = MirrorByMapper;
    image->hasChrRam = true;
    // The checksum that tells one disk's save states from another's.
    image->prgCrc = Crc32::Of(image->disk.data(), image->disk.size());
    return image;
}

bool FdsIOStrategy::SaveImage(std::ostream& out, const RomImage& image) const {
    if (image.diskSideCount == 0 || image.disk.size() != image.diskSideCount * RomImage::DiskSideSize) {
        Console::ReportError(SaveOperation, __LINE__) << "The image is not a disk." << std::endl;
        return false;
    }
    std::uint8_t header[HeaderSize] = {'F', 'D', 'S', 0x1A, static_cast<std::uint8_t>(image.diskSideCount)};
    out.write(reinterpret_cast<const char*>(header), HeaderSize);
    out.write(reinterpret_cast<const char*>(image.disk.data()),
              static_cast<std::streamsize>(image.disk.size()));
    return static_cast<bool>(out);
}

} // namespace Halvo::Nes
