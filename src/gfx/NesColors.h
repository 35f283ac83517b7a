#pragma once

#include "gfx/NtscSignal.h"

namespace Halvo::Gfx {

class NesCanvas;

// Computes the NES's 64 colours from the canvas's colour controls (hue, saturation, brightness), the
// PPU's emphasis bits and grayscale mode, and the colour output switch, and hands each to the canvas's
// SetColor (filling its palette first for paletted formats). The canvas's palette map holds copies of
// colours, so the caller sends its 32 palette entries again afterwards.
// A canvas with a colour table takes its colours from the table instead.
void GenerateNesColors(NesCanvas& canvas);

// The colours GenerateNesColors makes with the default controls, for every emphasis.
NesColourTable ClassicNesColours();

} // namespace Halvo::Gfx
