#include "console/InputContext.h"

#include <gtest/gtest.h>

#include "console/ConsoleKey.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using namespace Console;

class InputLine : public ::testing::Test {
protected:
    InputLine() : input(Ref::New<InputContext>(&capture.System())) { capture.System().history.clear(); }

    void Open() {
        input->OnKey(ToggleKey, 0);
        input->Update(1.0f);
        ASSERT_EQ(input->slideSpeed, 0.0f);
    }
    void Type(const std::string& text) {
        for (char c : text) {
            input->OnKey(TypedCharacter, c);
        }
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<InputContext> input;
};

TEST_F(InputLine, SlidesOpenAndClosedAndIgnoresToggleWhileSliding) {
    input->OnKey(ToggleKey, 0);
    EXPECT_TRUE(input->visible);
    EXPECT_EQ(input->slideSpeed, 3.0f);
    input->OnKey(ToggleKey, 0); // still sliding: ignored
    EXPECT_TRUE(input->visible);
    input->Update(0.2f);
    EXPECT_NEAR(input->openness, 0.6f, 1e-6);
    input->Update(0.2f);
    EXPECT_EQ(input->openness, 1.0f);
    EXPECT_EQ(input->slideSpeed, 0.0f);

    input->OnKey(ToggleKey, 0);
    EXPECT_FALSE(input->visible);
    // Keys typed while closing are ignored.
    Type("x");
    EXPECT_EQ(input->line, "");
    input->Update(0.5f);
    EXPECT_EQ(input->openness, 0.0f);
    EXPECT_EQ(input->slideSpeed, 0.0f);
}

TEST_F(InputLine, CursorBlinksEveryFourTenths) {
    input->Update(0.2f);
    EXPECT_FALSE(input->cursorShown);
    input->Update(0.2f);
    EXPECT_TRUE(input->cursorShown);
    EXPECT_EQ(input->blinkTime, 0.0f);
    input->Update(0.5f);
    EXPECT_FALSE(input->cursorShown);
}

TEST_F(InputLine, EditsInInsertAndOverwriteMode) {
    Open();
    Type("helo");
    input->OnKey(LeftKey, 0);
    Type("l");
    EXPECT_EQ(input->line, "hello");
    EXPECT_EQ(input->cursor, 4u);

    input->OnKey(InsertKey, 0);
    input->OnKey(HomeKey, 0);
    Type("J");
    EXPECT_EQ(input->line, "Jello");
    input->OnKey(EndKey, 0);
    Type("!"); // overwrite at the end appends
    EXPECT_EQ(input->line, "Jello!");

    input->OnKey(HomeKey, 0);
    input->OnKey(BackspaceKey, 0); // at 0: nothing
    input->OnKey(LeftKey, 0);      // not below 0
    EXPECT_EQ(input->cursor, 0u);
    input->OnKey(DeleteKey, 0);
    EXPECT_EQ(input->line, "ello!");
    input->OnKey(EndKey, 0);
    input->OnKey(DeleteKey, 0); // at the end: nothing
    input->OnKey(RightKey, 0);  // not past the end
    EXPECT_EQ(input->cursor, 5u);
    input->OnKey(BackspaceKey, 0);
    EXPECT_EQ(input->line, "ello");
    EXPECT_EQ(input->cursor, 4u);
}

TEST_F(InputLine, EnterExecutesNonEmptyLines) {
    Open();
    input->OnKey(EnterKey, 0);
    EXPECT_TRUE(capture.Lines().empty());
    Type("echo \"typed\"");
    input->OnKey(EnterKey, 0);
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"echo \"typed\"", "typed"}));
    EXPECT_EQ(input->line, "");
    EXPECT_EQ(input->cursor, 0u);
}

TEST_F(InputLine, WalksTheHistoryAndResetsTheWalkOnEdits) {
    Open();
    input->OnKey(UpKey, 0); // empty history: nothing to show
    EXPECT_EQ(input->historyIndex, -1);
    EXPECT_EQ(input->line, "");

    capture.System().Execute("@echo \"older\"");
    capture.System().Execute("@echo \"newer\"");
    Type("mine");
    input->OnKey(UpKey, 0);
    EXPECT_EQ(input->line, "@echo \"newer\"");
    EXPECT_EQ(input->cursor, input->line.size());
    input->OnKey(UpKey, 0);
    EXPECT_EQ(input->line, "@echo \"older\"");
    input->OnKey(UpKey, 0); // no older entry
    EXPECT_EQ(input->historyIndex, 1);
    input->OnKey(DownKey, 0);
    EXPECT_EQ(input->line, "@echo \"newer\"");
    input->OnKey(DownKey, 0);
    EXPECT_EQ(input->line, "");
    EXPECT_EQ(input->historyIndex, -1);

    // Page keys and Tab leave the walk where it is; a cursor key starts it again.
    input->OnKey(UpKey, 0);
    input->OnKey(UpKey, 0);
    input->OnKey(PageUpKey, 0);
    input->OnKey(TabKey, 0);
    EXPECT_EQ(input->historyIndex, 1);
    input->OnKey(HomeKey, 0);
    EXPECT_EQ(input->historyIndex, -1);
    input->OnKey(UpKey, 0);
    EXPECT_EQ(input->line, "@echo \"newer\"");
}

TEST_F(InputLine, IgnoresUnknownKeyCodes) {
    Open();
    Type("a");
    input->OnKey(16, 'b');
    input->OnKey(99, 'b');
    EXPECT_EQ(input->line, "a");
}

} // namespace
} // namespace Halvo
