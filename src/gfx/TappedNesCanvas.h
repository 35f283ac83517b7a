#pragma once

#include "gfx/MemoryNesCanvasBase.h"
#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {

// A canvas that shows the picture through another one and also draws every frame into a canvas in
// memory, from which a recording takes it. The PPU keeps its colour state (clipping, emphasis, grayscale,
// the colours themselves) on this canvas; it is handed on to both before each use, and everything the
// PPU draws goes to both.
class TappedNesCanvas final : public NesCanvas {
public:
    TappedNesCanvas(const Ref::Ptr<NesCanvas>& shown, const Ref::Ptr<MemoryNesCanvasBase>& copy);
    ~TappedNesCanvas() override;

    bool Reset() override { return shown->Reset(); }
    void Invalidate() override { shown->Invalidate(); }
    void Draw(const ScreenRect& rect) override { shown->Draw(rect); }
    Ref::Ptr<NesRenderer> BeginFrame() override;
    void EndFrame() override;
    void SetPaletteEntry(std::uint32_t index, std::uint32_t colour) override;
    void SetColor(std::uint32_t index, float red, float green, float blue, float alpha) override;

    const Ref::Ptr<NesCanvas>& Shown() const { return shown; }
    const MemoryNesCanvasBase& Copy() const { return *copy; }

    // Hands the state the PPU keeps here to both canvases.
    void Sync();

private:
    class Renderer;

    Ref::Ptr<NesCanvas> shown;
    Ref::Ptr<MemoryNesCanvasBase> copy;
    Ref::Ptr<Renderer> renderer;
};

} // namespace Halvo::Gfx
