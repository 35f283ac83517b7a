#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/Joypad.h"
#include "nes/state/SaveState.h"
#include "shell/MovieFunctions.h"
#include "shell/StateFunctions.h"
#include "support/RomBuilder.h"
#include "support/RunnerRun.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Nes::Joypad;

// Counts its starts at $0020 and plays a tone; every pass strobes the pads and keeps bit A of joypad 1 at
// $0010 (and OR-ed into $0012 for good), of joypad 2 at $0011.
TestSupport::RomBuilder PadProgram() {
    TestSupport::RomBuilder rom;
    rom.program = {
        0xE6, 0x20,                   // INC $20
        0xA9, 0x01, 0x8D, 0x15, 0x40, // LDA #$01, STA $4015
        0xA9, 0xBF, 0x8D, 0x00, 0x40, // LDA #$BF, STA $4000
        0xA9, 0xFD, 0x8D, 0x02, 0x40, // LDA #$FD, STA $4002
        0xA9, 0x00, 0x8D, 0x03, 0x40, // LDA #$00, STA $4003
        0xA9, 0x01, 0x8D, 0x16, 0x40, // $8016: LDA #1, STA $4016
        0xA9, 0x00, 0x8D, 0x16, 0x40, // LDA #0, STA $4016
        0xAD, 0x16, 0x40, 0x29, 0x01, // LDA $4016, AND #1
        0x85, 0x10, 0x05, 0x12, 0x85, // STA $10, ORA $12, STA $12
        0x12, 0xAD, 0x17, 0x40, 0x29, // LDA $4017, AND #1
        0x01, 0x85, 0x11,             // STA $11
        0x4C, 0x16, 0x80,             // JMP $8016
    };
    return rom;
}

class MovieRunner : public ::testing::Test {
protected:
    int Run(const std::vector<std::string>& arguments) { return TestSupport::RunRunner(arguments, out, err); }
    // What a run printed, without the time it took.
    std::string Printed() const {
        const std::string text = out.str();
        const std::size_t summary = text.find("halvo-run: ");
        const std::size_t crc = text.find("picture CRC-32", summary);
        return text.substr(0, summary) + text.substr(crc, 24);
    }

    TestSupport::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
};

// A run recorded from an input script replays from its movie to the same pictures, memory and sound,
// resets and both pads included, and for as long as it was recorded.
TEST_F(MovieRunner, ARecordedRunReplaysToTheSamePicturesAndSound) {
    const std::string rom = dir.Path("pad.nes").string();
    PadProgram().Write(rom);
    const std::string input = dir.Write("input.txt", "3-4 A\n7 2:A\n9 RESET\n12 UP DOWN\n").string();
    const std::string movie = dir.Path("run.hmv").string();
    const std::vector<std::string> shown = {"--crc-every", "5",    "--peek", "0x12",
                                            "--peek",      "0x11", "--peek", "0x20"};
    std::vector<std::string> recording = {
        rom, "--frames", "40", "--input", input, "--record", movie, "--wav", dir.Path("a.wav").string()};
    recording.insert(recording.end(), shown.begin(), shown.end());
    ASSERT_EQ(Run(recording), Tools::ExitPass) << err.str();
    const std::string recorded = Printed();
    EXPECT_NE(recorded.find("$0012: $01"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("$0020: $02"), std::string::npos) << recorded;

    const std::string text = TestSupport::ReadFile(movie);
    EXPECT_EQ(text.substr(0, 14), "halvo-movie 1\n");
    EXPECT_NE(text.find("\nframes 40\n"), std::string::npos);
    EXPECT_NE(text.find("|0|.......A|........|\n|0|.......A|"), std::string::npos) << text;
    EXPECT_NE(text.find("|0|........|.......A|"), std::string::npos);
    EXPECT_NE(text.find("|1|........|........|"), std::string::npos);
    // The pad cannot hold Up and Down at once: the movie keeps what the game saw.
    EXPECT_NE(text.find("|0|...U....|........|"), std::string::npos);

    // Without --frames the movie's length is the run's.
    std::vector<std::string> playing = {rom, "--movie", movie, "--wav", dir.Path("b.wav").string()};
    playing.insert(playing.end(), shown.begin(), shown.end());
    ASSERT_EQ(Run(playing), Tools::ExitPass) << err.str();
    EXPECT_EQ(Printed(), recorded);
    EXPECT_NE(out.str().find("halvo-run: 40 frames"), std::string::npos);
    EXPECT_EQ(TestSupport::ReadFile(dir.Path("b.wav")), TestSupport::ReadFile(dir.Path("a.wav")));
    // A longer --frames still ends with the movie; a shorter one ends first.
    EXPECT_EQ(Run({rom, "--movie", movie, "--frames", "90"}), Tools::ExitPass);
    EXPECT_NE(out.str().find("halvo-run: 40 frames"), std::string::npos);
    EXPECT_EQ(Run({rom, "--movie", movie, "--frames", "8", "--peek", "0x20"}), Tools::ExitPass);
    EXPECT_NE(out.str().find("$0020: $01"), std::string::npos) << out.str();

    // A run from a state records a movie that holds the state and starts where it does.
    const std::string state = dir.Path("at20.state").string();
    ASSERT_EQ(Run({rom, "--frames", "20", "--input", input, "--save-state", "20", state}), Tools::ExitPass);
    const std::string fromState = dir.Path("from-state.hmv").string();
    ASSERT_EQ(Run({rom, "--load-state", state, "--frames", "10", "--record", fromState, "--peek", "0x20"}),
              Tools::ExitPass);
    const std::string resumed = Printed();
    EXPECT_NE(TestSupport::ReadFile(fromState).find("\nstart state\nstate 48414C564F535441"),
              std::string::npos);
    ASSERT_EQ(Run({rom, "--movie", fromState, "--peek", "0x20"}), Tools::ExitPass) << err.str();
    EXPECT_EQ(Printed(), resumed);
}

// Movies that cannot play say why, and the run does not start.
TEST_F(MovieRunner, RefusesMoviesOfOtherGamesAndBrokenFiles) {
    const std::string rom = dir.Path("pad.nes").string();
    PadProgram().Write(rom);
    const std::string other = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(other);
    const std::string movie = dir.Path("run.hmv").string();
    ASSERT_EQ(Run({rom, "--frames", "3", "--record", movie}), Tools::ExitPass);
    const std::string text = TestSupport::ReadFile(movie);

    EXPECT_EQ(Run({other, "--movie", movie}), Tools::ExitNotLoaded);
    EXPECT_NE(err.str().find("cannot play the movie " + movie + ": it was made with another game (pad.nes, "),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({rom, "--movie", movie, "--timing", "exact"}), Tools::ExitNotLoaded);
    EXPECT_NE(err.str().find("it was made with the \"line\" timing model; this game runs with \"exact\""),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({rom, "--movie", movie, "--region", "pal"}), Tools::ExitNotLoaded);
    EXPECT_NE(err.str().find("it was made on a ntsc console; this game runs as pal"), std::string::npos)
        << err.str();

    const auto refusal = [&](const std::string& contents) {
        dir.Write("bad.hmv", contents);
        EXPECT_EQ(Run({rom, "--movie", dir.Path("bad.hmv").string()}), Tools::ExitNotLoaded);
        const std::string said = err.str();
        return said.substr(said.find(": ", 10) + 2);
    };
    EXPECT_EQ(refusal(text.substr(0, text.size() - 10)), "it is truncated: its last frame line breaks off\n");
    EXPECT_EQ(refusal(text.substr(0, text.size() - 22)), "it is truncated: it says 3 frames and holds 2\n");
    EXPECT_EQ(refusal(text.substr(0, 60)), "it is truncated: it has no \"frames\" line\n");
    std::string garbage = text;
    garbage.replace(garbage.rfind("|0|"), 21, "|0|..x.....|........|");
    EXPECT_EQ(refusal(garbage),
              "line 13 is no frame (\"|0|RLDUTSBA|RLDUTSBA|\"): \"|0|..x.....|........|\"\n");
    std::string unknown = text;
    unknown.insert(unknown.find("rerecords"), "speed 2\n");
    EXPECT_EQ(refusal(unknown), "line 8 is not part of a movie: \"speed 2\"\n");
    EXPECT_EQ(refusal("halvo-movie 9\n"),
              "it was made by a newer version of Halvo (movie format 9; this one reads format 1)\n");
    EXPECT_EQ(refusal("\x7f"
                      "ELF"),
              "it is not a movie\n");
}

TEST(Fm2Movie, ReadsTextMoviesFromPowerOnAndRefusesWhatItCannotPlay) {
    const std::string header = "version 3\nemuVersion 22020\nrerecordCount 7\npalFlag 0\nromFilename game\n"
                               "romChecksum base64:kPo1E0oOR5BdhRx5f6wlDw==\nguid 8D0F1D76-7A5C-4A4B\n"
                               "fourscore 0\nmicrophone 0\nport0 1\nport1 1\nport2 0\nFDS 0\nNewPPU 0\n"
                               "comment author someone\n";
    Movie movie;
    std::string error;
    ASSERT_TRUE(Movie::Parse(
        header + "|0|........|........||\r\n|1|R..U.S.A|  D   B ||\n|2|........|........||\n", movie, error))
        << error;
    ASSERT_EQ(movie.frames.size(), 3u);
    EXPECT_EQ(movie.frames[1].commands, MovieFrame::SoftReset);
    EXPECT_EQ(movie.frames[1].pads[0],
              Joypad::ButtonRight | Joypad::ButtonUp | Joypad::ButtonSelect | Joypad::ButtonA);
    EXPECT_EQ(movie.frames[1].pads[1], Joypad::ButtonDown | Joypad::ButtonB);
    EXPECT_EQ(movie.frames[2].commands, MovieFrame::HardReset);
    EXPECT_EQ(movie.rerecords, 7u);
    EXPECT_FALSE(movie.romKnown);
    EXPECT_EQ(movie.region, "ntsc");
    ASSERT_TRUE(
        Movie::Parse("version 3\npalFlag 1\nport0 1\nport1 0\nport2 0\n|0|.......A|||\n", movie, error));
    EXPECT_EQ(movie.region, "pal");
    EXPECT_EQ(movie.frames[0].pads[0], Joypad::ButtonA);

    const std::pair<std::string, std::string> refused[] = {
        {"binary 1\n", "line 16 says the input is binary; only text .fm2 movies play"},
        {"savestate 0x0123\n",
         "line 16 says the movie starts from a save state; only movies from power-on play"},
        {"fourscore 1\n", "line 16 says a Four Score was used; only two standard pads play"},
        {"port1 2\n", "port 1 holds a device other than a pad"},
        {"|4|........|........||\n",
         "line 16 gives a command other than a reset (Disk System or VS buttons), "
         "which does not play"},
        {"|0|.....|........||\n", "line 16 is no frame (\"|0|RLDUTSBA|RLDUTSBA||\")"},
    };
    for (const auto& [line, reason] : refused) {
        EXPECT_FALSE(Movie::Parse(header + line, movie, error)) << line;
        EXPECT_EQ(error, reason);
    }
    EXPECT_FALSE(Movie::Parse("version 2\n", movie, error));
    EXPECT_EQ(error, "line 1 names an .fm2 version other than 3");
}

// An .fm2 made for a test program plays to the picture the same input as a script gives, frame for frame.
TEST_F(MovieRunner, AnFm2PlaysAsItsInputScriptDoes) {
    const std::filesystem::path rom = std::filesystem::path(HALVO_TESTROMS_DIR) / "games" / "nes15-NTSC.nes";
    if (!std::filesystem::exists(rom)) {
        GTEST_SKIP() << rom << " is not there: the test programs of ../shared/testroms are needed";
    }
    // Start, then a few moves of the puzzle, a soft reset and a move after it.
    const std::string script = dir.Write("moves.txt", "30-33 START\n60-62 RIGHT\n80-82 DOWN\n100 A\n"
                                                      "120 RESET\n160-162 LEFT\n")
                                   .string();
    std::string fm2 = "version 3\r\nemuVersion 22020\r\nrerecordCount 0\r\npalFlag 0\r\n"
                      "romFilename nes15-NTSC\r\nromChecksum base64:AAAAAAAAAAAAAAAAAAAAAA==\r\n"
                      "guid 00000000-0000-0000-0000-000000000000\r\nfourscore 0\r\nmicrophone 0\r\n"
                      "port0 1\r\nport1 1\r\nport2 0\r\nFDS 0\r\nNewPPU 0\r\n";
    for (int frame = 0; frame < 200; ++frame) {
        std::string pad = "        ";
        pad[4] = frame >= 30 && frame <= 33 ? 'T' : ' ';
        pad[0] = frame >= 60 && frame <= 62 ? 'R' : ' ';
        pad[2] = frame >= 80 && frame <= 82 ? 'D' : ' ';
        pad[7] = frame == 100 ? 'A' : '.';
        pad[1] = frame >= 160 && frame <= 162 ? 'L' : '.';
        fm2 += "|" + std::string(frame == 120 ? "1" : "0") + "|" + pad + "|........||\r\n";
    }
    const std::string movie = dir.Write("moves.fm2", fm2).string();
    ASSERT_EQ(Run({rom.string(), "--frames", "200", "--input", script, "--crc-every", "20"}),
              Tools::ExitPass);
    const std::string scripted = Printed();
    ASSERT_EQ(Run({rom.string(), "--movie", movie, "--crc-every", "20"}), Tools::ExitPass) << err.str();
    EXPECT_EQ(Printed(), scripted);
    // The input shows in the picture: the same frames without it end elsewhere.
    ASSERT_EQ(Run({rom.string(), "--frames", "200", "--crc-every", "20"}), Tools::ExitPass);
    EXPECT_NE(Printed(), scripted);
}

// The windowed program's side of movies, on a machine without a window: a host that runs frames with
// the movie around each, as the shell does, and keeps states with their movie part.
class MovieHostMachine : public MovieHost, public StateHost {
public:
    explicit MovieHostMachine(const std::string& rom) : rom(rom) { machine.Load(rom); }

    Nes::Process* MovieMachine() override { return machine.process.Get(); }
    std::string MovieRomFile() override { return rom; }
    bool MoviePowerOn() override {
        ++powerOns;
        return machine.Load(rom);
    }
    Nes::Process* StateMachine() override { return machine.process.Get(); }
    std::string StateImageFile() override { return rom; }
    std::string StateTrailer() override { return movies.StateTrailer(); }
    bool CheckStateTrailer(const std::string& trailer, std::string& error) override {
        return movies.CheckStateTrailer(trailer, error);
    }
    void OnStateTrailer(const std::string& trailer) override { movies.OnStateTrailer(trailer); }

    // One frame with the player holding `pad1` on joypad 1.
    void Frame(std::uint8_t pad1 = 0) {
        Nes::Process& process = *machine.process;
        process.Buttons().SetHeld(0, Nes::ButtonState::Keys, pad1);
        movies.BeforeFrame(process);
        process.RunFrame(true);
        movies.AfterFrame(process);
    }
    std::uint8_t Peek(std::uint16_t address) { return machine.process->CpuRead(address); }
    // The newest console line.
    std::string Said() const {
        return machine.console->lines.empty() ? "" : machine.console->lines.front().text;
    }

    std::string rom;
    Tools::HeadlessMachine machine;
    TestSupport::TempDir dir;
    MovieFunctions movies{*this, dir.Path("movies")};
    StateFunctions states{*this, dir.Path("states")};
    int powerOns = 0;
};

TEST(MovieSession, RecordsFromPowerOnAndPlaysBackOverThePlayersButtons) {
    TestSupport::TempDir dir;
    const std::string rom = dir.Path("pad.nes").string();
    PadProgram().Write(rom);
    MovieHostMachine host(rom);
    host.Frame(Joypad::ButtonA);
    ASSERT_TRUE(host.movies.Record("take.hmv", false));
    EXPECT_EQ(host.powerOns, 1);
    EXPECT_EQ(host.Peek(0x12), 0) << "the recording starts from power-on";
    for (int frame = 0; frame < 10; ++frame) {
        host.Frame(frame == 5 ? Joypad::ButtonA : 0);
    }
    ASSERT_TRUE(host.movies.OnReset(false));
    host.machine.process->Reset(false);
    host.Frame();
    ASSERT_TRUE(host.movies.Stop());
    Movie taken;
    std::string error;
    ASSERT_TRUE(ReadMovieFile(host.dir.Path("movies/take.hmv"), taken, error)) << error;
    ASSERT_EQ(taken.frames.size(), 11u);
    EXPECT_EQ(taken.frames[5].pads[0], Joypad::ButtonA);
    EXPECT_EQ(taken.frames[10].commands, MovieFrame::SoftReset);

    // Played back, the movie's buttons are the game's and the player's are not.
    ASSERT_TRUE(host.movies.Play("take.hmv"));
    EXPECT_EQ(host.Peek(0x12), 0);
    for (int frame = 0; frame < 5; ++frame) {
        host.Frame(Joypad::ButtonA);
    }
    EXPECT_EQ(host.Peek(0x12), 0) << "the player's A reached the game";
    host.Frame();
    EXPECT_EQ(host.Peek(0x12), 1) << "the movie's A did not";
    EXPECT_FALSE(host.movies.OnReset(false));
    for (int frame = 6; frame < 11; ++frame) {
        host.Frame();
    }
    EXPECT_EQ(host.Peek(0x20), 2) << "the movie's reset was not pressed";
    host.Frame(Joypad::ButtonB);
    EXPECT_EQ(host.Said(), "Movie finished: 11 frames.");
    EXPECT_FALSE(host.movies.Active());

    // Someone else's file is not recorded over.
    const std::filesystem::path foreign = host.dir.Write("movies/notes.txt", "my notes\n");
    EXPECT_FALSE(host.movies.Record("notes.txt", false));
    EXPECT_EQ(TestSupport::ReadFile(foreign), "my notes\n");
}

// A frame in which the game never reads the pads is a lag frame.
TEST(MovieSession, CountsFramesAndLagFrames) {
    TestSupport::TempDir dir;
    const std::string padRom = dir.Path("pad.nes").string();
    PadProgram().Write(padRom);
    const std::string quietRom = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(quietRom);
    MovieHostMachine reading(padRom);
    MovieHostMachine quiet(quietRom);
    for (int frame = 0; frame < 6; ++frame) {
        reading.Frame(Joypad::ButtonStart);
        quiet.Frame();
    }
    EXPECT_EQ(reading.movies.frameCount, 6u);
    EXPECT_EQ(reading.movies.lagCount, 0u);
    EXPECT_EQ(quiet.movies.lagCount, 6u);
    EXPECT_EQ(reading.movies.CounterText(), "");
    reading.movies.showCounters.value = true;
    EXPECT_EQ(reading.movies.CounterText(), "frame 6, lag 0  1:....T... 2:........");
}

// States taken during a movie carry its position: read-only, loading one plays on from there; read-write,
// it cuts the movie there and records on.
TEST(MovieSession, StatesDuringAMovieGoOnOrCutIt) {
    TestSupport::TempDir dir;
    const std::string rom = dir.Path("pad.nes").string();
    PadProgram().Write(rom);
    MovieHostMachine host(rom);
    ASSERT_TRUE(host.movies.Record("take.hmv", false));
    for (int frame = 0; frame < 4; ++frame) {
        host.Frame();
    }
    ASSERT_TRUE(host.states.Save("at4.state"));
    for (int frame = 4; frame < 8; ++frame) {
        host.Frame(frame == 6 ? Joypad::ButtonA : 0);
    }
    ASSERT_TRUE(host.movies.Stop());
    ASSERT_TRUE(host.states.Save("plain.state"));

    // Read-only: the movie plays on from frame 4 and gives its A at frame 6.
    ASSERT_TRUE(host.movies.Play("take.hmv"));
    host.Frame();
    ASSERT_TRUE(host.states.Load("at4.state"));
    EXPECT_EQ(host.movies.mode, MovieFunctions::Mode::Playing);
    EXPECT_EQ(host.movies.position, 4u);
    host.Frame();
    host.Frame();
    host.Frame();
    EXPECT_EQ(host.Peek(0x12), 1);
    // A state from no movie would break it: it is refused and the movie goes on.
    EXPECT_FALSE(host.states.Load("plain.state"));
    EXPECT_EQ(host.movies.position, 7u);

    // Read-write: the movie is cut at frame 4 and the rest recorded anew.
    host.movies.readOnly.value = false;
    ASSERT_TRUE(host.states.Load("at4.state"));
    EXPECT_EQ(host.movies.mode, MovieFunctions::Mode::Recording);
    host.Frame(Joypad::ButtonB);
    ASSERT_TRUE(host.movies.Stop());
    Movie cut;
    std::string error;
    ASSERT_TRUE(ReadMovieFile(host.dir.Path("movies/take.hmv"), cut, error)) << error;
    ASSERT_EQ(cut.frames.size(), 5u);
    EXPECT_EQ(cut.frames[4].pads[0], Joypad::ButtonB);
    EXPECT_EQ(cut.rerecords, 1u);

    // Switching to read-write while a movie plays records over the rest from the frame reached.
    host.movies.readOnly.value = true;
    ASSERT_TRUE(host.movies.Play("take.hmv"));
    host.Frame();
    host.Frame();
    host.movies.readOnly.value = false;
    host.Frame(Joypad::ButtonSelect);
    ASSERT_TRUE(host.movies.Stop());
    ASSERT_TRUE(ReadMovieFile(host.dir.Path("movies/take.hmv"), cut, error)) << error;
    ASSERT_EQ(cut.frames.size(), 3u);
    EXPECT_EQ(cut.frames[2].pads[0], Joypad::ButtonSelect);

    // A state of the recording, read-only, from a take the movie no longer holds is refused.
    host.movies.readOnly.value = true;
    ASSERT_TRUE(host.movies.Play("take.hmv"));
    EXPECT_FALSE(host.states.Load("at4.state"));
    // States saved by a Halvo without movies still load when no movie runs.
    ASSERT_TRUE(host.movies.Stop());
    EXPECT_TRUE(host.states.Load("plain.state"));
}

} // namespace
} // namespace Halvo
