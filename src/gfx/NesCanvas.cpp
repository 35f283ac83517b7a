#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {

NesCanvas::NesCanvas(PixelFormat format) : formatter(Ref::New<PixelFormatter>(format)) {
    if (format == PixelFormat::P8 || format == PixelFormat::A8P8) {
        palette = Ref::New<Palette>();
        formatter->palette = palette;
    }
}

NesCanvas::~NesCanvas() = default;

} // namespace Halvo::Gfx
