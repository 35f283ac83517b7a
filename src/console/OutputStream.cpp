#include "console/OutputStream.h"

#include <cstring>

namespace Halvo::Console {

OutputStreamBuf::OutputStreamBuf(std::deque<ConsoleLine>& lines, const std::uint32_t& maxLines,
                                 std::FILE*& logFile)
    : buffer(GrowthStep, '\0'), lines(lines), maxLines(maxLines), logFile(logFile) {
    ResetPutArea(0);
}

void OutputStreamBuf::ResetPutArea(std::size_t pending) {
    char* start = buffer.data();
    setp(start, start + buffer.size() - 1);
    pbump(static_cast<int>(pending));
}

OutputStreamBuf::int_type OutputStreamBuf::overflow(int_type ch) {
    if (traits_type::eq_int_type(ch, traits_type::eof())) {
        return 0;
    }
    const auto pending = static_cast<std::size_t>(pptr() - pbase());
    buffer.resize(buffer.size() + GrowthStep, '\0');
    ResetPutArea(pending);
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
    return ch;
}

int OutputStreamBuf::sync() {
    if (pptr() == pbase()) {
        return 0;
    }
    // The text ends at the first zero character, as the log sees it.
    const std::size_t length = std::strlen(buffer.c_str());
    const char* text = buffer.data();

    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == '\n') {
            lines.push_front(ConsoleLine{std::string(text + lineStart, i - lineStart), pendingError});
            ++linesMade;
            if (lines.size() > maxLines) {
                lines.pop_back();
            }
            lineStart = i + 1;
        }
    }
    if (logFile) {
        std::fwrite(text, 1, length, logFile);
    }

    pendingError = 0;
    std::fill(buffer.begin(), buffer.end(), '\0');
    ResetPutArea(0);
    return 0;
}

} // namespace Halvo::Console
