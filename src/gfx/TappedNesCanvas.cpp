#include "gfx/TappedNesCanvas.h"

namespace Halvo::Gfx {

// Draws each row twice. The clip widths are read through pointers while a frame is drawn, and the PPU
// may change them on any line: they are handed on before every row.
class TappedNesCanvas::Renderer final : public NesRenderer {
public:
    explicit Renderer(TappedNesCanvas& canvas) : canvas(canvas) {}

    void ClearLeftColumn(std::uint32_t scanline) override {
        Clips();
        first->ClearLeftColumn(scanline);
        second->ClearLeftColumn(scanline);
    }
    void DrawBackdrop(const TileRecord& record) override {
        Clips();
        first->DrawBackdrop(record);
        second->DrawBackdrop(record);
    }
    void DrawTile(const TileRecord& record) override {
        Clips();
        first->DrawTile(record);
        second->DrawTile(record);
    }
    void DrawTiles(const TileRecord* records, std::size_t count) override {
        Clips();
        first->DrawTiles(records, count);
        second->DrawTiles(records, count);
    }
    void DrawSprite(const TileRecord& record) override {
        Clips();
        first->DrawSprite(record);
        second->DrawSprite(record);
    }
    void DrawColours(std::uint32_t scanline, const std::uint8_t* colours) override {
        first->DrawColours(scanline, colours);
        second->DrawColours(scanline, colours);
    }

    Ref::Ptr<NesRenderer> first;
    Ref::Ptr<NesRenderer> second;

private:
    void Clips() {
        for (NesCanvas* target : {canvas.shown.Get(), static_cast<NesCanvas*>(canvas.copy.Get())}) {
            target->bgClipWidth = canvas.bgClipWidth;
            target->spriteClipWidth = canvas.spriteClipWidth;
        }
    }

    TappedNesCanvas& canvas;
};

TappedNesCanvas::TappedNesCanvas(const Ref::Ptr<NesCanvas>& shown, const Ref::Ptr<MemoryNesCanvasBase>& copy)
    : NesCanvas(PixelFormat::X8R8G8B8), shown(shown), copy(copy), renderer(Ref::New<Renderer>(*this)) {
    // The colours are made once, here, for both: a paletted canvas's palette is the shown one's.
    palette = shown->palette;
    colourTable = shown->colourTable;
    hue = shown->hue;
    saturation = shown->saturation;
    brightness = shown->brightness;
    colourOutput = shown->colourOutput;
}

TappedNesCanvas::~TappedNesCanvas() = default;

void TappedNesCanvas::Sync() {
    for (NesCanvas* target : {shown.Get(), static_cast<NesCanvas*>(copy.Get())}) {
        target->bgClipWidth = bgClipWidth;
        target->spriteClipWidth = spriteClipWidth;
        target->colourMode = colourMode;
        target->emphasis = emphasis;
        target->colourOutput = colourOutput;
        target->hue = hue;
        target->saturation = saturation;
        target->brightness = brightness;
        target->colourTable = colourTable;
    }
}

Ref::Ptr<NesRenderer> TappedNesCanvas::BeginFrame() {
    Sync();
    Ref::Ptr<NesRenderer> first = shown->BeginFrame();
    Ref::Ptr<NesRenderer> second = copy->BeginFrame();
    if (!first || !second) {
        // One of the two cannot draw this frame: the other draws it alone.
        return first ? first : second;
    }
    renderer->first = first;
    renderer->second = second;
    return Ref::Ptr<NesRenderer>(renderer.Get());
}

void TappedNesCanvas::EndFrame() {
    shown->EndFrame();
    copy->EndFrame();
    renderer->first = nullptr;
    renderer->second = nullptr;
}

void TappedNesCanvas::SetPaletteEntry(std::uint32_t index, std::uint32_t colour) {
    shown->SetPaletteEntry(index, colour);
    copy->SetPaletteEntry(index, colour);
}

void TappedNesCanvas::SetColor(std::uint32_t index, float red, float green, float blue, float alpha) {
    Sync();
    shown->SetColor(index, red, green, blue, alpha);
    copy->SetColor(index, red, green, blue, alpha);
}

} // namespace Halvo::Gfx
