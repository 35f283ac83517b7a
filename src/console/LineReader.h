#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

namespace Halvo::Console {

// Bounds on what is read as lines of text (scripts, input files), so that an endless or enormous input
// such as /dev/zero ends with a message instead of exhausting memory.
inline constexpr std::size_t MaxLineLength = 64 * 1024;
inline constexpr std::uint64_t MaxScriptBytes = 16 * 1024 * 1024;

// Reads a stream line by line within those bounds.
class LineReader {
public:
    enum Result {
        Line,        // a line, without its newline
        End,         // nothing more to read
        LineTooLong, // a line holds more than MaxLineLength characters
        TooLarge,    // the stream holds more than MaxScriptBytes
        ReadError,   // the stream could not be read on (a directory, a device that fails)
    };

    explicit LineReader(std::istream& in) : in(in) {}

    Result Next(std::string& line);

    // The number of the line Next last gave (or stopped in), from 1.
    std::uint64_t lineNumber = 0;

private:
    std::istream& in;
    std::uint64_t bytesRead = 0;
};

} // namespace Halvo::Console
