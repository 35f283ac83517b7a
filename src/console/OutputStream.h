#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <ostream>
#include <streambuf>
#include <string>

namespace Halvo::Console {

// One line of console output, without its newline.
struct ConsoleLine {
    std::string text;
    std::uint32_t isError = 0; // 1 when the line was flushed while an error report was pending
};

// The buffer behind the console's output stream. Text becomes console lines (newest first) and log
// text only when the stream is flushed.
class OutputStreamBuf : public std::streambuf {
public:
    OutputStreamBuf(std::deque<ConsoleLine>& lines, const std::uint32_t& maxLines, std::FILE*& logFile);
    ~OutputStreamBuf() override = default;

    OutputStreamBuf(const OutputStreamBuf&) = delete;
    OutputStreamBuf& operator=(const OutputStreamBuf&) = delete;

    // Marks every line finished by the next flush as an error line.
    void SetErrorPending() { pendingError = 1; }
    // Lines made since the start, for those who show the newest elsewhere (the on-screen messages).
    std::uint64_t LinesMade() const { return linesMade; }

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    static constexpr std::size_t GrowthStep = 256;

    void ResetPutArea(std::size_t pending);

    // The put area covers all but the last character, which stays zero so that the buffer is always a
    // terminated text.
    std::string buffer;
    std::uint32_t pendingError = 0;
    std::uint64_t linesMade = 0;
    std::deque<ConsoleLine>& lines;
    const std::uint32_t& maxLines;
    std::FILE*& logFile;
};

class OutputStream : public std::ostream {
public:
    OutputStream(std::deque<ConsoleLine>& lines, const std::uint32_t& maxLines, std::FILE*& logFile)
        : std::ostream(nullptr), buffer(lines, maxLines, logFile) {
        rdbuf(&buffer);
    }

    OutputStreamBuf& Buffer() { return buffer; }
    const OutputStreamBuf& Buffer() const { return buffer; }

private:
    OutputStreamBuf buffer;
};

} // namespace Halvo::Console
