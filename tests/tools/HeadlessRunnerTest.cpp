#include "HeadlessRunner.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include "nes/Joypad.h"
#include "support/ChildProgram.h"
#include "support/ConsoleCapture.h"
#include "support/RomBuilder.h"
#include "support/RunnerRun.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Tools::RunnerOptions;

TEST(RunnerOptions, ReadsEveryOptionAndRefusesWhatItCannotUse) {
    RunnerOptions options;
    std::string error;
    ASSERT_TRUE(Tools::ParseRunnerOptions({"game.nes", "--frames", "120", "--png", "out.png", "--text",
                                           "--peek", "$6000", "--peek", "0x00F8", "--peek", "16", "--input",
                                           "in.txt", "--result"},
                                          options, error));
    EXPECT_EQ(std::tie(options.romPath, options.frames, options.pngPath, options.inputPath),
              std::make_tuple("game.nes", 120u, "out.png", "in.txt"));
    EXPECT_TRUE(options.text && options.result);
    std::vector<std::uint16_t> peeked;
    for (const RunnerOptions::Peek& peek : options.peeks) {
        peeked.push_back(peek.address);
    }
    EXPECT_EQ(peeked, (std::vector<std::uint16_t>{0x6000, 0xF8, 16}));
    RunnerOptions debugging;
    ASSERT_TRUE(
        Tools::ParseRunnerOptions({"game.nes", "--peek", "ppu:$3F00", "--peek", "OAM:4", "--trace", "t.log",
                                   "--break", "$C000", "--dump-ram", "ram.bin", "--crc-every", "30"},
                                  debugging, error))
        << error;
    ASSERT_EQ(debugging.peeks.size(), 2u);
    EXPECT_EQ(std::tie(debugging.peeks[0].space, debugging.peeks[0].address),
              std::make_tuple(RunnerOptions::Peek::Ppu, std::uint16_t{0x3F00}));
    EXPECT_EQ(std::tie(debugging.peeks[1].space, debugging.peeks[1].address),
              std::make_tuple(RunnerOptions::Peek::Oam, std::uint16_t{4}));
    EXPECT_EQ(std::tie(debugging.tracePath, debugging.dumpRamPath, debugging.crcEvery),
              std::make_tuple("t.log", "ram.bin", 30u));
    EXPECT_EQ(debugging.breaks, std::vector<std::uint16_t>{0xC000});
    RunnerOptions dashed;
    ASSERT_TRUE(Tools::ParseRunnerOptions({"--frames", "2", "--", "-game.nes"}, dashed, error)) << error;
    EXPECT_EQ(std::tie(dashed.romPath, dashed.frames), std::make_tuple("-game.nes", 2u));
    RunnerOptions disk;
    ASSERT_TRUE(
        Tools::ParseRunnerOptions({"zelda.fds", "--region", "dendy", "--fds-bios", "bios.rom"}, disk, error));
    EXPECT_EQ(std::tie(disk.region, disk.diskBios), std::make_tuple("dendy", "bios.rom"));

    // clang-format off
    const std::vector<std::vector<std::string>> bad = {
        {}, {"a.nes", "b.nes"}, {"a.nes", "--frames"}, {"a.nes", "--frames", "x"}, {"a.nes", "--peek", "$10000"},
        {"a.nes", "--speed"}, {"a.nes", "--png", ""}, {"a.nes", "--input", ""},
        {"-game.nes"}, {"a.nes", "--", "--frames"}, {"a.nes", "--region", "secam"}, {"a.nes", "--fds-bios", ""},
        {"a.nes", "--peek", "ppu:$4000"}, {"a.nes", "--peek", "oam:256"}, {"a.nes", "--crc-every", "0"}};
    // clang-format on
    for (const auto& arguments : bad) {
        RunnerOptions ignored;
        error.clear();
        EXPECT_FALSE(Tools::ParseRunnerOptions(arguments, ignored, error)) << arguments.size();
        EXPECT_FALSE(error.empty());
    }
}

TEST(RunnerInput, HoldsTheButtonsOfEachFrame) {
    std::istringstream script("# comment\n\n10 start\n10 A\n12 UP left B Select\n13 reset\n14 2:start 1:A\n");
    Tools::InputScript buttons;
    std::string error;
    ASSERT_TRUE(Tools::ParseInputScript(script, buttons, error)) << error;
    using Nes::Joypad;
    EXPECT_EQ(buttons[10], Joypad::ButtonStart | Joypad::ButtonA);
    EXPECT_EQ(buttons[12], Joypad::ButtonUp | Joypad::ButtonLeft | Joypad::ButtonB | Joypad::ButtonSelect);
    EXPECT_EQ(buttons[13], Tools::ResetButton);
    EXPECT_EQ(buttons[14], Joypad::ButtonStart << Tools::Pad2Shift | Joypad::ButtonA);
    // A range holds its buttons on every frame from the first to the last, with the lines around it.
    std::istringstream ranges("20-22 2:b\n21 A\n");
    Tools::InputScript ranged;
    ASSERT_TRUE(Tools::ParseInputScript(ranges, ranged, error)) << error;
    EXPECT_EQ(ranged, (Tools::InputScript{{20, Joypad::ButtonB << Tools::Pad2Shift},
                                          {21, Joypad::ButtonB << Tools::Pad2Shift | Joypad::ButtonA},
                                          {22, Joypad::ButtonB << Tools::Pad2Shift}}));
    for (const char* bad : {"30-29 A\n", "1-999999999 A\n", "5- A\n"}) {
        std::istringstream backwards(bad);
        EXPECT_FALSE(Tools::ParseInputScript(backwards, ranged, error)) << bad;
    }
    std::istringstream padReset("3 2:RESET\n");
    EXPECT_FALSE(Tools::ParseInputScript(padReset, buttons, error));

    std::istringstream badButton("3 JUMP\n");
    EXPECT_FALSE(Tools::ParseInputScript(badButton, buttons, error));
    EXPECT_EQ(error, "line 1: unknown button JUMP");
    std::istringstream badFrame("A 3\n");
    EXPECT_FALSE(Tools::ParseInputScript(badFrame, buttons, error));

    // Endless or enormous input ends with a message, not with all of memory.
    std::istringstream longLine("1 A\n" + std::string(70000, ' ') + "\n");
    EXPECT_FALSE(Tools::ParseInputScript(longLine, buttons, error));
    EXPECT_EQ(error, "line 2: longer than 65536 characters");
    std::string comments;
    while (comments.size() <= 16 * 1024 * 1024) {
        comments += "# " + std::string(1000, 'x') + "\n";
    }
    std::istringstream huge(comments);
    EXPECT_FALSE(Tools::ParseInputScript(huge, buttons, error));
    EXPECT_EQ(error, "more than 16777216 bytes");
}

class Runner : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& arguments) { return TestSupport::RunRunner(arguments, out, err); }

    TestSupport::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(Runner, RunsAProgramAndReportsWhatWasAskedFor) {
    const std::string rom = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(rom);
    EXPECT_EQ(Run({rom, "--frames", "3", "--peek", "0x2002", "--png", dir.Path("shot.png").string()}), 0);
    EXPECT_NE(out.str().find("$2002: $"), std::string::npos);
    EXPECT_NE(out.str().find("halvo-run: 3 frames in "), std::string::npos);
    EXPECT_NE(out.str().find("picture CRC-32 "), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("shot.png")));
    EXPECT_EQ(err.str(), "");

    // Without a verdict on screen or in memory the result is unknown.
    EXPECT_EQ(Run({rom, "--frames", "1", "--result"}), Tools::ExitUnknown);
    EXPECT_NE(out.str().find("result: unknown"), std::string::npos);
}

// A test program on a board without work RAM (CNROM, NROM) still writes its status block to $6000: the
// judge reads what was written, the program itself reads open bus there, and $81 asks for the reset
// button rather than reporting a failure. This one passes on its second start.
TEST_F(Runner, JudgesAStatusBlockWrittenWhereNoMemoryAnswers) {
    TestSupport::RomBuilder rom;
    rom.program = {
        0x78, 0xE6, 0x20,                                           // SEI, INC $20 (the starts)
        0xA9, 0xDE, 0x8D, 0x01, 0x60, 0xA9, 0xB0, 0x8D, 0x02, 0x60, // the signature at $6001
        0xA9, 0x61, 0x8D, 0x03, 0x60,                               //
        0xAD, 0x01, 0x60, 0x85, 0x10,                               // LDA $6001, STA $10
        0xA9, 0x00, 0x8D, 0x04, 0x60,                               // no text
        0xA2, 0x81, 0xA5, 0x20, 0xC9, 0x02, 0x90, 0x02, 0xA2, 0x00, // $81 on the first start, else $00
        0x8E, 0x00, 0x60, 0x4C, 0x29, 0x80,                         // STX $6000, JMP to itself
    };
    const std::string path = dir.Path("status.nes").string();
    rom.Write(path);
    EXPECT_EQ(Run({path, "--result", "--frames", "100", "--peek", "$10", "--peek", "$20"}), Tools::ExitPass);
    EXPECT_NE(out.str().find("result: pass (status at $6000"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("$0020: $02"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("$0010: $DE"), std::string::npos) << out.str();
}

// What a CI job asks of a homebrew build: a trace from the reset vector, a stop at an address with the
// registers, the PPU's memory, the RAM as a file and the picture's CRC-32 along the way.
TEST_F(Runner, TracesBreaksAndDumpsForCi) {
    const std::string rom = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(rom);
    const std::string trace = dir.Path("trace.log").string();
    const std::string ram = dir.Path("ram.bin").string();
    EXPECT_EQ(Run({rom, "--frames", "5", "--trace", trace, "--break", "$8010", "--peek", "ppu:$3F00",
                   "--peek", "oam:0", "--dump-ram", ram}),
              0);
    EXPECT_NE(out.str().find("break at frame 0: 8010  E6 00     INC $00 = 00"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("ppu:$3F00: $16\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("oam:0: $"), std::string::npos) << out.str();
    EXPECT_EQ(std::filesystem::file_size(ram), 2048u);
    std::ifstream traced(trace);
    std::string first, line, last;
    std::getline(traced, first);
    int lines = 1;
    while (std::getline(traced, line)) {
        last = line;
        ++lines;
    }
    EXPECT_EQ(first.substr(0, 20), "8000  78        SEI ") << first;
    // SEI, two addresses and a colour written to the PPU: seven instructions before the stop.
    EXPECT_EQ(lines, 7);
    EXPECT_EQ(last.substr(0, 4), "800D") << last;

    EXPECT_EQ(Run({rom, "--frames", "4", "--crc-every", "2"}), 0);
    EXPECT_NE(out.str().find("frame 2: picture CRC-32 "), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("frame 4: picture CRC-32 "), std::string::npos) << out.str();
}

std::uint32_t WordAt(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{static_cast<std::uint8_t>(bytes[at + i])} << (8 * i);
    }
    return value;
}

// A program that counts its starts at $0020, plays a tone on pulse 1 and stores bit A of joypad 1 at
// $0010 and of joypad 2 at $0011 every pass: the script's buttons for both pads and its reset reach it,
// and --wav records the tone at the machine's own rate.
TEST_F(Runner, FeedsTheScriptAndRecordsTheSound) {
    TestSupport::RomBuilder rom;
    rom.program = {
        0xE6, 0x20,                   // INC $20
        0xA9, 0x01, 0x8D, 0x15, 0x40, // LDA #$01, STA $4015
        0xA9, 0xBF, 0x8D, 0x00, 0x40, // LDA #$BF, STA $4000: duty 50%, volume 15, halted
        0xA9, 0xFD, 0x8D, 0x02, 0x40, // LDA #$FD, STA $4002: about 440 Hz
        0xA9, 0x00, 0x8D, 0x03, 0x40, // LDA #$00, STA $4003
        0xA9, 0x01, 0x8D, 0x16, 0x40, // $8016: LDA #1, STA $4016 (strobe)
        0xA9, 0x00, 0x8D, 0x16, 0x40, // LDA #0, STA $4016
        0xAD, 0x16, 0x40, 0x29, 0x01, // LDA $4016, AND #1
        0x85, 0x10, 0xAD, 0x17, 0x40, // STA $10, LDA $4017
        0x29, 0x01, 0x85, 0x11,       // AND #1, STA $11
        0x4C, 0x16, 0x80,             // JMP $8016
    };
    const std::string path = dir.Path("tone.nes").string();
    rom.Write(path);
    const std::string input = dir.Write("input.txt", "2 A\n2 2:A\n5 RESET\n").string();
    EXPECT_EQ(Run({path, "--frames", "3", "--input", input, "--peek", "0x10", "--peek", "0x11"}), 0);
    EXPECT_NE(out.str().find("$0010: $01"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("$0011: $01"), std::string::npos) << out.str();
    const std::string wav = dir.Path("tone.wav").string();
    EXPECT_EQ(
        Run({path, "--frames", "60", "--input", input, "--peek", "0x20", "--peek", "0x10", "--wav", wav}), 0)
        << err.str();
    EXPECT_NE(out.str().find("$0020: $02"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("$0010: $00"), std::string::npos) << out.str();

    const std::string bytes = TestSupport::ReadFile(wav);
    ASSERT_GT(bytes.size(), 44u);
    const std::size_t samples = (bytes.size() - 44) / 2;
    EXPECT_EQ(WordAt(bytes, 24), 223722u); // the machine's own rate, 1789773 / 8
    EXPECT_NEAR(static_cast<double>(samples), 1789773 / 8.0 * 60 / 60.0988, 200);
    int peak = 0;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[44 + 2 * i]) |
                                                     static_cast<std::uint8_t>(bytes[45 + 2 * i]) << 8);
        peak = std::max(peak, std::abs(static_cast<int>(value)));
    }
    EXPECT_GT(peak, 2000);

    EXPECT_EQ(Run({path, "--wav", dir.Path("missing/x.wav").string()}), Tools::ExitBadArguments);
}

#ifdef HALVO_RUN_EXECUTABLE
// SIGTERM or SIGINT in the middle of a long run ends it between two frames with a WAV file whose header
// gives the sizes of the sound written so far.
TEST_F(Runner, ASignalEndsTheRunWithTheWavFinished) {
    TestSupport::RomBuilder rom;
    rom.program = {
        0xA9, 0x01, 0x8D, 0x15, 0x40, // LDA #$01, STA $4015
        0xA9, 0xBF, 0x8D, 0x00, 0x40, // LDA #$BF, STA $4000
        0xA9, 0xFD, 0x8D, 0x02, 0x40, // LDA #$FD, STA $4002
        0xA9, 0x00, 0x8D, 0x03, 0x40, // LDA #$00, STA $4003
        0x4C, 0x14, 0x80,             // JMP $8014
    };
    const std::string path = dir.Path("tone.nes").string();
    rom.Write(path);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const std::string wav = dir.Path("long" + std::to_string(signal) + ".wav").string();
        const pid_t pid =
            TestSupport::Spawn(HALVO_RUN_EXECUTABLE, {path, "--frames", "100000000", "--wav", wav});
        ASSERT_NE(pid, -1);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::error_code missing;
        while ((std::filesystem::file_size(wav, missing) < 100000 || missing) &&
               std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid, signal);
        int status = 0;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (std::chrono::steady_clock::now() > limit) {
                ADD_FAILURE() << "the run went on after the signal";
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << status;
        const std::string bytes = TestSupport::ReadFile(wav);
        ASSERT_GT(bytes.size(), 100044u);
        EXPECT_EQ(WordAt(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(WordAt(bytes, 40), bytes.size() - 44);
    }
}
#endif

// Files that cannot run end with exit code 3; arguments that cannot work are refused before the run
// with exit code 4, exactly one message and no summary.
TEST_F(Runner, RefusesFilesAndPathsItCannotUse) {
    const std::string rom = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(rom);
    const std::string garbage = dir.Write("garbage.nes", "this is not a cartridge").string();
    TestSupport::RomBuilder mapper15;
    mapper15.mapper = 15;
    mapper15.Write(dir.Path("mapper15.nes").string());
    const std::string folder = dir.Path().string();
    const std::string noFolder = dir.Path("no/such/folder.png").string();
    const std::string fifo = dir.Path("fifo.nes").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{dir.Path("missing.nes").string()}, Tools::ExitNotLoaded, "could not load"},
        {{garbage}, Tools::ExitNotLoaded, "] Error: Invalid iNES header."},
        {{dir.Path("mapper15.nes").string()}, Tools::ExitNotLoaded, "Unsupported iNES mapper number."},
        {{rom, "--input", folder},
         Tools::ExitBadArguments,
         "halvo-run: cannot read the input script " + folder + ": it is a directory\n"},
        {{rom, "--input", "/dev/zero"},
         Tools::ExitBadArguments,
         "halvo-run: cannot read the input script /dev/zero: it is not a file\n"},
        {{rom, "--input", "/proc/self/mem"},
         Tools::ExitBadArguments,
         "halvo-run: cannot read the input script /proc/self/mem: it could not be read\n"},
        // Endless, a folder, or a FIFO nobody writes to: refused at once, not read for ever or waited on.
        {{rom, "--load-state", "/dev/zero"},
         Tools::ExitNotLoaded,
         "halvo-run: cannot load the state /dev/zero: it is not a file\n"},
        {{rom, "--load-state", folder},
         Tools::ExitNotLoaded,
         "halvo-run: cannot load the state " + folder + ": it is a directory\n"},
        {{rom, "--load-state", fifo},
         Tools::ExitNotLoaded,
         "halvo-run: cannot load the state " + fifo + ": it is not a file\n"},
        {{fifo}, Tools::ExitNotLoaded, "] Error: Not a regular file (a FIFO, device or socket): " + fifo},
        {{rom, "--png", noFolder}, Tools::ExitBadArguments, "halvo-run: cannot write " + noFolder + "\n"},
        {{rom, "--png", folder}, Tools::ExitBadArguments, "halvo-run: cannot write " + folder + "\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.arguments), c.exitCode) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        if (c.exitCode == Tools::ExitBadArguments) {
            EXPECT_EQ(err.str(), c.message);
            EXPECT_EQ(out.str(), "");
        }
    }
    // A picture that can be written is not left behind by the check when the run then fails.
    EXPECT_EQ(Run({dir.Path("missing.nes").string(), "--png", dir.Path("shot.png").string()}),
              Tools::ExitNotLoaded);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("shot.png")));
}

} // namespace
} // namespace Halvo
