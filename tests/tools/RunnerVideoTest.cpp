#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/Region.h"
#include "support/MediaProbe.h"
#include "support/RomBuilder.h"
#include "support/RunnerRun.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

class RunnerVideo : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TestSupport::HaveFfmpegTools()) {
            GTEST_SKIP() << "ffprobe and ffmpeg (Debian's ffmpeg package) are not installed";
        }
        TestSupport::ToneProgram().Write(Rom());
    }

    std::string Rom() const { return dir.Path("tone.nes").string(); }

    int Run(const std::vector<std::string>& arguments) { return TestSupport::RunRunner(arguments, out, err); }

    // N frames at the console's exact rate: that many pictures, and picture and sound both as long as
    // the frames, within one frame.
    void ExpectFrames(const std::string& file, std::size_t frames, Nes::Region region) {
        const Nes::FramePeriod period = Nes::ExactFramePeriod(region);
        const double frameSeconds =
            static_cast<double>(period.numerator) / static_cast<double>(period.denominator);
        const double length = static_cast<double>(frames) * frameSeconds;
        const TestSupport::StreamExtent picture = TestSupport::ProbeStream(file, "v:0");
        const TestSupport::StreamExtent sound = TestSupport::ProbeStream(file, "a:0");
        EXPECT_EQ(picture.packets, frames) << file;
        EXPECT_NEAR(picture.end, length, frameSeconds) << file;
        EXPECT_NEAR(sound.end, length, frameSeconds) << file;
    }

    // MP4 keeps the frame rate as the exact fraction (Matroska counts in milliseconds).
    static std::string FrameRate(const std::string& file) {
        return TestSupport::CommandOutput("ffprobe -v error -select_streams v:0 -show_entries "
                                          "stream=avg_frame_rate -of csv=p=0 '" +
                                          file + "'");
    }

    TestSupport::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(RunnerVideo, RecordsEveryFrameAtTheConsolesExactRate) {
    const std::string mkv = dir.Path("run.mkv").string();
    ASSERT_EQ(Run({Rom(), "--frames", "300", "--video", mkv}), 0) << err.str();
    EXPECT_EQ(TestSupport::ProbeCodecs(mkv), "ffv1,flac");
    ExpectFrames(mkv, 300, Nes::Region::Ntsc);

    const std::string mp4 = dir.Path("run.mp4").string();
    ASSERT_EQ(Run({Rom(), "--frames", "300", "--video", mp4}), 0) << err.str();
    EXPECT_EQ(TestSupport::ProbeCodecs(mp4), "h264,aac");
    ExpectFrames(mp4, 300, Nes::Region::Ntsc);
    EXPECT_EQ(FrameRate(mp4), "39375000/655171\n");

    const std::string pal = dir.Path("pal.mkv").string();
    ASSERT_EQ(Run({Rom(), "--frames", "250", "--region", "pal", "--video", pal}), 0) << err.str();
    ExpectFrames(pal, 250, Nes::Region::Pal);
    // Nothing but the finished files is left.
    EXPECT_FALSE(std::filesystem::exists(mkv + ".part"));
}

// The lossless file holds the machine's pictures exactly, each frame its own.
TEST_F(RunnerVideo, TheLosslessFileHoldsTheMachinesPictures) {
    Tools::HeadlessMachine machine;
    ASSERT_TRUE(machine.Load(Rom()));
    const std::string mkv = dir.Path("pictures.mkv").string();
    std::string error;
    ASSERT_TRUE(machine.RecordVideo(mkv, error)) << error;
    machine.RunFrames(40);
    const std::vector<std::uint8_t> fortieth = machine.Picture();
    machine.RunFrames(1);
    const std::vector<std::uint8_t> last = machine.Picture();
    ASSERT_NE(fortieth, last);
    ASSERT_TRUE(machine.EndVideo(error)) << error;
    EXPECT_EQ(TestSupport::DecodedFrame(mkv, 39), std::string(fortieth.begin(), fortieth.end()));
    EXPECT_EQ(TestSupport::DecodedFrame(mkv, 40), std::string(last.begin(), last.end()));
}

TEST_F(RunnerVideo, AnUnknownExtensionIsRefusedWithNothingLeftBehind) {
    EXPECT_EQ(Run({Rom(), "--frames", "5", "--video", dir.Path("run.avi").string()}),
              Tools::ExitBadArguments);
    EXPECT_NE(err.str().find("cannot record " + dir.Path("run.avi").string() +
                             ": the name must end in .mkv (FFV1 picture, FLAC sound) or .mp4"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({Rom(), "--frames", "5", "--video", dir.Path("missing/run.mkv").string()}),
              Tools::ExitBadArguments);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u); // the program alone
}

} // namespace
} // namespace Halvo
