#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Halvo::Console {

// Console text is UTF-8: what the keyboard types and what file names hold. A character is one
// well-formed sequence; a byte that starts none counts as a character of its own, so that any text can
// be edited and measured.

// What DecodeUtf8 gives for a byte that starts no well-formed sequence.
inline constexpr char32_t MalformedCharacter = 0xFFFFFFFFu;

// The character at byte `at` (below the text's size); `at` moves past it.
char32_t DecodeUtf8(std::string_view text, std::size_t& at);
// The number of characters of the text.
std::uint32_t Utf8Length(std::string_view text);
// The byte where character `index` starts; the text's size for an index at or past its end.
std::size_t Utf8Offset(std::string_view text, std::uint32_t index);
// The bytes of one character (the code point must be below 0x110000).
std::string EncodeUtf8(char32_t codePoint);

} // namespace Halvo::Console
