#include "console/Utf8.h"

namespace Halvo::Console {

char32_t DecodeUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 1;
    bool wellFormed = length > 1 && at + length <= text.size();
    for (std::size_t k = 1; wellFormed && k < length; ++k) {
        wellFormed = (static_cast<unsigned char>(text[at + k]) & 0xC0) == 0x80;
    }
    if (!wellFormed) {
        ++at;
        return MalformedCharacter;
    }
    char32_t codePoint = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        codePoint = codePoint << 6 | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    }
    at += length;
    return codePoint;
}

std::uint32_t Utf8Length(std::string_view text) {
    std::uint32_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        DecodeUtf8(text, at);
    }
    return count;
}

std::size_t Utf8Offset(std::string_view text, std::uint32_t index) {
    std::size_t at = 0;
    for (std::uint32_t count = 0; count < index && at < text.size(); ++count) {
        DecodeUtf8(text, at);
    }
    return at;
}

std::string EncodeUtf8(char32_t codePoint) {
    std::string bytes;
    if (codePoint < 0x80) {
        bytes += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        bytes += static_cast<char>(0xC0 | codePoint >> 6);
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        bytes += static_cast<char>(0xE0 | codePoint >> 12);
        bytes += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | codePoint >> 18);
        bytes += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return bytes;
}

} // namespace Halvo::Console
