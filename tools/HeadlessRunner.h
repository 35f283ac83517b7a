#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "console/System.h"
#include "gfx/MemoryNesCanvasBase.h"
#include "nes/ButtonState.h"
#include "nes/Process.h"
#include "nes/debug/Debugger.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImageIOManager.h"
#include "shell/BatterySave.h"
#include "shell/GameStart.h"
#include "shell/Movie.h"
#include "shell/Recorder.h"
#include "shell/RunAhead.h"
#include "sound/WavFile.h"

namespace Halvo::Tools {

// Exit codes of halvo-run.
enum RunnerExit : int {
    ExitPass = 0,      // also: a run without --result that went well
    ExitFail = 1,      // --result: the program reported a failure
    ExitUnknown = 2,   // --result: no result protocol answered, or the program is still running
    ExitNotLoaded = 3, // the file could not be loaded or its board is not supported
    ExitBadArguments = 4,
};

struct RunnerOptions {
    std::string romPath;
    std::uint32_t frames = 60;
    bool framesGiven = false;
    std::uint32_t track = 0; // --track N: an NSF file's track N (0: the file's first)
    std::string pngPath;
    bool text = false;
    // --peek ADDR, ppu:ADDR (the PPU's memory, palette included) or oam:N, in the order given.
    struct Peek {
        enum Space : std::uint8_t { Cpu, Ppu, Oam } space = Cpu;
        std::uint16_t address = 0;
    };
    std::vector<Peek> peeks;
    std::string tracePath;             // --trace FILE: a line per instruction from the first one
    std::string dumpRamPath;           // --dump-ram FILE: the 2 KiB of RAM at the end
    std::vector<std::uint16_t> breaks; // --break ADDR: the run ends when the processor gets there
    std::uint32_t crcEvery = 0;        // --crc-every N: the picture CRC-32 every N frames
    std::string inputPath;
    // --movie FILE: the input of a movie (Halvo's or an .fm2), its length the run's unless --frames is
    // shorter; --record FILE: the run's input written as a Halvo movie.
    std::string moviePath;
    std::string recordPath;
    std::string wavPath;
    std::string videoPath; // --video FILE: the whole run's pictures and sound (.mkv or .mp4)
    std::string saveDir;
    std::string region = "auto"; // --region auto|ntsc|pal|dendy
    std::string diskBios;        // --fds-bios FILE
    bool result = false;
    // --save-state FRAME FILE: a state written after FRAME frames; --load-state FILE: the run starts there.
    std::uint32_t saveStateFrame = 0;
    std::string saveStatePath;
    std::string loadStatePath;
    // --timing line|exact: the processor kind the machine is built with.
    std::string cpuKind = "Static";
    // --runahead N: each picture is the one N frames ahead (0-4), on a second machine unless
    // --runahead-in-place.
    std::uint32_t runAhead = 0;
    bool runAheadInPlace = false;
    bool help = false;    // --help or -h: the usage on standard output, nothing run
    bool version = false; // --version
};

// The buttons of each frame of an input script: joypad 1's bits, joypad 2's shifted by Pad2Shift, and
// the console's reset button.
constexpr std::uint32_t Pad2Shift = 8;
constexpr std::uint32_t ResetButton = 0x10000;
// A movie's power cycle before a frame.
constexpr std::uint32_t PowerButton = 0x20000;
using InputScript = std::map<std::uint32_t, std::uint32_t>;

// Reads the command line (without the program name); false with a message for anything it cannot use.
// "--help" or "--version" ends the reading with success and no ROM needed; after "--" a ROM whose name
// begins with "-" may follow.
bool ParseRunnerOptions(const std::vector<std::string>& arguments, RunnerOptions& options,
                        std::string& error);

// The usage text of halvo-run, ending with a newline.
std::string RunnerUsage();

// A movie's frames as an input script.
InputScript MovieScript(const Movie& movie);

// Reads an input script: lines "FRAME BUTTON..." or "FIRST-LAST BUTTON..." (frames counted from 0; buttons
// A B SELECT START UP DOWN LEFT RIGHT, in any case, of joypad 1 or with "2:" of joypad 2, and RESET, the
// console's button, pressed before that frame), blank lines
// and lines starting with "#" ignored. The buttons of a frame are held during that frame only. Gives the
// joypad bits of each frame that has any. A line longer than 64 KiB or a script larger than 16 MiB is refused
// (an endless input ends, too).
bool ParseInputScript(std::istream& in, InputScript& buttons, std::string& error);

// The first name table as 30 lines of 32 characters, tile numbers taken as character codes and
// anything unprintable shown as a space.
std::string NameTableText(Nes::Ppu& ppu);

// How a test program says it has finished, and with what.
struct TestResult {
    RunnerExit verdict = ExitUnknown;
    std::string protocol; // which protocol answered
    std::uint32_t code = 0;
    std::string text; // the message the program left, where the protocol has one
};

// Judges the result protocols of the test programs: the status block at $6000 (signature $DE $B0 $61
// at $6001; on a board without memory there, what a HeadlessMachine saw written), a CRC-32 shown last
// on screen by a program whose author documented the right values, "passed" or "failed" in the first
// name table (in any case; the code at $00F8 with it), or a result code shown alone on screen ("$01").
// A program none of them answers for is "unknown".
TestResult JudgeTestResult(Nes::Process& process);

// One machine without a window: the cartridge support registered, an image loaded, its process
// drawing into a 32-bit canvas in memory, and a joypad fed from a script.
class HeadlessMachine {
public:
    HeadlessMachine();
    ~HeadlessMachine();
    HeadlessMachine(const HeadlessMachine&) = delete;
    HeadlessMachine& operator=(const HeadlessMachine&) = delete;

    // Loads the image and builds its machine, hard-reset; false when either fails (the console has
    // the reports). With a save folder, a cartridge with a battery starts from its save there.
    // `settings` (the region, the disk BIOS, the timing model) apply to the machine it builds.
    bool Load(const std::string& romPath, const std::string& saveFolder = "");
    // Runs frames, holding during each frame the buttons the script gives for it (frames counted from
    // the first frame this machine ran). With `answerResetRequests`, a test program that asks for the
    // reset button gets it 10 frames later, as a person would press it.
    void RunFrames(std::uint32_t count, const InputScript& buttons = {});
    // The sound of the frames run from now on goes to a 16-bit WAV file at the machine's own sample
    // rate; false (with the reason in `error`) when the file cannot be made.
    bool RecordSound(const std::string& path, std::string& error);
    // Ends the recording; false when the file could not be finished.
    bool EndRecording(std::string& error);
    // The pictures and sound of the frames run from now on go to a video file (every frame is drawn
    // for it, the machine's own also under run-ahead); false with the reason in `error`.
    bool RecordVideo(const std::string& path, std::string& error);
    // Finishes the video; false (with the reason) when it could not be written.
    bool EndVideo(std::string& error);
    // The picture of the last frame, 256 x 240 8-bit RGB.
    std::vector<std::uint8_t> Picture() const { return canvas->GetPicture(); }
    // The standard CRC-32 of the picture.
    std::uint32_t PictureCrc() const;
    // How many different colours the picture has.
    std::size_t PictureColours() const;

    // The region and Disk System BIOS the next Load builds its machine with.
    GameSettings settings;
    Ref::Ptr<Console::System> console;
    Ref::Ptr<Nes::RomImageIOManager> formats;
    Ref::Ptr<Nes::MmcManager> boards;
    std::unique_ptr<Nes::RomImage> image;
    Ref::Ptr<Nes::Process> process;
    Ref::Ptr<Gfx::MemoryNesCanvasBase> canvas;
    std::uint32_t framesRun = 0;
    std::unique_ptr<BatterySave> batterySave;
    bool answerResetRequests = false;
    // When set, each frame run adds the input it ran with, resets included.
    Movie* recording = nullptr;
    // A request on screen that wants the button once its message has gone.
    bool pressWhenMessageGoes = false;
    std::uint32_t resetsPressed = 0;
    // Pictures from frames ahead, as the windowed program shows them; the sound stays the machine's own.
    RunAhead runAhead;
    // Watches the processor for --trace and --break; it says what it does on `debugOutput`.
    std::ostringstream debugOutput;
    Nes::Debugger debugger{debugOutput};
    // A break stopped the run inside a frame.
    bool stoppedAtBreak = false;

private:
    // Whether the program shows that it waits for the reset button: $81 in the status block at $6000,
    // or "Press RESET" on screen for builds without work RAM.
    bool AsksForReset() const;
    // Has the processor's writes to $6000-$7FFF copied for the judge on a board without memory there.
    void KeepReportCopy();
    void Record();

    std::unique_ptr<Sound::WavFile> wav;
    std::unique_ptr<Recorder> video;
    std::string videoFailure;
    std::int64_t resetDue = -1;
    bool requestSeen = false;
};

// The whole run: load, build the machine, run the frames, print what was asked for and the summary
// line on `out`, console reports on `err`. Returns the exit code.
int RunHeadless(const RunnerOptions& options, std::ostream& out, std::ostream& err);

} // namespace Halvo::Tools
