#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

// One ROM image file format: recognises its extensions, reads an image from a stream and writes one.
// The manager keeps one clone of each registered format.
class RomImageIOStrategy {
public:
    virtual ~RomImageIOStrategy() = default;

    virtual std::unique_ptr<RomImageIOStrategy> Clone() const = 0;
    // The format and its extensions, as "iNES (*.NES)".
    virtual std::string GetDescription() const = 0;
    // The extension is lower case and has no dot.
    virtual bool CheckExtension(const std::string& extension) const = 0;
    // Reads one image from the stream's current position; null when the stream holds none.
    virtual std::unique_ptr<RomImage> LoadImage(std::istream& in, bool strict) const = 0;
    virtual bool SaveImage(std::ostream& out, const RomImage& image) const = 0;

protected:
    RomImageIOStrategy() = default;
    RomImageIOStrategy(const RomImageIOStrategy&) = default;
    RomImageIOStrategy& operator=(const RomImageIOStrategy&) = default;
};

} // namespace Halvo::Nes
