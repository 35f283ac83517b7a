#include "shell/RomFunctions.h"

#include "console/ReadToken.h"
#include "shell/HalvoShell.h"

namespace Halvo::Nes {

bool LoadRomImage::Execute(std::istream& arguments, std::ostream&) {
    std::string fileName;
    if (Console::ReadToken(arguments, fileName) == Console::NoToken) {
        shell->ChooseRom();
        return true;
    }
    shell->LoadAndPlay(fileName);
    return true;
}

void LoadRomImage::PrintUsage(std::ostream& out) {
    out << "Loads in a NES ROM image file and instantiates a NES process; without a file name, opens a file "
           "chooser.\n"
        << "usage: loadrom [\"<filename>\"]" << std::endl;
}

bool UnloadRomImage::Execute(std::istream&, std::ostream&) {
    shell->NesUnloadRomImage();
    return true;
}

void UnloadRomImage::PrintUsage(std::ostream& out) {
    out << "Unloads the current NES process if there is one.\n"
        << "usage: unloadrom" << std::endl;
}

bool Reset::Execute(std::istream& arguments, std::ostream&) {
    std::string word;
    bool hard = true;
    if (arguments >> word) {
        if (word == "soft") {
            hard = false;
        } else if (word != "hard") {
            return false;
        }
    }
    shell->NesReset(hard);
    return true;
}

void Reset::PrintUsage(std::ostream& out) {
    out << "Resets the current NES process.\n"
        << "usage: reset {hard|soft}" << std::endl;
}

} // namespace Halvo::Nes

namespace Halvo {

bool QuitFunction::Execute(std::istream&, std::ostream&) {
    shell->RequestQuit(0);
    return true;
}

void QuitFunction::PrintUsage(std::ostream& out) {
    out << "Ends the program.\n"
        << "usage: quit" << std::endl;
}

bool ScreenshotFunction::Execute(std::istream& arguments, std::ostream&) {
    std::string fileName;
    Console::ReadToken(arguments, fileName);
    // "raw" first asks for the game's own frame; a file of that name is ./raw.
    const bool raw = fileName == "raw";
    if (raw) {
        fileName.clear();
        Console::ReadToken(arguments, fileName);
    }
    shell->RequestScreenshot(fileName, raw);
    return true;
}

bool StatsFunction::Execute(std::istream&, std::ostream& out) {
    out << shell->StatsLine() << std::endl;
    return true;
}

void StatsFunction::PrintUsage(std::ostream& out) {
    out << "Frames emulated and shown per second over the last 5 seconds of play, the audio buffer and its "
           "underruns.\n"
        << "usage: stats" << std::endl;
}

void ScreenshotFunction::PrintUsage(std::ostream& out) {
    out << "Writes the next frame shown as a PNG file (halvo-NNNN.png unless a name is given); raw writes "
           "the "
           "game's own 256 x 240 frame.\n"
        << "usage: screenshot [raw] [\"<filename>\"]" << std::endl;
}

} // namespace Halvo
