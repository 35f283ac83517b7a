#include "shell/PictureSettings.h"

#include <algorithm>
#include <istream>

#include "console/ReadToken.h"
#include "console/RegularFile.h"
#include "console/System.h"
#include "gfx/NesColors.h"
#include "shell/CommandLine.h"

namespace Halvo {

namespace {

constexpr std::size_t ColoursSize = 64 * 3;
constexpr std::size_t EmphasisColoursSize = 512 * 3;

} // namespace

bool PictureSettings::PaletteVariable::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    const std::streampos start = arguments.tellg();
    if (!(arguments >> word)) {
        out << name << " is " << value << std::endl;
        return true;
    }
    if (word != "=") {
        arguments.clear();
        arguments.seekg(start);
    }
    if (Console::ReadToken(arguments, word) == Console::NoToken || word.empty()) {
        return false;
    }
    if (std::string rest; arguments >> rest) {
        return false;
    }
    if (std::find(choices.begin(), choices.end(), word) != choices.end()) {
        value = word;
        owner.fileColours = nullptr;
        return true;
    }
    auto colours = std::make_shared<Gfx::NesColourTable>();
    std::string error;
    std::string written;
    if (!ReadPaletteFile(word, *colours, error) || !QuoteConsoleWord(word, written)) {
        Console::ReportError("Halvo::PictureSettings::PaletteVariable::Execute", __LINE__)
            << "Could not use the palette " << word << ": "
            << (error.empty() ? "no console line can name it" : error) << "." << std::endl;
        return true;
    }
    value = written;
    owner.fileColours = std::move(colours);
    ++owner.paletteReads;
    return true;
}

void PictureSettings::PaletteVariable::PrintUsage(std::ostream& out) {
    out << "usage: g_palette [=] <composite|classic|\"<file.pal>\">\n"
        << "       g_palette is " << value << std::endl;
}

bool PictureSettings::ReadPaletteFile(const std::string& path, Gfx::NesColourTable& colours,
                                      std::string& error) {
    std::string bytes;
    if (Console::ReadRegularFile(path, EmphasisColoursSize, bytes, error) != Console::FileRefusal::None) {
        return false;
    }
    if (bytes.size() != ColoursSize && bytes.size() != EmphasisColoursSize) {
        error = "it holds " + std::to_string(bytes.size()) +
                " bytes; a palette holds 192 (64 colours) or 1536 (with each emphasis)";
        return false;
    }
    const auto colour = [&bytes](std::size_t entry) {
        const auto byte = [&](std::size_t at) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at]));
        };
        return byte(3 * entry) << 16 | byte(3 * entry + 1) << 8 | byte(3 * entry + 2);
    };
    if (bytes.size() == EmphasisColoursSize) {
        for (std::size_t i = 0; i < colours.size(); ++i) {
            colours[i] = colour(i);
        }
        return true;
    }
    // A file of 64 colours has no emphasis: each emphasis tints them as it tints the composite signal,
    // channel by channel over the whole palette.
    const Gfx::NesColourTable signal = Gfx::NtscSignal(0.0f, 1.0f).Palette();
    for (std::size_t emphasis = 0; emphasis < 8; ++emphasis) {
        double gains[3] = {};
        for (int channel = 0; channel < 3; ++channel) {
            const int shift = 16 - 8 * channel;
            double plain = 0.0, tinted = 0.0;
            for (std::size_t c = 0; c < 64; ++c) {
                plain += signal[c] >> shift & 0xFF;
                tinted += signal[emphasis * 64 + c] >> shift & 0xFF;
            }
            gains[channel] = plain > 0.0 ? tinted / plain : 1.0;
        }
        for (std::size_t c = 0; c < 64; ++c) {
            std::uint32_t rgb = 0;
            for (int channel = 0; channel < 3; ++channel) {
                const int shift = 16 - 8 * channel;
                const double value = static_cast<double>(colour(c) >> shift & 0xFF) * gains[channel];
                rgb |= static_cast<std::uint32_t>(std::min(255.0, value + 0.5)) << shift;
            }
            colours[emphasis * 64 + c] = rgb;
        }
    }
    return true;
}

Gfx::NtscSignal PictureSettings::Signal() const {
    return Gfx::NtscSignal((static_cast<float>(hueVariable.value) - 50.0f) * 0.6f,
                           static_cast<float>(saturationVariable.value) / 100.0f);
}

std::shared_ptr<const Gfx::NesColourTable> PictureSettings::Colours() const {
    if (paletteVariable.value == "classic") {
        return std::make_shared<Gfx::NesColourTable>(Gfx::ClassicNesColours());
    }
    if (paletteVariable.value != "composite" && fileColours) {
        return fileColours;
    }
    return std::make_shared<Gfx::NesColourTable>(Signal().Palette());
}

std::shared_ptr<Gfx::PictureFilter> PictureSettings::Filter(std::uint32_t width) const {
    if (filterVariable.value == "ntsc") {
        return std::make_shared<Gfx::NtscFilter>(Signal(), width);
    }
    if (filterVariable.value == "scanlines") {
        return std::make_shared<Gfx::ScanlineFilter>(*Colours());
    }
    return nullptr;
}

bool PictureSettings::Changed() {
    const std::string now = filterVariable.value + '\n' + paletteVariable.value + '\n' +
                            std::to_string(hueVariable.value) + '\n' +
                            std::to_string(saturationVariable.value) + '\n' + std::to_string(paletteReads);
    const bool changed = now != applied;
    applied = now;
    return changed;
}

} // namespace Halvo
