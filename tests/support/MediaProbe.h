#pragma once

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace Halvo::TestSupport {

// Runs a shell command and gives what it wrote on standard output.
inline std::string CommandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, read);
        }
        pclose(pipe);
    }
    return output;
}

// Whether FFmpeg's command-line tools are there (the tests that read recordings skip without them).
inline bool HaveFfmpegTools() {
    return std::system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") == 0;
}

// What ffprobe finds in one stream of a media file ("v:0", "a:0"): how many packets it has and where
// the last of them ends, in seconds.
struct StreamExtent {
    std::size_t packets = 0;
    double end = 0;
};

inline StreamExtent ProbeStream(const std::string& file, const std::string& stream) {
    const std::string output =
        CommandOutput("ffprobe -v error -select_streams " + stream +
                      " -show_entries packet=pts_time,duration_time -of csv=p=0 '" + file + "'");
    StreamExtent extent;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        double pts = 0;
        double duration = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration) == 2) {
            ++extent.packets;
            extent.end = std::max(extent.end, pts + duration);
        }
    }
    return extent;
}

// The codec names of a file's streams, in order, as "ffv1,flac".
inline std::string ProbeCodecs(const std::string& file) {
    std::string output =
        CommandOutput("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file + "'");
    for (char& c : output) {
        c = c == '\n' ? ',' : c;
    }
    while (!output.empty() && output.back() == ',') {
        output.pop_back();
    }
    return output;
}

// Frame `index` of a file's picture, decoded to 8-bit RGB rows.
inline std::string DecodedFrame(const std::string& file, std::size_t index) {
    return CommandOutput("ffmpeg -v error -i '" + file + "' -vf 'select=eq(n\\," + std::to_string(index) +
                         ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
}

} // namespace Halvo::TestSupport
