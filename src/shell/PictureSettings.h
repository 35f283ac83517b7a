#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "console/ChoiceVariable.h"
#include "console/Variable.h"
#include "gfx/NtscSignal.h"
#include "gfx/PictureFilters.h"

namespace Halvo {

// How the picture looks: the filter it passes through ("g_filter": none, ntsc or scanlines), where
// its colours come from ("g_palette": the composite signal decoded, the classic generated colours, or
// a .pal file) and the turn and strength of the decoded colours ("g_hue", 0-100 with 50 as the console
// makes them, each step 0.6 degrees; "g_saturation", 0-200 percent).
class PictureSettings {
public:
    // "g_palette": a word of its choices, or the name of a palette file (192 bytes: the 64 colours as
    // RGB; 1536: those for each of the eight emphasis settings after one another). A file that cannot be
    // used is reported and the palette stays as it was; the file's name is kept as a console word.
    class PaletteVariable : public Console::ChoiceVariable {
    public:
        explicit PaletteVariable(PictureSettings& owner)
            : ChoiceVariable("g_palette", {"composite", "classic"}, "composite"), owner(owner) {}
        bool Execute(std::istream& arguments, std::ostream& out) override;
        void PrintUsage(std::ostream& out) override;

    private:
        PictureSettings& owner;
    };

    std::vector<Console::Function*> Functions() {
        return {&filterVariable, &paletteVariable, &hueVariable, &saturationVariable};
    }

    // The colours for the settings now (a file's as last read).
    std::shared_ptr<const Gfx::NesColourTable> Colours() const;
    // The filter for the settings now, for a picture shown `width` pixels wide; null for "none".
    std::shared_ptr<Gfx::PictureFilter> Filter(std::uint32_t width) const;
    // Whether the settings changed since the last call (true at the first).
    bool Changed();

    // Reads a palette file; false with the reason in `error`.
    static bool ReadPaletteFile(const std::string& path, Gfx::NesColourTable& colours, std::string& error);

    Console::ChoiceVariable filterVariable{"g_filter", {"none", "ntsc", "scanlines"}, "none"};
    PaletteVariable paletteVariable{*this};
    Console::Variable<unsigned int> hueVariable{"g_hue", 50, 0, 100};
    Console::Variable<unsigned int> saturationVariable{"g_saturation", 100, 0, 200};

private:
    Gfx::NtscSignal Signal() const;

    std::shared_ptr<const Gfx::NesColourTable> fileColours;
    // A file read again may hold new colours under the same name.
    std::uint64_t paletteReads = 0;
    std::string applied;
};

} // namespace Halvo
