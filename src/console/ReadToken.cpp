#include "console/ReadToken.h"

namespace Halvo::Console {

int ReadToken(std::istream& in, std::string& token, const std::locale& locale) {
    token.clear();
    char c = 0;
    do {
        if (!in.get(c)) {
            return NoToken;
        }
    } while (std::isspace(c, locale));

    if (c == '"') {
        while (in.get(c)) {
            if (c == '"') {
                return QuotedLiteral;
            }
            if (c == '\n' || c == '\r') {
                in.putback(c);
                return NoToken;
            }
            token += c;
        }
        return NoToken;
    }

    token += c;
    while (in.get(c)) {
        if (std::isspace(c, locale)) {
            in.putback(c);
            return BareWord;
        }
        token += c;
    }
    return BareWord;
}

} // namespace Halvo::Console
