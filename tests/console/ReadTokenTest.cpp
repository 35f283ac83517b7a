#include "console/ReadToken.h"

#include <sstream>

#include <gtest/gtest.h>

namespace Halvo {
namespace {

struct TokenCase {
    const char* input;
    int result;
    const char* token;
    const char* rest; // what the stream still holds
};

TEST(ReadToken, ReadsBareWordsAndQuotedLiterals) {
    const TokenCase cases[] = {
        {"  word rest", Console::BareWord, "word", " rest"},
        {"\t\"two words\" rest", Console::QuotedLiteral, "two words", " rest"},
        {"\"\"", Console::QuotedLiteral, "", ""},
        {"last", Console::BareWord, "last", ""},
        {"a\"b\" c", Console::BareWord, "a\"b\"", " c"},
        {"   ", Console::NoToken, "", ""},
        {"\"open", Console::NoToken, "open", ""},
        {"\"line\nend\"", Console::NoToken, "line", "\nend\""},
        {"\"cr\rend\"", Console::NoToken, "cr", "\rend\""},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        std::string token = "stale";
        EXPECT_EQ(Console::ReadToken(in, token), c.result) << c.input;
        EXPECT_EQ(token, c.token) << c.input;
        in.clear();
        std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(rest, c.rest) << c.input;
    }
}

} // namespace
} // namespace Halvo
