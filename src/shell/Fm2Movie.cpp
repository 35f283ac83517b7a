#include "shell/Fm2Movie.h"

#include <cctype>
#include <charconv>

namespace Halvo {

namespace {

bool ParseInt(std::string_view text, long long& value) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// One pad's eight characters; an empty field is a port with nothing in it.
bool ParsePad(std::string_view field, std::uint8_t& buttons) {
    buttons = 0;
    if (field.empty()) {
        return true;
    }
    if (field.size() != 8) {
        return false;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        if (field[i] != ' ' && field[i] != '.') {
            buttons |= static_cast<std::uint8_t>(0x80u >> i);
        }
    }
    return true;
}

} // namespace

bool ParseFm2(const std::vector<std::string_view>& lines, Movie& movie, std::string& error) {
    movie = Movie();
    movie.romKnown = false;
    movie.timing.clear();
    long long ports[3] = {-1, -1, 0};
    std::size_t index = 0;
    const auto bad = [&](const std::string& why) {
        error = "line " + std::to_string(index + 1) + " " + why;
        return false;
    };
    for (; index < lines.size() && (lines[index].empty() || lines[index][0] != '|'); ++index) {
        const std::string_view line = lines[index];
        if (line.empty()) {
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value = space == std::string_view::npos ? "" : line.substr(space + 1);
        long long number = 0;
        const bool numeric = ParseInt(value, number);
        if (key == "version") {
            if (!numeric || number != 3) {
                return bad("names an .fm2 version other than 3");
            }
        } else if (key == "binary" || key == "fourscore" || key == "FDS") {
            if (!numeric) {
                return bad("is no number");
            }
            if (number != 0) {
                return bad(key == "binary"      ? "says the input is binary; only text .fm2 movies play"
                           : key == "fourscore" ? "says a Four Score was used; only two standard pads play"
                                                : "says it is a Disk System movie, which does not play");
            }
        } else if (key == "palFlag") {
            if (!numeric) {
                return bad("is no number");
            }
            movie.region = number ? "pal" : "ntsc";
        } else if (key == "port0" || key == "port1" || key == "port2") {
            if (!numeric) {
                return bad("is no number");
            }
            ports[key[4] - '0'] = number;
        } else if (key == "savestate") {
            // FCEUX writes the key only for movies that start from a state.
            return bad("says the movie starts from a save state; only movies from power-on play");
        } else if (key == "rerecordCount") {
            if (numeric && number >= 0 && number <= 0xFFFFFFFF) {
                movie.rerecords = static_cast<std::uint32_t>(number);
            }
        } else if (key == "romFilename") {
            movie.rom = value;
        } else if (key.empty() || !std::isalpha(static_cast<unsigned char>(key[0]))) {
            return bad("is neither a header line nor a frame");
        }
        // Every other key (emuVersion, romChecksum, guid, comment, subtitle, NewPPU, length...) tells
        // nothing the playback needs.
    }
    if (lines.empty() || lines[0].substr(0, 8) != "version ") {
        error = "it is not an .fm2 movie (its first line is not \"version 3\")";
        return false;
    }
    for (std::size_t port = 0; port < 2; ++port) {
        if (ports[port] != 0 && ports[port] != 1) {
            error = ports[port] < 0 ? "it does not say what is plugged into port " + std::to_string(port)
                                    : "port " + std::to_string(port) + " holds a device other than a pad";
            return false;
        }
    }
    if (ports[2] != 0) {
        error = "it uses an expansion-port device, which does not play";
        return false;
    }
    for (; index < lines.size(); ++index) {
        const std::string_view line = lines[index];
        if (line.empty()) {
            continue;
        }
        // "|commands|pad|pad|port 2|"
        std::vector<std::string_view> fields;
        std::size_t start = 1;
        if (line[0] != '|') {
            return bad("is no frame (\"|0|RLDUTSBA|RLDUTSBA||\")");
        }
        for (std::size_t bar = line.find('|', start); bar != std::string_view::npos;
             bar = line.find('|', start)) {
            fields.push_back(line.substr(start, bar - start));
            start = bar + 1;
        }
        long long commands = 0;
        MovieFrame frame;
        if (fields.size() < 3 || !ParseInt(fields[0], commands) || commands < 0 ||
            !ParsePad(fields[1], frame.pads[0]) || !ParsePad(fields[2], frame.pads[1])) {
            return bad("is no frame (\"|0|RLDUTSBA|RLDUTSBA||\")");
        }
        if (commands & ~3LL) {
            return bad("gives a command other than a reset (Disk System or VS buttons), which does not play");
        }
        frame.commands = static_cast<std::uint8_t>(commands);
        movie.frames.push_back(frame);
    }
    return true;
}

} // namespace Halvo
