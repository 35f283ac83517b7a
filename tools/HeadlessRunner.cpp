#include "HeadlessRunner.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>
#include <sys/resource.h>

#include "console/LineReader.h"
#include "console/RegularFile.h"
#include "console/StopRequest.h"
#include "console/System.h"
#include "gfx/MemoryNesCanvasBase.h"
#include "gfx/PngFile.h"
#include "nes/ButtonState.h"
#include "nes/Cartridges.h"
#include "nes/Joypad.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/Crc32.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/state/SaveState.h"
#include "shell/AtomicFile.h"
#include "shell/GameStart.h"
#include "shell/NsfPlayer.h"

namespace Halvo::Tools {

namespace {

// The most frames one line of an input script may hold its buttons for: an hour at 60 frames a second.
constexpr std::uint64_t MaxInputRange = 216000;

// No state comes near this; a larger file is not read at all.
constexpr std::uint64_t MaxStateFile = 16 * 1024 * 1024;

bool ParseNumber(const std::string& text, std::uint64_t& value) {
    std::string digits = text;
    int base = 10;
    if (!digits.empty() && digits[0] == '$') {
        digits.erase(0, 1);
        base = 16;
    } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 10) {
        return false;
    }
    std::size_t used = 0;
    try {
        value = std::stoull(digits, &used, base);
    } catch (const std::exception&) {
        return false;
    }
    return used == digits.size();
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// Prints what the console collected since the last call, oldest first, and forgets it.
void FlushConsole(Console::System& console, std::ostream& err) {
    for (auto line = console.lines.rbegin(); line != console.lines.rend(); ++line) {
        err << line->text << '\n';
    }
    console.lines.clear();
}

std::string Hex(std::uint32_t value, int width) {
    std::ostringstream text;
    text << std::uppercase << std::hex << std::setfill('0') << std::setw(width) << value;
    return text.str();
}

// Whether the file can be written, found by opening it to append (which changes nothing in a file that
// exists); a file made for the test is removed again.
bool CanWriteFile(const std::string& path) {
    std::error_code error;
    // A FIFO would block the run until someone reads it, and a device is no file to keep.
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return false;
    }
    const bool existed = std::filesystem::exists(status);
    const bool writable = std::ofstream(path, std::ios::app).is_open();
    if (writable && !existed) {
        std::filesystem::remove(path, error);
    }
    return writable;
}

std::uint64_t PeakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss);
}

} // namespace

bool ParseRunnerOptions(const std::vector<std::string>& arguments, RunnerOptions& options,
                        std::string& error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto next = [&](std::string& value) {
            if (i + 1 >= arguments.size()) {
                error = argument + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        std::string value;
        std::uint64_t number = 0;
        if (optionsEnded || argument.empty() || argument[0] != '-') {
            if (!options.romPath.empty()) {
                error = "only one ROM image can be run";
                return false;
            }
            options.romPath = argument;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
            return true;
        } else if (argument == "--version") {
            options.version = true;
            return true;
        } else if (argument == "--frames") {
            if (!next(value) || !ParseNumber(value, number) || number > 100'000'000) {
                error = error.empty() ? "--frames takes a number of frames" : error;
                return false;
            }
            options.frames = static_cast<std::uint32_t>(number);
            options.framesGiven = true;
        } else if (argument == "--track") {
            if (!next(value) || !ParseNumber(value, number) || number < 1 || number > 255) {
                error = error.empty() ? "--track takes a track number from 1 to 255" : error;
                return false;
            }
            options.track = static_cast<std::uint32_t>(number);
        } else if (argument == "--png" || argument == "--input" || argument == "--wav" ||
                   argument == "--video" || argument == "--save-dir" || argument == "--movie" ||
                   argument == "--record") {
            std::string& path = argument == "--png"      ? options.pngPath
                                : argument == "--input"  ? options.inputPath
                                : argument == "--wav"    ? options.wavPath
                                : argument == "--video"  ? options.videoPath
                                : argument == "--movie"  ? options.moviePath
                                : argument == "--record" ? options.recordPath
                                                         : options.saveDir;
            if (!next(path)) {
                return false;
            }
            if (path.empty()) {
                error = argument + " needs a file name";
                return false;
            }
        } else if (argument == "--region") {
            if (!next(value) || (value != "auto" && !Nes::RegionFromName(value))) {
                error = "--region takes auto, ntsc, pal or dendy";
                return false;
            }
            options.region = value;
        } else if (argument == "--fds-bios") {
            if (!next(options.diskBios) || options.diskBios.empty()) {
                error = "--fds-bios needs a file name";
                return false;
            }
        } else if (argument == "--peek") {
            RunnerOptions::Peek peek;
            std::string where;
            if (next(value)) {
                std::string lower = value;
                std::transform(lower.begin(), lower.end(), lower.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                where = value;
                if (lower.rfind("ppu:", 0) == 0 || lower.rfind("oam:", 0) == 0) {
                    peek.space = lower[0] == 'p' ? RunnerOptions::Peek::Ppu : RunnerOptions::Peek::Oam;
                    where = value.substr(4);
                }
            }
            const std::uint64_t most = peek.space == RunnerOptions::Peek::Cpu   ? 0xFFFF
                                       : peek.space == RunnerOptions::Peek::Ppu ? 0x3FFF
                                                                                : 0xFF;
            if (where.empty() || !ParseNumber(where, number) || number > most) {
                error = error.empty()
                            ? "--peek takes a CPU address from 0 to $FFFF, ppu:ADDR from 0 to $3FFF "
                              "or oam:N from 0 to 255"
                            : error;
                return false;
            }
            peek.address = static_cast<std::uint16_t>(number);
            options.peeks.push_back(peek);
        } else if (argument == "--trace" || argument == "--dump-ram") {
            std::string& path = argument == "--trace" ? options.tracePath : options.dumpRamPath;
            if (!next(path) || path.empty()) {
                error = argument + " needs a file name";
                return false;
            }
        } else if (argument == "--break") {
            if (!next(value) || !ParseNumber(value, number) || number > 0xFFFF) {
                error = error.empty() ? "--break takes a CPU address from 0 to $FFFF" : error;
                return false;
            }
            options.breaks.push_back(static_cast<std::uint16_t>(number));
        } else if (argument == "--crc-every") {
            if (!next(value) || !ParseNumber(value, number) || number == 0 || number > 0xFFFFFFFFu) {
                error = error.empty() ? "--crc-every takes a number of frames" : error;
                return false;
            }
            options.crcEvery = static_cast<std::uint32_t>(number);
        } else if (argument == "--save-state") {
            if (!next(value) || !ParseNumber(value, number) || number > 100'000'000 ||
                !next(options.saveStatePath) || options.saveStatePath.empty()) {
                error = "--save-state takes a frame number and a file name";
                return false;
            }
            options.saveStateFrame = static_cast<std::uint32_t>(number);
        } else if (argument == "--load-state") {
            if (!next(options.loadStatePath) || options.loadStatePath.empty()) {
                error = "--load-state needs a file name";
                return false;
            }
        } else if (argument == "--timing") {
            if (!next(value) || (value != "line" && value != "exact")) {
                error = "--timing takes line or exact";
                return false;
            }
            options.cpuKind = value == "exact" ? "Exact" : "Static";
        } else if (argument == "--runahead") {
            if (!next(value) || !ParseNumber(value, number) || number > RunAhead::MaxFrames) {
                error =
                    "--runahead takes a number of frames from 0 to " + std::to_string(RunAhead::MaxFrames);
                return false;
            }
            options.runAhead = static_cast<std::uint32_t>(number);
        } else if (argument == "--runahead-in-place") {
            options.runAheadInPlace = true;
        } else if (argument == "--text") {
            options.text = true;
        } else if (argument == "--result") {
            options.result = true;
        } else {
            error = "unknown option " + argument;
            return false;
        }
    }
    if (options.romPath.empty()) {
        error = "no ROM image given";
        return false;
    }
    if (!options.moviePath.empty() && (!options.inputPath.empty() || !options.loadStatePath.empty())) {
        error = "--movie gives the run's input and start: it cannot go with --input or --load-state";
        return false;
    }
    if (!options.saveStatePath.empty() && options.saveStateFrame > options.frames) {
        error = "--save-state names a frame after the last of --frames";
        return false;
    }
    return true;
}

std::string RunnerUsage() {
    return "Usage: halvo-run [OPTION]... [--] ROM\n"
           "Runs a NES cartridge image without a window and prints a summary line: frames, seconds,\n"
           "frames per second, the CRC-32 of the final picture and the peak memory.\n"
           "\n"
           "  --frames N      run N frames (60)\n"
           "  --track N       play track N of an NSF file\n"
           "  --png FILE      write the final picture (256 x 240) as PNG\n"
           "  --text          print the first name table as text\n"
           "  --peek ADDR     print the byte at a CPU address ($6000, 0x6000 or 24576), of the PPU's\n"
           "                  memory (ppu:$3F00) or of sprite memory (oam:0); repeatable\n"
           "  --input FILE    press buttons from lines \"FRAME BUTTON...\" (A B SELECT START UP DOWN\n"
           "                  LEFT RIGHT, held that frame; 2:A ... for joypad 2; RESET presses the\n"
           "                  console's button before it)\n"
           "  --movie FILE    play a movie (Halvo's own or an FCEUX .fm2 from power-on); the run ends\n"
           "                  with the movie, or after --frames if that comes first\n"
           "  --record FILE   write the run's input (--input, resets included) as a Halvo movie\n"
           "  --wav FILE      write the machine's sound as 16-bit PCM WAV at its own rate\n"
           "                  (223722 Hz, PAL 207826 Hz)\n"
           "  --video FILE    record the run's pictures (256 x 240) and sound: .mkv (FFV1 and FLAC)\n"
           "                  or .mp4 (H.264 and AAC), at the console's exact frame rate\n"
           "  --save-dir DIR  read and write battery saves (and Disk System disk saves) in DIR\n"
           "  --region R      the console: auto (from the image and its name), ntsc, pal or dendy\n"
           "  --fds-bios FILE the Famicom Disk System's BIOS (default: disksys.rom in\n"
           "                  $XDG_DATA_HOME/halvo)\n"
           "  --result        judge a test program's result and answer its requests for reset; the\n"
           "                  run ends as soon as the result is known (--frames is the limit)\n"
           "  --trace FILE    write a line per instruction (nestest's layout), from the reset vector\n"
           "  --break ADDR    end the run when the processor reaches ADDR and print the registers;\n"
           "                  repeatable\n"
           "  --dump-ram FILE write the 2 KiB of RAM at the end of the run\n"
           "  --crc-every N   print the picture's CRC-32 every N frames\n"
           "  --timing MODEL  line (the default: whole instructions, the PPU a tile at a time) or exact\n"
           "                  (every bus cycle and PPU dot)\n"
           "  --save-state FRAME FILE  write a save state after FRAME frames of the run\n"
           "  --load-state FILE        start from a save state, then run --frames more\n"
           "  --runahead N    show each frame N frames ahead (0-4), computed on a second machine\n"
           "  --runahead-in-place      run ahead on the machine itself, put back from a state\n"
           "  -h, --help      show this text and exit\n"
           "  --version       show the version and exit\n"
           "\n"
           "Exit codes: 0 pass (or a run without --result), 1 fail, 2 no result, 3 the file (or the state "
           "of\n"
           "--load-state, or the movie) could not be loaded or its board is not supported, 4 bad arguments.\n"
           "The manual: man halvo-run\n";
}

InputScript MovieScript(const Movie& movie) {
    InputScript script;
    for (std::uint32_t frame = 0; frame < movie.frames.size(); ++frame) {
        const MovieFrame& input = movie.frames[frame];
        const std::uint32_t buttons = input.pads[0] | std::uint32_t{input.pads[1]} << Pad2Shift |
                                      (input.commands & MovieFrame::SoftReset ? ResetButton : 0) |
                                      (input.commands & MovieFrame::HardReset ? PowerButton : 0);
        if (buttons != 0) {
            script.emplace_hint(script.end(), frame, buttons);
        }
    }
    return script;
}

bool ParseInputScript(std::istream& in, InputScript& buttons, std::string& error) {
    static const std::pair<const char*, std::uint32_t> names[] = {
        {"A", Nes::Joypad::ButtonA},
        {"B", Nes::Joypad::ButtonB},
        {"SELECT", Nes::Joypad::ButtonSelect},
        {"START", Nes::Joypad::ButtonStart},
        {"UP", Nes::Joypad::ButtonUp},
        {"DOWN", Nes::Joypad::ButtonDown},
        {"LEFT", Nes::Joypad::ButtonLeft},
        {"RIGHT", Nes::Joypad::ButtonRight},
        {"RESET", ResetButton},
    };
    Console::LineReader reader(in);
    std::string line;
    for (;;) {
        const Console::LineReader::Result read = reader.Next(line);
        const std::string lineNumber = std::to_string(reader.lineNumber);
        if (read == Console::LineReader::End) {
            return true;
        }
        if (read == Console::LineReader::LineTooLong) {
            error = "line " + lineNumber + ": longer than " + std::to_string(Console::MaxLineLength) +
                    " characters";
            return false;
        }
        if (read == Console::LineReader::ReadError) {
            error = "it could not be read";
            return false;
        }
        if (read == Console::LineReader::TooLarge) {
            error = "more than " + std::to_string(Console::MaxScriptBytes) + " bytes";
            return false;
        }
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word[0] == '#') {
            continue;
        }
        // A range "100-140" holds the buttons from the first frame to the last.
        std::uint64_t frame = 0;
        std::uint64_t last = 0;
        const std::size_t dash = word.find('-');
        if (!ParseNumber(word.substr(0, dash), frame) || frame > 0xFFFFFFFFu ||
            (dash != std::string::npos &&
             (!ParseNumber(word.substr(dash + 1), last) || last > 0xFFFFFFFFu))) {
            error = "line " + lineNumber + ": a frame number or a range of frames (100-140) comes first";
            return false;
        }
        if (dash == std::string::npos) {
            last = frame;
        }
        if (last < frame || last - frame >= MaxInputRange) {
            error = "line " + lineNumber + ": a range goes from its first frame to a later one, at most " +
                    std::to_string(MaxInputRange) + " frames";
            return false;
        }
        std::uint32_t held = 0;
        while (words >> word) {
            // "2:A" is a button of joypad 2, "1:A" (or plain "A") one of joypad 1.
            std::uint32_t shift = 0;
            std::string name = Upper(word);
            if (name.size() > 2 && (name[0] == '1' || name[0] == '2') && name[1] == ':') {
                shift = name[0] == '2' ? Pad2Shift : 0;
                name.erase(0, 2);
            }
            const auto button = std::find_if(std::begin(names), std::end(names),
                                             [&](const auto& entry) { return name == entry.first; });
            if (button == std::end(names) || (shift != 0 && button->second == ResetButton)) {
                error = "line " + lineNumber + ": unknown button " + word;
                return false;
            }
            held |= button->second == ResetButton ? ResetButton : button->second << shift;
        }
        for (std::uint64_t f = frame; f <= last; ++f) {
            buttons[static_cast<std::uint32_t>(f)] |= held;
        }
    }
}

std::string NameTableText(Nes::Ppu& ppu) {
    std::string text;
    for (std::uint32_t row = 0; row < 30; ++row) {
        for (std::uint32_t column = 0; column < 32; ++column) {
            const std::uint8_t tile = ppu.ReadVram(0x2000 + row * 32 + column);
            text += tile >= 0x20 && tile < 0x7F ? static_cast<char>(tile) : ' ';
        }
        text += '\n';
    }
    return text;
}

static std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

namespace {

// Test programs write their status block to $6000 whether or not the board has memory there (CNROM
// has none). On such a board the runner keeps a copy of what the processor writes to $6000-$7FFF:
// the program still reads open bus there, as on the console, and the judge reads the copy.
constexpr std::uint32_t ReportStart = 0x6000;
constexpr std::uint32_t ReportEnd = 0x8000;

struct ReportCopy {
    const Nes::Process* owner = nullptr;
    std::array<std::uint8_t, ReportEnd - ReportStart> bytes{};
};
ReportCopy reportCopy;

void WriteReportCopy(Nes::Process* process, std::uint32_t address, std::uint8_t value) {
    if (process == reportCopy.owner) {
        reportCopy.bytes[(address & 0xFFFF) - ReportStart] = value;
    }
}

bool KeepsReportCopy(const Nes::Process& process, std::uint32_t page) {
    return reportCopy.owner == &process && process.CpuWriteHandler(page) == &WriteReportCopy;
}

// A byte of the status block: the copy where the runner keeps one, else what the processor reads.
std::uint8_t ReportByte(Nes::Process& process, std::uint32_t address) {
    const std::uint32_t page = address >> Nes::Process::PageShift;
    return KeepsReportCopy(process, page) ? reportCopy.bytes[address - ReportStart]
                                          : process.CpuRead(address);
}

bool HasStatusBlock(Nes::Process& process) {
    return ReportByte(process, 0x6001) == 0xDE && ReportByte(process, 0x6002) == 0xB0 &&
           ReportByte(process, 0x6003) == 0x61;
}

// Programs that end by showing only a CRC-32 of what they measured, with the values their author
// documented for the console: more than one where the result depends on how the CPU and the PPU
// happened to align at power-on. Known by their PRG-ROM's checksum as the image keeps it.
struct DocumentedCrcs {
    std::uint32_t prgCrc;
    std::array<std::uint32_t, 4> accepted; // 0 past the last
};
constexpr std::array<DocumentedCrcs, 2> CrcPrograms{{
    // dmc_dma_during_read4/dma_2007_read: a DMC DMA during a $2007 read adds two or three reads.
    {0xD60624E8, {0x159A7A8F, 0x5E3DF9C4}},
    // dmc_dma_during_read4/double_2007_read: two $2007 reads on consecutive cycles.
    {0x5680C9FD, {0x85CFD627, 0xF018C287, 0x440EF923, 0xE52F41A5}},
}};

// The last word on screen when it is eight hex digits, as a number.
std::optional<std::uint32_t> CrcShownLast(const std::string& screen) {
    const std::size_t end = screen.find_last_not_of(" \n");
    if (end == std::string::npos || end < 7) {
        return std::nullopt;
    }
    const std::size_t start = end - 7;
    if (start > 0 && screen[start - 1] != ' ' && screen[start - 1] != '\n') {
        return std::nullopt;
    }
    for (std::size_t i = start; i <= end; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(screen[i]))) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(std::stoul(screen.substr(start, 8), nullptr, 16));
}

} // namespace

void HeadlessMachine::KeepReportCopy() {
    Nes::Process& machine = *process;
    if (reportCopy.owner != &machine) {
        reportCopy = {};
        reportCopy.owner = &machine;
    }
    for (std::uint32_t page = ReportStart >> Nes::Process::PageShift;
         page < ReportEnd >> Nes::Process::PageShift; ++page) {
        if (!machine.CpuWritePage(page) && machine.CpuWriteHandler(page) == &Nes::Process::WriteUnmapped) {
            machine.SetCpuWriteHandler(page, &WriteReportCopy);
        }
    }
}

TestResult JudgeTestResult(Nes::Process& process) {
    TestResult result;
    if (HasStatusBlock(process)) {
        result.protocol = "status at $6000";
        result.code = ReportByte(process, 0x6000);
        for (std::uint32_t address = 0x6004; address < 0x8000; ++address) {
            const std::uint8_t c = ReportByte(process, address);
            if (c == 0) {
                break;
            }
            result.text += static_cast<char>(c);
        }
        // $80: still running; $81: waiting for the reset button.
        const bool running = result.code == 0x80 || result.code == 0x81;
        result.verdict = running ? ExitUnknown : result.code == 0 ? ExitPass : ExitFail;
        return result;
    }
    const std::string screen = NameTableText(process.GetPpu());
    const std::uint32_t prgCrc = process.romImage ? process.romImage->prgCrc : 0;
    if (const auto program = std::find_if(CrcPrograms.begin(), CrcPrograms.end(),
                                          [&](const DocumentedCrcs& p) { return p.prgCrc == prgCrc; });
        program != CrcPrograms.end()) {
        if (const auto shown = CrcShownLast(screen)) {
            result.protocol = "CRC on screen, against its author's values";
            result.code = *shown;
            const bool documented = std::find(program->accepted.begin(), program->accepted.end(), *shown) !=
                                    program->accepted.end();
            result.verdict = documented ? ExitPass : ExitFail;
        }
        return result;
    }
    std::string lower = Lowercase(screen);
    if (lower.find("passed") == std::string::npos && lower.find("failed") == std::string::npos) {
        // Some programs' fonts start at the blank: their tiles are the characters less $20.
        std::string shifted;
        for (std::uint32_t address = 0x2000; address < 0x23C0; ++address) {
            const std::uint32_t c = process.GetPpu().ReadVram(address) + 0x20u;
            shifted += c < 0x7F ? static_cast<char>(c) : ' ';
        }
        lower = Lowercase(shifted);
    }
    const bool failed = lower.find("failed") != std::string::npos;
    if (failed || lower.find("passed") != std::string::npos) {
        // Some programs also leave their result code at $00F8 (1 when every check passed).
        result.protocol = "text on screen";
        result.verdict = failed ? ExitFail : ExitPass;
        if (process.Ram()[0xF8] != 0) {
            result.protocol = "text on screen, result code at $00F8";
            result.code = process.Ram()[0xF8];
        }
        return result;
    }
    // Older programs show only their result code on screen, as "$01".
    std::string shown;
    for (char c : screen) {
        if (c != ' ' && c != '\n') {
            shown += c;
        }
    }
    if (shown.size() == 3 && shown[0] == '$' && std::isxdigit(static_cast<unsigned char>(shown[1])) &&
        std::isxdigit(static_cast<unsigned char>(shown[2]))) {
        result.protocol = "result code on screen";
        result.code = static_cast<std::uint32_t>(std::stoul(shown.substr(1), nullptr, 16));
        result.verdict = result.code == 1 ? ExitPass : result.code == 0 ? ExitUnknown : ExitFail;
    }
    return result;
}

HeadlessMachine::HeadlessMachine()
    : console(Console::System::Instance()), formats(Nes::RomImageIOManager::Instance()),
      boards(Nes::MmcManager::Instance()) {
    console->echo = false;
    Nes::RegisterCartridgeSupport(*formats, *boards);
}

HeadlessMachine::~HeadlessMachine() {
    // The machines point into the image: they go first, and the debugger lets go of them before.
    debugger.Attach(nullptr);
    runAhead.Forget();
    process.Reset();
}

bool HeadlessMachine::Load(const std::string& romPath, const std::string& saveFolder) {
    batterySave.reset();
    debugger.Attach(nullptr);
    runAhead.Forget();
    process.Reset();
    Game game;
    if (Game::Build(*formats, romPath, game, settings) != Game::Outcome::Built) {
        return false;
    }
    canvas = Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
    game.Begin(saveFolder, Ref::Ptr<Gfx::NesCanvas>(canvas.Get()));
    image = std::move(game.image);
    process = std::move(game.machine);
    batterySave = std::move(game.battery);
    framesRun = 0;
    return true;
}

void HeadlessMachine::RunFrames(std::uint32_t count, const InputScript& buttons) {
    for (std::uint32_t i = 0; i < count && !Console::StopRequested(); ++i, ++framesRun) {
        MovieFrame ranWith;
        if (!buttons.empty()) {
            process->Buttons().Clear();
            if (const auto held = buttons.find(framesRun); held != buttons.end()) {
                if (held->second & PowerButton) {
                    process->Reset(true);
                    ranWith.commands = MovieFrame::HardReset;
                } else if (held->second & ResetButton) {
                    process->Reset(false);
                    ranWith.commands = MovieFrame::SoftReset;
                }
                process->Buttons().SetHeld(0, Nes::ButtonState::Keys,
                                           static_cast<std::uint8_t>(held->second));
                process->Buttons().SetHeld(1, Nes::ButtonState::Keys,
                                           static_cast<std::uint8_t>(held->second >> Pad2Shift));
            }
        }
        if (answerResetRequests) {
            // A program on a board without work RAM may ask on screen for the button once its
            // message has gone (cpu_reset turns the picture off and leaves the text in the name
            // table): it is pressed on the first frame without the message.
            const bool waits =
                process->GetPpu().RenderingEnabled() &&
                Lowercase(NameTableText(process->GetPpu())).find("press reset after") != std::string::npos;
            if (waits) {
                pressWhenMessageGoes = true;
            } else if (pressWhenMessageGoes) {
                pressWhenMessageGoes = false;
                process->Reset(false);
                ranWith.commands |= MovieFrame::SoftReset;
                ++resetsPressed;
            }
            // One press per request: a program that asks again after the press is asked anew.
            const bool asks = AsksForReset();
            if (asks && !requestSeen) {
                resetDue = framesRun + 10;
            }
            requestSeen = asks;
            if (resetDue == framesRun) {
                resetDue = -1;
                if (asks) {
                    process->Reset(false);
                    ranWith.commands |= MovieFrame::SoftReset;
                    ++resetsPressed;
                    requestSeen = false;
                }
            }
        }
        // After any reset above, which maps the pages anew.
        KeepReportCopy();
        if (recording) {
            const MovieFrame held = HeldFrame(process->Buttons());
            ranWith.pads[0] = held.pads[0];
            ranWith.pads[1] = held.pads[1];
            recording->frames.push_back(ranWith);
        }
        if (debugger.Machine() == process.Get() && debugger.Watching()) {
            if (debugger.RunFrame(!runAhead.On() || video) == Nes::Debugger::FrameResult::Stopped) {
                stoppedAtBreak = true;
                return;
            }
        } else {
            process->RunFrame(!runAhead.On() || video);
        }
        Record();
        runAhead.ShowAhead(*process);
    }
}

bool HeadlessMachine::AsksForReset() const {
    if (HasStatusBlock(*process)) {
        return ReportByte(*process, 0x6000) == 0x81;
    }
    return NameTableText(process->GetPpu()).find("Press RESET") != std::string::npos;
}

bool HeadlessMachine::RecordSound(const std::string& path, std::string& error) {
    // The machine's own samples, unresampled: they depend on nothing but the machine, so a run from a
    // save state records exactly the sound the run that saved it went on with. (A resampler's history
    // would be lost at the state.)
    wav = std::make_unique<Sound::WavFile>();
    if (!wav->Open(path, static_cast<std::uint32_t>(std::lround(process->GetApu().SampleRate())))) {
        error = wav->error;
        wav.reset();
        return false;
    }
    process->GetApu().SetSynthesis(true);
    return true;
}

bool HeadlessMachine::EndRecording(std::string& error) {
    if (!wav) {
        return true;
    }
    const bool written = wav->Close();
    error = wav->error;
    wav.reset();
    return written;
}

bool HeadlessMachine::RecordVideo(const std::string& path, std::string& error) {
    video = Recorder::Start(path, Recorder::Kind::Video, process->region, error);
    if (!video) {
        return false;
    }
    process->GetApu().SetSynthesis(true);
    return true;
}

bool HeadlessMachine::EndVideo(std::string& error) {
    if (!video) {
        error = videoFailure;
        return videoFailure.empty();
    }
    const bool written = video->Stop(error);
    video.reset();
    return written;
}

void HeadlessMachine::Record() {
    std::vector<float>& samples = process->GetApu().samples;
    if (wav) {
        wav->Write(samples);
    }
    // A recording whose writing failed ends at once; the run goes on and reports it at the end.
    if (video && !video->Frame(canvas.Get(), samples)) {
        video->Stop(videoFailure);
        video.reset();
    }
    samples.clear();
}

std::uint32_t HeadlessMachine::PictureCrc() const {
    const std::vector<std::uint8_t> picture = Picture();
    return ~Nes::Crc32::Of(picture.data(), picture.size());
}

std::size_t HeadlessMachine::PictureColours() const {
    const std::vector<std::uint8_t> picture = Picture();
    std::vector<std::uint32_t> colours;
    for (std::size_t i = 0; i + 2 < picture.size(); i += 3) {
        colours.push_back(
            static_cast<std::uint32_t>(picture[i] << 16 | picture[i + 1] << 8 | picture[i + 2]));
    }
    std::sort(colours.begin(), colours.end());
    return static_cast<std::size_t>(std::unique(colours.begin(), colours.end()) - colours.begin());
}

int RunHeadless(const RunnerOptions& options, std::ostream& out, std::ostream& err) {
    HeadlessMachine machine;
    InputScript input;
    if (!options.inputPath.empty()) {
        std::string contents;
        std::string error;
        if (const auto refusal =
                Console::ReadRegularFile(options.inputPath, Console::MaxScriptBytes, contents, error);
            refusal != Console::FileRefusal::None) {
            err << "halvo-run: cannot read the input script " << options.inputPath << ": " << error << '\n';
            return ExitBadArguments;
        }
        std::istringstream script(contents);
        if (!ParseInputScript(script, input, error)) {
            err << "halvo-run: " << options.inputPath << ", " << error << '\n';
            return ExitBadArguments;
        }
    }
    // A picture or state that cannot be written is found before the run, not after it.
    for (const std::string* path : {&options.pngPath, &options.saveStatePath, &options.dumpRamPath}) {
        if (!path->empty() && !CanWriteFile(*path)) {
            err << "halvo-run: cannot write " << *path << '\n';
            return ExitBadArguments;
        }
    }
    Movie movie;
    if (!options.moviePath.empty()) {
        if (std::string error; !ReadMovieFile(options.moviePath, movie, error)) {
            err << "halvo-run: cannot play the movie " << options.moviePath << ": " << error << '\n';
            return ExitNotLoaded;
        }
        input = MovieScript(movie);
    }
    // A movie is played on the console it was made on unless --region says otherwise.
    machine.settings.region =
        !options.moviePath.empty() && options.region == "auto" ? movie.region : options.region;
    machine.settings.diskBios = options.diskBios;
    machine.settings.cpuKind = options.cpuKind;
    if (!machine.Load(options.romPath, options.saveDir)) {
        FlushConsole(*machine.console, err);
        if (!machine.image) {
            err << "halvo-run: could not load " << options.romPath << '\n';
        }
        return ExitNotLoaded;
    }

    if (options.track != 0) {
        Nes::Nsf* board = NsfPlayer::Board(machine.process.Get());
        if (!board || options.track > board->Info().songCount) {
            err << "halvo-run: " << options.romPath
                << (board ? " has no track " : " is no NSF file for --track ") << options.track << '\n';
            return ExitBadArguments;
        }
        board->SelectTrack(options.track);
        machine.process->Reset(true);
    }
    if (!options.wavPath.empty()) {
        std::string error;
        if (!machine.RecordSound(options.wavPath, error)) {
            err << "halvo-run: cannot write " << options.wavPath << ": " << error << '\n';
            return ExitBadArguments;
        }
    }
    if (!options.videoPath.empty()) {
        std::string error;
        if (!machine.RecordVideo(options.videoPath, error)) {
            err << "halvo-run: cannot record " << options.videoPath << ": " << error << '\n';
            return ExitBadArguments;
        }
    }
    std::uint32_t frames = options.frames;
    if (!options.moviePath.empty()) {
        if (const std::string mismatch = movie.Mismatch(*machine.process); !mismatch.empty()) {
            err << "halvo-run: cannot play the movie " << options.moviePath << ": " << mismatch << '\n';
            return ExitNotLoaded;
        }
        frames = options.framesGiven
                     ? std::min<std::uint32_t>(frames, static_cast<std::uint32_t>(movie.frames.size()))
                     : static_cast<std::uint32_t>(movie.frames.size());
    }
    machine.answerResetRequests = options.result;
    machine.runAhead.frames.value = options.runAhead;
    machine.runAhead.instance.value = !options.runAheadInPlace;
    Movie recorded = Movie::For(*machine.process, options.romPath);
    if (!options.loadStatePath.empty() || !movie.startState.empty()) {
        std::string state(movie.startState.begin(), movie.startState.end());
        std::string error;
        if (movie.startState.empty()) {
            Console::ReadRegularFile(options.loadStatePath, MaxStateFile, state, error);
        }
        recorded.startState.assign(state.begin(), state.end());
        if (error.empty()) {
            Nes::SaveState::Load(*machine.process, reinterpret_cast<const std::uint8_t*>(state.data()),
                                 state.size(), error);
        }
        if (!error.empty()) {
            FlushConsole(*machine.console, err);
            err << "halvo-run: cannot load the state "
                << (movie.startState.empty() ? options.loadStatePath : "of the movie " + options.moviePath)
                << ": " << error << '\n';
            return ExitNotLoaded;
        }
    }

    for (const std::uint16_t address : options.breaks) {
        Nes::Breakpoint breakpoint;
        breakpoint.first = breakpoint.last = address;
        breakpoint.text = "$" + Hex(address, 4);
        machine.debugger.AddBreakpoint(std::move(breakpoint));
    }
    if (!options.breaks.empty() || !options.tracePath.empty()) {
        machine.debugger.Attach(machine.process.Get());
    }
    if (!options.tracePath.empty() && !machine.debugger.StartTrace(options.tracePath)) {
        err << "halvo-run: " << machine.debugOutput.str();
        return ExitBadArguments;
    }

    if (!options.recordPath.empty()) {
        if (!CanWriteFile(options.recordPath)) {
            err << "halvo-run: cannot write " << options.recordPath << '\n';
            return ExitBadArguments;
        }
        machine.recording = &recorded;
    }
    // The movie so far is kept whatever ends the run.
    const auto writeMovie = [&]() {
        if (std::string error; machine.recording && !WriteMovieFile(options.recordPath, recorded, error)) {
            err << "halvo-run: could not write " << options.recordPath << ": " << error << '\n';
            return false;
        }
        return true;
    };

    const auto start = std::chrono::steady_clock::now();
    if (!options.saveStatePath.empty()) {
        machine.RunFrames(options.saveStateFrame, input);
    }
    if (!options.saveStatePath.empty() && !Console::StopRequested()) {
        const std::vector<std::uint8_t> state = Nes::SaveState::Write(*machine.process);
        if (std::string error;
            !WriteFileAtomically(options.saveStatePath, state.data(), state.size(), error)) {
            err << "halvo-run: could not write " << options.saveStatePath << ": " << error << '\n';
            return ExitBadArguments;
        }
    }
    // Frame by frame: the picture's CRC-32 every N frames, a verdict as soon as there is one.
    while (machine.framesRun < frames && !Console::StopRequested() && !machine.stoppedAtBreak) {
        machine.RunFrames(1, input);
        if (machine.stoppedAtBreak) {
            break;
        }
        if (options.crcEvery != 0 && machine.framesRun % options.crcEvery == 0) {
            out << "frame " << machine.framesRun << ": picture CRC-32 " << Hex(machine.PictureCrc(), 8)
                << '\n';
        }
        if (options.result && JudgeTestResult(*machine.process).verdict != ExitUnknown) {
            break;
        }
    }
    if (machine.stoppedAtBreak) {
        out << "break at frame " << machine.framesRun << ": " << machine.debugger.StateLine() << '\n';
    }
    if (machine.debugger.Tracing()) {
        machine.debugger.StopTrace();
        const std::string said = machine.debugOutput.str();
        // The closing line counts the lines; only a failure is worth a word here.
        if (said.find("Could not") != std::string::npos) {
            err << "halvo-run: " << said;
            machine.debugger.Attach(nullptr);
            return ExitBadArguments;
        }
    }
    if (const int signal = Console::StopSignal()) {
        // The sound so far is kept, its header saying how much there is; a state not yet written is not.
        FlushConsole(*machine.console, err);
        std::string error;
        if (!machine.EndRecording(error)) {
            err << "halvo-run: could not write " << options.wavPath << ": " << error << '\n';
        }
        if (!machine.EndVideo(error)) {
            err << "halvo-run: could not write " << options.videoPath << ": " << error << '\n';
        }
        writeMovie();
        err << "halvo-run: ending on signal " << signal << " after " << machine.framesRun << " frames\n";
        return 128 + signal;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    FlushConsole(*machine.console, err);

    int exitCode = ExitPass;
    if (machine.batterySave && !machine.batterySave->Save()) {
        FlushConsole(*machine.console, err);
        exitCode = ExitBadArguments;
    }
    if (std::string error; !machine.EndRecording(error)) {
        err << "halvo-run: could not write " << options.wavPath << ": " << error << '\n';
        exitCode = ExitBadArguments;
    }
    if (std::string error; !machine.EndVideo(error)) {
        err << "halvo-run: could not write " << options.videoPath << ": " << error << '\n';
        exitCode = ExitBadArguments;
    }
    if (!writeMovie()) {
        exitCode = ExitBadArguments;
    }
    if (!options.pngPath.empty() && !Gfx::WritePng(options.pngPath, 256, 240, machine.Picture())) {
        err << "halvo-run: could not write " << options.pngPath << '\n';
        exitCode = ExitBadArguments;
    }
    Nes::Process& process = *machine.process;
    if (!options.dumpRamPath.empty()) {
        if (std::string error;
            !WriteFileAtomically(options.dumpRamPath, process.Ram().data(), process.Ram().size(), error)) {
            err << "halvo-run: could not write " << options.dumpRamPath << ": " << error << '\n';
            exitCode = ExitBadArguments;
        }
    }
    if (options.text) {
        out << NameTableText(process.GetPpu());
    }
    for (const RunnerOptions::Peek& peek : options.peeks) {
        switch (peek.space) {
        case RunnerOptions::Peek::Cpu:
            out << '$' << Hex(peek.address, 4) << ": $" << Hex(process.CpuRead(peek.address), 2) << '\n';
            break;
        case RunnerOptions::Peek::Ppu: {
            Nes::Ppu& ppu = process.GetPpu();
            std::uint32_t value = 0;
            if (peek.address >= Nes::Ppu::PaletteStart) {
                // $3F10, $3F14, $3F18 and $3F1C are the backdrop entries of the background palettes.
                std::uint32_t entry = peek.address & 0x1F;
                if ((entry & 0x13) == 0x10) {
                    entry &= 0x0F;
                }
                value = ppu.palette[entry];
            } else {
                value = ppu.ReadVram(peek.address);
            }
            out << "ppu:$" << Hex(peek.address, 4) << ": $" << Hex(value, 2) << '\n';
            break;
        }
        case RunnerOptions::Peek::Oam:
            out << "oam:" << peek.address << ": $" << Hex(process.GetPpu().oam[peek.address], 2) << '\n';
            break;
        }
    }
    if (options.result) {
        const TestResult result = JudgeTestResult(process);
        out << "result: "
            << (result.verdict == ExitPass   ? "pass"
                : result.verdict == ExitFail ? "fail"
                                             : "unknown");
        if (!result.protocol.empty()) {
            out << " (" << result.protocol;
            if (result.code != 0) {
                out << ", code " << result.code;
            }
            out << ')';
        }
        out << '\n';
        if (!result.text.empty()) {
            out << result.text << (result.text.back() == '\n' ? "" : "\n");
        }
        if (exitCode == ExitPass) {
            exitCode = result.verdict;
        }
    }
    const double framesPerSecond = seconds > 0 ? machine.framesRun / seconds : 0.0;
    out << "halvo-run: " << machine.framesRun << " frames in " << std::fixed << std::setprecision(3)
        << seconds << " s, " << std::setprecision(1) << framesPerSecond
        << " frames per second, picture CRC-32 " << Hex(machine.PictureCrc(), 8) << ", peak memory "
        << PeakMemoryKiB() << " KiB" << std::endl;
    return exitCode;
}

} // namespace Halvo::Tools
