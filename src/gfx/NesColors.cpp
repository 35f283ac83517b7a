#include "gfx/NesColors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {

namespace {

// Channel gains (red, green, blue) for each value of the mask register's three emphasis bits, which
// attenuate parts of the PPU's video signal and so tint the whole picture.
// clang-format off
constexpr float EmphasisGains[8][3] = {
    {1.0f,   1.0f,   1.0f},
    {1.239f, 0.915f, 0.743f},
    {0.794f, 1.086f, 0.882f},
    {1.019f, 0.98f,  0.653f},
    {0.905f, 1.026f, 1.277f},
    {1.023f, 0.908f, 0.979f},
    {0.741f, 0.987f, 1.001f},
    {0.75f,  0.75f,  0.75f},
};
// clang-format on

// Hue of each column on the colour wheel, in degrees. Columns 0 and 13-15 carry no chroma.
constexpr float ColumnHues[16] = {0, 240, 210, 180, 150, 120, 90, 60, 30, 0, 330, 300, 270, 0, 0, 0};

// Luma of each row: column 0 (the light grays), columns 1-12 (the hues), column 13 (the dark grays, $0D
// being the PPU's "blacker than black") and columns 14-15 (the blacks).
constexpr float GrayLuma[4] = {0.5f, 0.75f, 1.0f, 1.0f};
constexpr float HueLuma[4] = {0.25f, 0.43f, 0.67f, 0.9f};
constexpr float DarkGrayLuma[4] = {0.0f, 0.32f, 0.59f, 0.81f};
constexpr float BlackLuma[4] = {0.02f, 0.04f, 0.05f, 0.07f};

float Clamp(float value) {
    if (value >= 1.0f) {
        return 1.0f;
    }
    if (value <= 0.0f) {
        return 0.0f;
    }
    return value;
}

std::uint8_t ToPaletteByte(float component) {
    return static_cast<std::uint8_t>(TruncateToInteger(component * 255.0f));
}

void GenerateFromTable(NesCanvas& canvas) {
    const NesColourTable& table = *canvas.colourTable;
    const std::uint32_t block = (canvas.emphasis & 7) * 64;
    for (std::uint32_t index = 0; index < 64; ++index) {
        // Grayscale mode keeps only the row's gray of column 0.
        const std::uint32_t rgb = table[block + (canvas.colourMode != 0 ? index : index & 0x30)];
        float red = static_cast<float>(rgb >> 16 & 0xFF) / 255.0f;
        float green = static_cast<float>(rgb >> 8 & 0xFF) / 255.0f;
        float blue = static_cast<float>(rgb & 0xFF) / 255.0f;
        if (canvas.colourOutput == 0) {
            red = green = blue = (red + green + blue) / 3.0f;
        }
        if (canvas.palette) {
            canvas.palette->entries[index] = {ToPaletteByte(red), ToPaletteByte(green), ToPaletteByte(blue),
                                              255};
            canvas.palette->dirty = true;
        }
        canvas.SetColor(index, red, green, blue, 1.0f);
    }
}

// Records what the generator hands a canvas.
class ColourRecorder final : public NesCanvas {
public:
    ColourRecorder() : NesCanvas(PixelFormat::X8R8G8B8) {}
    bool Reset() override { return true; }
    void Invalidate() override {}
    void Draw(const ScreenRect&) override {}
    Ref::Ptr<NesRenderer> BeginFrame() override { return nullptr; }
    void EndFrame() override {}
    void SetPaletteEntry(std::uint32_t, std::uint32_t) override {}
    void SetColor(std::uint32_t index, float red, float green, float blue, float) override {
        const auto byte = [](float value) { return static_cast<std::uint32_t>(ToPaletteByte(Clamp(value))); };
        colours[index & 63] = byte(red) << 16 | byte(green) << 8 | byte(blue);
    }
    std::array<std::uint32_t, 64> colours{};
};

} // namespace

NesColourTable ClassicNesColours() {
    NesColourTable table{};
    ColourRecorder recorder;
    for (std::uint32_t emphasis = 0; emphasis < 8; ++emphasis) {
        recorder.emphasis = emphasis;
        GenerateNesColors(recorder);
        std::copy(recorder.colours.begin(), recorder.colours.end(), table.begin() + emphasis * 64);
    }
    return table;
}

void GenerateNesColors(NesCanvas& canvas) {
    if (canvas.colourTable) {
        GenerateFromTable(canvas);
        return;
    }
    constexpr double pi = std::numbers::pi;
    const float hueOffset = 350.0f + (canvas.hue - 0.5f) * 5.0f;
    const float chroma = canvas.saturation - 0.5f + 0.55f;
    const float level =
        canvas.brightness <= 0.5f
            ? static_cast<float>(std::cos(static_cast<double>(0.5f - canvas.brightness) * pi))
            : static_cast<float>(1.0 + std::sin(static_cast<double>(canvas.brightness - 0.5f) * pi));
    // Only the mask register's three bits exist; a canvas that has not been told any yet holds all ones.
    const float* gains = EmphasisGains[canvas.emphasis & 7];
    const float redGain = level * gains[0];
    const float greenGain = level * gains[1];
    const float blueGain = level * gains[2];

    for (std::uint32_t row = 0; row < 4; ++row) {
        for (std::uint32_t column = 0; column < 16; ++column) {
            // Grayscale mode keeps only the luma of column 0 of the row.
            const std::uint32_t shade = canvas.colourMode != 0 ? column : 0;
            float luma = GrayLuma[row];
            float amplitude = 0.0f;
            if (shade >= 1 && shade <= 12) {
                luma = HueLuma[row];
                amplitude = chroma;
            } else if (shade == 13) {
                luma = DarkGrayLuma[row];
            } else if (shade >= 14) {
                luma = BlackLuma[row];
            }

            const float angle = (hueOffset + ColumnHues[column]) * static_cast<float>(pi) / 180.0f;
            const float v = amplitude * static_cast<float>(std::sin(static_cast<double>(angle)));
            const float u = amplitude * static_cast<float>(std::cos(static_cast<double>(angle)));
            float red = Clamp((luma + v) * redGain);
            float green = Clamp((luma - 0.50943398f * v + 0.18867925f * u) * greenGain);
            float blue = Clamp((luma - u) * blueGain);
            if (canvas.colourOutput == 0) {
                red = green = blue = (red + green + blue) / 3.0f;
            }

            const std::uint32_t index = 16 * row + column;
            if (canvas.palette) {
                canvas.palette->entries[index] = {ToPaletteByte(red), ToPaletteByte(green),
                                                  ToPaletteByte(blue), 255};
                canvas.palette->dirty = true;
            }
            canvas.SetColor(index, red, green, blue, 1.0f);
        }
    }
}

} // namespace Halvo::Gfx
