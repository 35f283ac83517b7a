#pragma once

#include "nes/rom/RomImageIOStrategy.h"

namespace Halvo::Nes {

// Music files of the console's games: NSF (a 128-byte header, then the tune's 6502 program; version 2
// may append NSFe chunks after the program) and NSFe (chunks only: "INFO", "DATA", "BANK", "auth",
// "time", ...). The image runs on the "NSF" board, whose player calls the tune's routines; its
// RomImage::nsf holds what the player needs. Reading only: an image is never written in these formats.
class NsfIOStrategy : public RomImageIOStrategy {
public:
    std::unique_ptr<RomImageIOStrategy> Clone() const override;
    std::string GetDescription() const override;
    bool CheckExtension(const std::string& extension) const override;
    std::unique_ptr<RomImage> LoadImage(std::istream& in, bool strict) const override;
    bool SaveImage(std::ostream& out, const RomImage& image) const override;
};

} // namespace Halvo::Nes
