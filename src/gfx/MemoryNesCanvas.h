#pragma once

#include "gfx/LinearNesCanvas.h"
#include "gfx/MemoryNesCanvasBase.h"

namespace Halvo::Gfx {

// The complete platform-free canvas for pixel type T and storage code N: the renderer draws straight
// into the memory block, so a frame needs no lock and no copy.
template <class T, int N>
class MemoryNesCanvas final : public LinearNesCanvas<T, N>, public MemoryNesCanvasBase {
public:
    explicit MemoryNesCanvas(PixelFormat format)
        : NesCanvas(format), LinearNesCanvas<T, N>(format),
          MemoryNesCanvasBase(format, LinearNesCanvas<T, N>::Renderer::BytesPerPixel) {}

    Ref::Ptr<NesRenderer> BeginFrame() override { return this->OpenFrame(SurfaceData(), Pitch()); }

    void EndFrame() override { this->CloseFrame(); }
};

} // namespace Halvo::Gfx
