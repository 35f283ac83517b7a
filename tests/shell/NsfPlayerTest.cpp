#include "shell/NsfPlayer.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/NsfIOStrategy.h"
#include "support/NsfBuilder.h"

namespace Halvo {
namespace {

// A track plays for its length at full level, fades out over its fade, and gives way to the next;
// after the last comes the first.
TEST(NsfTracks, PlayForTheirLengthFadeOutAndGiveWayToTheNext) {
    Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
    Nes::RegisterBoards(*manager);
    TestSupport::NsfBuilder nsf;
    nsf.version = 2;
    nsf.songs = 2;
    nsf.program = {0x60};
    nsf.programLength = 1;
    // 500 ms then a 500 ms fade for track 1; track 2 keeps the defaults.
    nsf.appended = TestSupport::NsfeChunk("time", {0xF4, 0x01, 0, 0});
    const auto fade = TestSupport::NsfeChunk("fade", {0xF4, 0x01, 0, 0});
    nsf.appended.insert(nsf.appended.end(), fade.begin(), fade.end());
    const std::vector<std::uint8_t> bytes = nsf.Bytes();
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::unique_ptr<Nes::RomImage> image = Nes::NsfIOStrategy().LoadImage(in, true);
    ASSERT_TRUE(image);
    Ref::Ptr<Nes::Process> process = Nes::Process::Create("Static", image.get());
    ASSERT_TRUE(process);
    process->Reset(true);
    int changes = 0;
    NsfPlayer player([&] { return process.Get(); }, [&] { ++changes; });
    std::ostringstream out;
    const auto frame = [&] {
        process->RunFrame(false);
        std::vector<float> samples(100, 1.0f);
        player.AfterFrame(*process, samples, out);
        return samples;
    };
    for (int i = 0; i < 29; ++i) { // 483 ms
        EXPECT_EQ(frame().back(), 1.0f);
    }
    frame();
    frame();
    std::vector<float> samples;
    for (int i = 0; i < 15; ++i) { // to 765 ms: fading
        samples = frame();
    }
    EXPECT_LT(samples.back(), samples.front());
    EXPECT_NEAR(samples.back(), 1.0 - 265.4 / 500.0, 0.01);
    EXPECT_EQ(changes, 0);
    for (int i = 0; i < 20; ++i) {
        frame();
    }
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(NsfPlayer::Board(process.Get())->Track(), 2u);
    EXPECT_EQ(out.str(), "Track 2 of 2\n");
    // Track 2 plays 3 minutes; the track before the first is the last.
    std::ostringstream said;
    EXPECT_TRUE(player.Play(1, said));
    std::istringstream none;
    for (Console::Function* function : player.Functions()) {
        if (function->name == "nsf_previous") {
            function->Execute(none, said);
        }
    }
    EXPECT_EQ(said.str(), "Track 1 of 2\nTrack 2 of 2\n");
}

} // namespace
} // namespace Halvo
