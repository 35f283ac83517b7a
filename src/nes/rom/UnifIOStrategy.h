#pragma once

#include <cstdint>

#include "nes/rom/RomImageIOStrategy.h"

namespace Halvo::Nes {

// The UNIF format: a 32-byte header, then chunks in any order, each a four-character identifier, a
// little-endian length and its data. The board is named directly ("MAPR"); PRG-ROM and CHR-ROM come in
// numbered chunks ("PRG0".."PRGZ", "CHR0".."CHRZ") with optional checksum chunks ("PCKn", "CCKn").
class UnifIOStrategy : public RomImageIOStrategy {
public:
    // Chunk numbers are one character: 0-9, then A-Z (either case on reading).
    static constexpr std::uint32_t MaxChunkCount = 36;
    static constexpr std::uint32_t DumperRecordSize = 204;

    std::unique_ptr<RomImageIOStrategy> Clone() const override;
    std::string GetDescription() const override;
    bool CheckExtension(const std::string& extension) const override;
    // With `strict`, a PRG or CHR block whose checksum chunk disagrees with it fails the load with an
    // error report; without it the same text is a plain console line and loading goes on.
    std::unique_ptr<RomImage> LoadImage(std::istream& in, bool strict) const override;
    // False, with nothing written, when the image has more banks than chunk numbers exist; false too
    // when the stream reports a write failure.
    bool SaveImage(std::ostream& out, const RomImage& image) const override;
};

} // namespace Halvo::Nes
