#include "console/InputContext.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "console/ConsoleKey.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using namespace Console;

class InputLine : public ::testing::Test {
protected:
    InputLine() {
        capture.System().history.clear();
        capture.System().Execute("@older");
        capture.System().Execute("@newer");
        capture.Clear();
    }

    // Presses keys: characters as themselves, other keys by name in angle brackets.
    void Press(const std::u32string& keys) {
        // In the order of their codes, from ToggleKey (1) to DownKey (15), then a code no key has.
        static const std::vector<std::string> names = {"Toggle", "Esc",  "Back", "Tab",    "Enter", "Ins",
                                                       "Del",    "Home", "End",  "PgUp",   "PgDn",  "Left",
                                                       "Right",  "Up",   "Down", "Unknown"};
        for (std::size_t at = 0; at < keys.size(); ++at) {
            const std::size_t end = keys.find('>', at);
            if (keys[at] != '<') {
                input->OnKey(TypedCharacter, keys[at]);
            } else {
                const std::u32string key = keys.substr(at + 1, end - at - 1);
                const auto name = std::find(names.begin(), names.end(), std::string(key.begin(), key.end()));
                input->OnKey(static_cast<std::uint32_t>(name - names.begin() + 1), 'x');
                at = end;
            }
        }
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<InputContext> input = Ref::New<InputContext>(&capture.System());
};

TEST_F(InputLine, EditingAndHistoryKeys) {
    const struct {
        const char32_t* keys;
        const char* line;
        std::uint32_t cursor;
    } cases[] = {
        {U"helo<Left>l", "hello", 4},
        {U"hello<Ins><Home>J<End>!", "Jello!", 6}, // overwrite, and append at the end
        {U"ab<Home><Back><Left>", "ab", 0},        // nothing before the start
        {U"abc<Home><Del>", "bc", 0},
        {U"abc<Del><Right>", "abc", 3}, // nothing past the end
        {U"abc<Left><Back>", "ac", 1},
        {U"a<Unknown><Tab><PgUp>", "a", 1},
        {U"mine<Up>", "@newer", 6},
        {U"<Up><Up><Up>", "@older", 6}, // nothing older than the oldest
        {U"<Up><Up><Down>", "@newer", 6},
        {U"<Up><Down>", "", 0},
        {U"<Up><Up><PgUp><Tab><Down>", "@newer", 6}, // these keys leave the walk where it is
        {U"<Up><Up><Home><Up>", "@newer", 6},        // an editing key starts it again
        // Characters beyond ASCII are edited whole, and the cursor counts characters.
        {U"a\u00E9\u00A3b", "a\u00E9\u00A3b", 4},
        {U"a\u00E9\u00A3b<Left><Back>", "a\u00E9b", 2},
        {U"\u20AC\u00E9<Home><Del><End>x", "\u00E9x", 2},
        {U"a\u00E9b<Ins><Left><Left>\u0416", "a\u0416b", 2}, // overwrite replaces a whole character
    };
    for (const auto& test : cases) {
        input = Ref::New<InputContext>(&capture.System());
        Press(U"<Toggle>" + std::u32string(test.keys));
        EXPECT_EQ(input->line, test.line) << "case " << &test - cases;
        EXPECT_EQ(input->cursor, test.cursor) << "case " << &test - cases;
    }
}

TEST_F(InputLine, EnterExecutesNonEmptyLines) {
    Press(U"<Toggle><Enter>");
    EXPECT_TRUE(capture.Lines().empty());
    Press(U"echo \"typed\"<Enter>");
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"echo \"typed\"", "typed"}));
    EXPECT_EQ(input->line, "");
    EXPECT_EQ(input->cursor, 0u);
}

TEST_F(InputLine, IgnoresToggleWhileSlidingAndKeysWhileClosing) {
    Press(U"<Toggle><Toggle>");
    EXPECT_TRUE(input->visible);
    input->Update(0.2f);
    EXPECT_NEAR(input->openness, 0.6f, 1e-6);
    input->Update(0.2f);
    Press(U"<Toggle>x");
    EXPECT_FALSE(input->visible);
    EXPECT_EQ(input->line, "");
    input->Update(0.5f);
    EXPECT_EQ(input->openness, 0.0f);
}

} // namespace
} // namespace Halvo

namespace Halvo {
namespace {

struct Named : Console::Function {
    Named(const char* name, std::uint32_t flags) : Function(name, flags) {}
    bool Execute(std::istream&, std::ostream&) override { return true; }
    void PrintUsage(std::ostream&) override {}
};

// Tab completes as far as the candidates agree and a second Tab lists them; Page Up and Page Down
// scroll the output back and forth by ten lines, never past the oldest, and Enter comes back.
TEST_F(InputLine, TabCompletesAndPagesScroll) {
    Named sound("s_volume", 2), swap("swapdisk", 0), secret("sx_hidden", 1);
    for (Console::Function* function : std::initializer_list<Console::Function*>{&sound, &swap, &secret}) {
        capture.System().RegisterFunction(Ref::Ptr<Console::Function>(function));
    }
    Press(U"<Toggle>s<Tab>");
    EXPECT_EQ(input->line, "s");
    EXPECT_TRUE(capture.Lines().empty());
    Press(U"<Tab>");
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"s_volume  swapdisk"});
    Press(U"w<Tab>");
    EXPECT_EQ(input->line, "swapdisk ");
    EXPECT_EQ(input->cursor, 9u);

    for (int i = 0; i < 25; ++i) {
        capture.System().Output() << "line " << i << std::endl;
    }
    Press(U"<PgUp><PgUp>");
    EXPECT_EQ(input->scrollBack, 20u);
    Press(U"<PgUp><PgUp>");
    EXPECT_EQ(input->scrollBack, static_cast<std::uint32_t>(capture.System().lines.size() - 1));
    Press(U"<PgDn>");
    EXPECT_EQ(input->scrollBack, static_cast<std::uint32_t>(capture.System().lines.size() - 11));
    Press(U"<Enter>");
    EXPECT_EQ(input->scrollBack, 0u);
    for (const char* name : {"s_volume", "swapdisk", "sx_hidden"}) {
        capture.System().UnregisterFunction(name);
    }
}

} // namespace
} // namespace Halvo
