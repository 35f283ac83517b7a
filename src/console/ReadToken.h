#pragma once

#include <istream>
#include <locale>
#include <string>

namespace Halvo::Console {

// What ReadToken found.
enum TokenResult : int {
    NoToken = 0,      // nothing, an unterminated literal, or a line end inside a literal
    BareWord = 1,     // a word up to the next whitespace
    QuotedLiteral = 2 // the text between two double quotes, without them
};

// Reads one argument that may be quoted. There are no escape sequences.
int ReadToken(std::istream& in, std::string& token, const std::locale& locale);
inline int ReadToken(std::istream& in, std::string& token) {
    return ReadToken(in, token, in.getloc());
}

} // namespace Halvo::Console
