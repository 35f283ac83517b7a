#include "shell/Rewind.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/state/SaveState.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes StateOf(Nes::Process& process) {
    Bytes state;
    Nes::SaveState::WriteMachine(process, state);
    return state;
}

class Rewinding : public testing::Test {
protected:
    void SetUp() override {
        const std::string path = folder.Path("banking.nes").string();
        TestSupport::BankingProgram(4).Write(path);
        ASSERT_TRUE(machine.Load(path));
        machine.process->apu->SetSynthesis(true);
    }

    // Frames forwards through the rewind, each frame's state kept for comparing.
    void Play(std::uint32_t frames) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            rewind.RunFrame(*machine.process, true, 60);
            played.push_back(StateOf(*machine.process));
        }
    }

    TestSupport::TempDir folder;
    Tools::HeadlessMachine machine;
    Rewind rewind;
    std::vector<Bytes> played;
};

// Held for K frames, the rewind leaves the machine as it was K frames before; released, the game goes
// on from there and is recorded anew.
TEST_F(Rewinding, HeldForKFramesGivesTheMachineOfKFramesBefore) {
    Play(80);
    std::size_t now = played.size() - 1;
    for (const std::uint32_t k : {1u, 5u, 40u}) {
        SCOPED_TRACE(k);
        rewind.held = true;
        for (std::uint32_t i = 0; i < k; ++i) {
            rewind.RunFrame(*machine.process, true, 60);
        }
        now -= k;
        EXPECT_TRUE(StateOf(*machine.process) == played[now]);
        rewind.held = false;
    }
    played.resize(now + 1);
    Play(3);
    rewind.held = true;
    rewind.RunFrame(*machine.process, true, 60);
    EXPECT_TRUE(StateOf(*machine.process) == played[played.size() - 2]);
}

// The past kept stops at rewind_seconds and within the memory allowed, over a long run too; 0 seconds
// records nothing.
TEST_F(Rewinding, KeepsWithinItsSecondsAndMemory) {
    const struct {
        unsigned int seconds;
        std::size_t bytesPer30Seconds;
        std::uint32_t frames;
        std::size_t framesKept; // 0: fewer than were played, as memory ran out
    } cases[] = {
        {1, Rewind::BytesPer30Seconds, 90, 60},
        {0, Rewind::BytesPer30Seconds, 10, 0},
        {30, 120 * 1024, 300, 0},
        {30, Rewind::BytesPer30Seconds, 1850, 1800},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.frames);
        rewind.seconds.value = row.seconds;
        rewind.bytesPer30Seconds = row.bytesPer30Seconds;
        rewind.Forget();
        Play(row.frames);
        EXPECT_LE(rewind.buffer.Bytes(), row.seconds * row.bytesPer30Seconds / 30);
        if (row.framesKept || !row.seconds) {
            EXPECT_EQ(rewind.buffer.Frames(), row.framesKept);
        } else {
            EXPECT_LT(rewind.buffer.Frames(), row.frames - 1);
            EXPECT_GT(rewind.buffer.Frames(), 10u);
        }
    }
}

} // namespace
} // namespace Halvo
