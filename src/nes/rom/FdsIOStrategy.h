#pragma once

#include "nes/rom/RomImageIOStrategy.h"

namespace Halvo::Nes {

// The Famicom Disk System's disk images (.fds): an optional 16-byte header ("FDS" $1A, the number of
// sides, zeros), then each side's 65,500 bytes. A file without the header is recognised by the disk
// info block every side begins with. The image names the board "FDS" and carries no PRG-ROM.
class FdsIOStrategy : public RomImageIOStrategy {
public:
    static constexpr std::size_t HeaderSize = 16;
    // More sides than any game came on (the largest had 8); a larger count is taken as a broken file.
    static constexpr std::uint32_t MaxSides = 16;

    std::unique_ptr<RomImageIOStrategy> Clone() const override;
    std::string GetDescription() const override;
    bool CheckExtension(const std::string& extension) const override;
    std::unique_ptr<RomImage> LoadImage(std::istream& in, bool strict) const override;
    // Writes the header and the sides as they are in the image; false for an image that is no disk.
    bool SaveImage(std::ostream& out, const RomImage& image) const override;
};

} // namespace Halvo::Nes
