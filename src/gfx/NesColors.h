#pragma once

namespace Halvo::Gfx {

class NesCanvas;

// Computes the NES's 64 colours from the canvas's colour controls (hue, saturation, brightness), the
// PPU's emphasis bits and grayscale mode, and the colour output switch, and hands each to the canvas's
// SetColor (filling its palette first for paletted formats). The canvas's palette map holds copies of
// colours, so the caller sends its 32 palette entries again afterwards.
void GenerateNesColors(NesCanvas& canvas);

} // namespace Halvo::Gfx
