#include "console/LineReader.h"

#include <exception>

namespace Halvo::Console {

LineReader::Result LineReader::Next(std::string& line) {
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    if (!buffer || !in.good()) {
        return End;
    }
    bool started = false;
    for (;;) {
        int c = 0;
        try {
            c = buffer->sbumpc();
        } catch (const std::exception&) {
            // A file buffer throws when the system refuses to read (EISDIR, EIO).
            in.setstate(std::ios::badbit);
            return ReadError;
        }
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            // A last line without a newline is still a line.
            return started ? Line : End;
        }
        if (!started) {
            started = true;
            ++lineNumber;
        }
        if (++bytesRead > MaxScriptBytes) {
            return TooLarge;
        }
        if (c == '\n') {
            return Line;
        }
        if (line.size() == MaxLineLength) {
            return LineTooLong;
        }
        line.push_back(static_cast<char>(c));
    }
}

} // namespace Halvo::Console
