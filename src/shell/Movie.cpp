#include "shell/Movie.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "console/RegularFile.h"
#include "nes/ButtonState.h"
#include "nes/Process.h"
#include "nes/Region.h"
#include "nes/rom/RomImage.h"
#include "shell/AtomicFile.h"
#include "shell/Fm2Movie.h"

namespace Halvo {

namespace {

constexpr const char* Signature = "halvo-movie";
constexpr std::size_t StateBytesPerLine = 64;
// The buttons in the order the lines show them, from bit 7 (Right) down to bit 0 (A).
constexpr char PadLetters[8] = {'R', 'L', 'D', 'U', 'T', 'S', 'B', 'A'};

std::string Hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

bool ParseHex32(std::string_view text, std::uint32_t& value) {
    if (text.size() != 8) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseCount(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

// Splits the text into lines, a "\r\n" ending taken as "\n".
std::vector<std::string_view> Lines(const std::string& text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A frame line of Halvo's own: "|C|RLDUTSBA|RLDUTSBA|", each button its letter or '.'.
bool ParseFrameLine(std::string_view line, MovieFrame& frame) {
    if (line.size() != 21 || line[0] != '|' || line[2] != '|' || line[11] != '|' || line[20] != '|' ||
        line[1] < '0' || line[1] > '3') {
        return false;
    }
    frame.commands = static_cast<std::uint8_t>(line[1] - '0');
    for (std::size_t pad = 0; pad < 2; ++pad) {
        std::uint8_t buttons = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            const char c = line[3 + pad * 9 + i];
            if (c == PadLetters[i]) {
                buttons |= static_cast<std::uint8_t>(0x80u >> i);
            } else if (c != '.') {
                return false;
            }
        }
        frame.pads[pad] = buttons;
    }
    return true;
}

bool ParseHalvo(const std::vector<std::string_view>& lines, bool endsWithNewline, Movie& movie,
                std::string& error) {
    std::uint64_t version = 0;
    if (lines.empty() || lines[0].substr(0, 12) != "halvo-movie " ||
        !ParseCount(lines[0].substr(12), version)) {
        error = "it is not a movie";
        return false;
    }
    if (version > Movie::Version) {
        error = "it was made by a newer version of Halvo (movie format " + std::to_string(version) +
                "; this one reads format " + std::to_string(Movie::Version) + ")";
        return false;
    }
    movie = Movie();
    bool fromState = false;
    std::uint64_t frameCount = 0;
    bool framesSeen = false;
    std::size_t index = 1;
    const auto bad = [&](const std::string& why) {
        error = "line " + std::to_string(index + 1) + " " + why;
        return false;
    };
    for (; index < lines.size() && !framesSeen; ++index) {
        const std::string_view line = lines[index];
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value = space == std::string_view::npos ? "" : line.substr(space + 1);
        std::uint64_t number = 0;
        if (line.empty()) {
            continue;
        } else if (key == "rom") {
            movie.rom = value;
        } else if (key == "prg-crc" || key == "chr-crc") {
            if (!ParseHex32(value, key[0] == 'p' ? movie.prgCrc : movie.chrCrc)) {
                return bad("is no CRC-32 of eight hexadecimal digits");
            }
        } else if (key == "timing") {
            if (value != "line" && value != "exact") {
                return bad("names no timing model (line or exact)");
            }
            movie.timing = value;
        } else if (key == "region") {
            if (!Nes::RegionFromName(value)) {
                return bad("names no region (ntsc, pal or dendy)");
            }
            movie.region = value;
        } else if (key == "controllers") {
            if (value != "joypad joypad") {
                return bad("names controllers this version does not have (only \"joypad joypad\")");
            }
        } else if (key == "rerecords") {
            if (!ParseCount(value, number) || number > 0xFFFFFFFFu) {
                return bad("is no number of rerecords");
            }
            movie.rerecords = static_cast<std::uint32_t>(number);
        } else if (key == "start") {
            if (value != "power-on" && value != "state") {
                return bad("says neither \"start power-on\" nor \"start state\"");
            }
            fromState = value == "state";
        } else if (key == "state") {
            if (value.size() % 2 != 0 || value.size() > StateBytesPerLine * 2) {
                return bad("holds no state bytes");
            }
            for (std::size_t i = 0; i < value.size(); i += 2) {
                const int high = HexDigit(value[i]);
                const int low = HexDigit(value[i + 1]);
                if (high < 0 || low < 0) {
                    return bad("holds no state bytes");
                }
                movie.startState.push_back(static_cast<std::uint8_t>(high << 4 | low));
            }
        } else if (key == "frames") {
            if (!ParseCount(value, frameCount) || frameCount > Movie::MaxFileBytes / 21) {
                return bad("is no number of frames");
            }
            framesSeen = true;
        } else {
            return bad("is not part of a movie: \"" + std::string(line.substr(0, 40)) + "\"");
        }
    }
    if (!framesSeen) {
        error = "it is truncated: it has no \"frames\" line";
        return false;
    }
    if (fromState != !movie.startState.empty()) {
        error = fromState ? "it is truncated: it starts from a state it does not hold"
                          : "it holds a state but says it starts at power-on";
        return false;
    }
    movie.frames.reserve(static_cast<std::size_t>(frameCount));
    for (; index < lines.size(); ++index) {
        if (lines[index].empty()) {
            continue;
        }
        MovieFrame frame;
        if (movie.frames.size() == frameCount) {
            return bad("follows the last of its " + std::to_string(frameCount) + " frames");
        }
        if (!ParseFrameLine(lines[index], frame)) {
            if (index + 1 == lines.size() && !endsWithNewline) {
                error = "it is truncated: its last frame line breaks off";
                return false;
            }
            return bad("is no frame (\"|0|RLDUTSBA|RLDUTSBA|\"): \"" +
                       std::string(lines[index].substr(0, 40)) + "\"");
        }
        movie.frames.push_back(frame);
    }
    if (movie.frames.size() != frameCount) {
        error = "it is truncated: it says " + std::to_string(frameCount) + " frames and holds " +
                std::to_string(movie.frames.size());
        return false;
    }
    return true;
}

} // namespace

std::string PadText(std::uint8_t buttons) {
    std::string text(8, '.');
    for (std::size_t i = 0; i < 8; ++i) {
        if (buttons & (0x80u >> i)) {
            text[i] = PadLetters[i];
        }
    }
    return text;
}

Movie Movie::For(const Nes::Process& process, const std::string& romFile) {
    Movie movie;
    movie.rom = std::filesystem::path(romFile).filename().string();
    movie.prgCrc = process.romImage->prgCrc;
    movie.chrCrc = process.romImage->chrCrc;
    movie.timing = process.TimingName();
    movie.region = Nes::RegionName(process.region);
    return movie;
}

std::string Movie::Text() const {
    std::string text = std::string(Signature) + " " + std::to_string(Version) + "\n";
    text += "rom " + rom + "\n";
    text += "prg-crc " + Hex8(prgCrc) + "\n";
    text += "chr-crc " + Hex8(chrCrc) + "\n";
    text += "timing " + timing + "\n";
    text += "region " + region + "\n";
    text += "controllers joypad joypad\n";
    text += "rerecords " + std::to_string(rerecords) + "\n";
    text += startState.empty() ? "start power-on\n" : "start state\n";
    static const char digits[] = "0123456789ABCDEF";
    for (std::size_t at = 0; at < startState.size(); at += StateBytesPerLine) {
        text += "state ";
        for (std::size_t i = at; i < std::min(startState.size(), at + StateBytesPerLine); ++i) {
            text += digits[startState[i] >> 4];
            text += digits[startState[i] & 15];
        }
        text += '\n';
    }
    text += "frames " + std::to_string(frames.size()) + "\n";
    text.reserve(text.size() + frames.size() * 22);
    for (const MovieFrame& frame : frames) {
        text += '|';
        text += static_cast<char>('0' + (frame.commands & 3));
        text += '|';
        text += PadText(frame.pads[0]);
        text += '|';
        text += PadText(frame.pads[1]);
        text += "|\n";
    }
    return text;
}

bool Movie::Parse(const std::string& text, Movie& movie, std::string& error) {
    const std::vector<std::string_view> lines = Lines(text);
    if (!lines.empty() && lines[0].substr(0, 8) == "version ") {
        return ParseFm2(lines, movie, error);
    }
    return ParseHalvo(lines, !text.empty() && text.back() == '\n', movie, error);
}

std::string Movie::Mismatch(const Nes::Process& process) const {
    if (romKnown && (prgCrc != process.romImage->prgCrc || chrCrc != process.romImage->chrCrc)) {
        return "it was made with another game (" +
               (rom.empty() ? std::string("PRG-ROM CRC-32 ") : rom + ", PRG-ROM CRC-32 ") + Hex8(prgCrc) +
               "; this game's is " + Hex8(process.romImage->prgCrc) + ")";
    }
    if (!timing.empty() && timing != process.TimingName()) {
        return "it was made with the \"" + timing + "\" timing model; this game runs with \"" +
               process.TimingName() + "\"";
    }
    if (region != Nes::RegionName(process.region)) {
        return "it was made on a " + region + " console; this game runs as " +
               Nes::RegionName(process.region);
    }
    return {};
}

bool ReadMovieFile(const std::filesystem::path& path, Movie& movie, std::string& error) {
    std::string text;
    if (Console::ReadRegularFile(path.string(), Movie::MaxFileBytes, text, error) !=
        Console::FileRefusal::None) {
        return false;
    }
    return Movie::Parse(text, movie, error);
}

bool WriteMovieFile(const std::filesystem::path& path, const Movie& movie, std::string& error) {
    const std::string text = movie.Text();
    std::error_code folderError;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), folderError);
    }
    if (folderError) {
        error = folderError.message();
        return false;
    }
    return WriteFileAtomically(path, text.data(), text.size(), error);
}

void ApplyMovieFrame(Nes::Process& process, const MovieFrame& frame) {
    if (frame.commands & MovieFrame::HardReset) {
        process.Reset(true);
    } else if (frame.commands & MovieFrame::SoftReset) {
        process.Reset(false);
    }
    for (std::uint32_t pad = 0; pad < 2; ++pad) {
        process.Buttons().SetExactly(pad, frame.pads[pad]);
    }
}

MovieFrame HeldFrame(const Nes::ButtonState& buttons) {
    MovieFrame frame;
    for (std::uint32_t pad = 0; pad < 2; ++pad) {
        frame.pads[pad] = buttons.Peek(pad);
    }
    return frame;
}

} // namespace Halvo
