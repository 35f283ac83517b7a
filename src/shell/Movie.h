#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Halvo {

namespace Nes {
class Process;
class ButtonState;
} // namespace Nes

// One frame of a movie: what the two joypads held (Nes::Joypad's bits) and the console's buttons pressed
// before it.
struct MovieFrame {
    enum Command : std::uint8_t { SoftReset = 1, HardReset = 2 };
    std::uint8_t pads[2] = {};
    std::uint8_t commands = 0;
    bool operator==(const MovieFrame&) const = default;
};

// An input movie: the game and machine it was made on, where it starts (power-on, or a save state held
// inside it) and the input of every frame from there.
//
// Its file is text, one item a line:
//   halvo-movie 1                 the format and its version
//   rom NAME                      the image file it was made with (a reminder only)
//   prg-crc XXXXXXXX              the CRC-32 of the PRG-ROM and of the CHR-ROM, as the image holds them
//   chr-crc XXXXXXXX
//   timing line|exact             the timing model of the machine
//   region ntsc|pal|dendy
//   controllers joypad joypad     what is plugged into the two ports
//   rerecords N                   how often a state load went back during the recording
//   start power-on|state          "state": the lines "state HEX" that follow hold the save state it
//                                 starts from, 64 bytes a line
//   frames N                      the number of frame lines that follow
//   |C|RLDUTSBA|RLDUTSBA|         a frame: C is 0, 1 (soft reset before it) or 2 (hard reset); each pad
//                                 shows its pressed buttons by letter and the others as '.'
// A file that ends before its frames do, or holds a line it does not know, is refused.
class Movie {
public:
    static constexpr std::uint32_t Version = 1;
    // Movies larger than this are refused unread: a day of frames is far below it.
    static constexpr std::uint64_t MaxFileBytes = 256u * 1024 * 1024;

    std::string rom;
    std::uint32_t prgCrc = 0;
    std::uint32_t chrCrc = 0;
    // False for a movie whose game cannot be checked (an .fm2 names it by a checksum Halvo does not keep).
    bool romKnown = true;
    // "line" or "exact"; empty when the movie does not say (an .fm2).
    std::string timing = "line";
    std::string region = "ntsc";
    std::uint32_t rerecords = 0;
    // The save state it starts from; empty: from power-on.
    std::vector<std::uint8_t> startState;
    std::vector<MovieFrame> frames;

    // A movie for the machine's game, timing model and region, empty, starting at power-on.
    static Movie For(const Nes::Process& process, const std::string& romFile);

    std::string Text() const;
    // Reads a movie in Halvo's format or an FCEUX .fm2 (told apart by the first line); false with the
    // reason (a phrase) in `error`.
    static bool Parse(const std::string& text, Movie& movie, std::string& error);
    // Why the movie cannot play on this machine (another game, timing model or region); empty when it can.
    std::string Mismatch(const Nes::Process& process) const;
};

// The pad's buttons as the movie lines show them: "RLDUTSBA", '.' for a button not pressed.
std::string PadText(std::uint8_t buttons);

// Reads or writes (atomically) a movie file; false with the reason in `error`.
bool ReadMovieFile(const std::filesystem::path& path, Movie& movie, std::string& error);
bool WriteMovieFile(const std::filesystem::path& path, const Movie& movie, std::string& error);

// The frame's input on the machine's joypads and console buttons, before the frame runs: every other
// source of buttons is dropped, so that the frame sees exactly this.
void ApplyMovieFrame(Nes::Process& process, const MovieFrame& frame);
// What the players hold now as a movie frame (presses shorter than a frame included), for recording.
MovieFrame HeldFrame(const Nes::ButtonState& buttons);

} // namespace Halvo
