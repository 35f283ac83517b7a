#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/sdl/SdlBridge.h"
#include "nes/Region.h"
#include "shell/HalvoShell.h"
#include "support/ConsoleCapture.h"
#include "support/HeadlessSdl.h"
#include "support/MediaProbe.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// Recording from the emulator shell over SDL's headless display.
class ShellRecording : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::UseHeadlessSdl();
        App::Bridge::SetFactory([]() -> App::Bridge* { return Ref::New<App::SdlBridge>(); });
        try {
            bridge = App::Bridge::Instance();
        } catch (const std::exception& e) {
            GTEST_SKIP() << "SDL cannot start a display here: " << e.what();
        }
        if (bridge->GetDriverCount() == 0) {
            GTEST_SKIP() << "SDL offers no display here";
        }
        shell = HalvoShell::Instance(bridge.Get());
        TestSupport::BackdropProgram(0x16).Write(dir.Path("red.nes").string());
    }

    void TearDown() override {
        if (shell) {
            shell->Terminate();
        }
        shell = nullptr;
        bridge = nullptr;
        App::Bridge::SetFactory(nullptr);
    }

    void Type(const std::string& line) { shell->console->Execute(line); }

    // Turns of the main loop a frame's time apart.
    void Play(int turns) {
        shell->active = true;
        for (int turn = 0; turn < turns; ++turn) {
            shell->GetTimer()->absoluteTime += 1 / 60.0;
            shell->OnIdle();
        }
    }

    // The frame count of the "Recording written to" line.
    std::size_t FramesWritten() const {
        for (const std::string& line : capture.Lines()) {
            if (line.rfind("Recording written to ", 0) == 0) {
                const std::size_t colon = line.find(": ");
                return std::stoul(line.substr(colon + 2));
            }
        }
        ADD_FAILURE() << "no recording was written";
        return 0;
    }

    bool HasError(const std::string& operation, const std::string& message) const {
        const std::vector<std::string> lines = capture.ErrorLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](auto& line) { return TestSupport::IsReport(line, operation, message); });
    }

    TestSupport::TempDir dir;
    TestSupport::CurrentDir here{dir.Path()};
    TestSupport::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.Path("config")};
    TestSupport::ScopedEnvironment data{"XDG_DATA_HOME", dir.Path("data")};
    TestSupport::ConsoleCapture capture;
    Ref::Ptr<App::Bridge> bridge;
    Ref::Ptr<HalvoShell> shell;
};

// record_video takes every frame the machine runs, fast forward too, while the screen goes on showing
// the game; record_stop finishes the file.
TEST_F(ShellRecording, RecordsEveryFrameRunWhileTheScreenShowsIt) {
    if (!TestSupport::HaveFfmpegTools()) {
        GTEST_SKIP() << "ffprobe and ffmpeg (Debian's ffmpeg package) are not installed";
    }
    ASSERT_TRUE(shell->Initiate({dir.Path("red.nes").string(), "+g_windowed", "on"}));
    Type("record_video \"play.mkv\"");
    EXPECT_EQ(capture.LastLine(), "Recording play.mkv (FFV1 and FLAC in Matroska).");
    Play(20);
    Type("+fastforward");
    Play(10);
    Type("-fastforward");
    Type("g_filter scanlines"); // a new canvas while recording
    Play(10);
    // The screen still shows the game.
    std::vector<std::uint8_t> rgb;
    std::uint32_t width = 0, height = 0;
    shell->driver->Clear(0, 0, 0, 1);
    shell->canvas->Draw(shell->displayRect);
    ASSERT_TRUE(shell->driver->CaptureFrame(rgb, width, height));
    const std::size_t middle = (static_cast<std::size_t>(height / 2) * width + width / 2) * 3;
    EXPECT_GT(rgb[middle], 2 * rgb[middle + 1]);
    capture.Clear();
    Type("record_stop");
    const std::size_t frames = FramesWritten();
    // Fast forward ran several frames a turn.
    EXPECT_GT(frames, 60u);
    EXPECT_EQ(TestSupport::ProbeStream("play.mkv", "v:0").packets, frames);
    const double frameSeconds = 655171.0 / 39375000.0;
    EXPECT_NEAR(TestSupport::ProbeStream("play.mkv", "a:0").end, static_cast<double>(frames) * frameSeconds,
                frameSeconds);
    // The recorded picture is the game's own: red all over.
    const std::string last = TestSupport::DecodedFrame("play.mkv", frames - 1);
    ASSERT_EQ(last.size(), 256u * 240 * 3);
    EXPECT_GT(static_cast<std::uint8_t>(last[120 * 256 * 3 + 128 * 3]),
              2 * static_cast<std::uint8_t>(last[120 * 256 * 3 + 128 * 3 + 1]));
    capture.Clear();
    Type("record_stop");
    EXPECT_EQ(capture.LastLine(), "Nothing is being recorded.");
}

// A program that shows another backdrop colour every frame: each NMI starts it again at $8000, where it
// steps the colour (through $10-$17) and waits for the next.
void WriteColourStepper(const std::string& path) {
    TestSupport::RomBuilder rom;
    rom.program = {
        0xE6, 0x00,                   // INC $00
        0xA9, 0x3F, 0x8D, 0x06, 0x20, // LDA #$3F, STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20, // LDA #$00, STA $2006
        0xA5, 0x00, 0x29, 0x07,       // LDA $00, AND #$07
        0x09, 0x10, 0x8D, 0x07, 0x20, // ORA #$10, STA $2007
        0xA9, 0x80, 0x8D, 0x00, 0x20, // LDA #$80, STA $2000: NMI on
        0x4C, 0x1A, 0x80,             // JMP $801A (itself)
    };
    rom.Write(path);
}

// Frames that run several to a turn (fast forward, catching up) are each drawn for the recording,
// though the screen shows only the last.
TEST_F(ShellRecording, EachFrameRunIsRecordedAsItsOwn) {
    if (!TestSupport::HaveFfmpegTools()) {
        GTEST_SKIP() << "ffprobe and ffmpeg (Debian's ffmpeg package) are not installed";
    }
    WriteColourStepper(dir.Path("steps.nes").string());
    ASSERT_TRUE(shell->Initiate({dir.Path("steps.nes").string(), "+g_windowed", "on"}));
    Type("record_video \"steps.mkv\"");
    Type("+fastforward");
    Play(6);
    Type("-fastforward");
    capture.Clear();
    Type("record_stop");
    const std::size_t frames = FramesWritten();
    EXPECT_GT(frames, 12u);
    // One checksum a frame: no frame repeats the one before it.
    const std::string sums =
        TestSupport::CommandOutput("ffmpeg -v error -i steps.mkv -map 0:v -f framemd5 -");
    std::istringstream lines(sums);
    std::string line;
    std::string previous;
    std::size_t seen = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::string sum = line.substr(line.rfind(',') + 1);
        EXPECT_NE(sum, previous) << "frame " << seen;
        previous = sum;
        ++seen;
    }
    EXPECT_EQ(seen, frames);
}

// record_wav writes the sound alone at 48000 Hz, exactly the frames' share, with the game's sound also
// while fast forward or "s_enabled off" keep the speaker silent; unloading the game ends it.
TEST_F(ShellRecording, SoundAloneEndsWithItsGame) {
    TestSupport::ToneProgram().Write(dir.Path("tone.nes").string());
    ASSERT_TRUE(shell->Initiate({dir.Path("tone.nes").string(), "+g_windowed", "on"}));
    for (const char* silenced : {"+fastforward", "s_enabled off"}) {
        capture.Clear();
        Type("record_wav \"sound.wav\"");
        EXPECT_EQ(capture.LastLine(), "Recording the sound to sound.wav.");
        Play(10);
        Type(silenced);
        Play(30);
        capture.Clear();
        Type("record_stop");
        Type("-fastforward");
        const std::size_t frames = FramesWritten();
        EXPECT_GE(frames, 40u);
        std::ifstream wav("sound.wav", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(wav)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 44u);
        const auto word = [&](std::size_t at) {
            return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at]) |
                                              static_cast<std::uint8_t>(bytes[at + 1]) << 8 |
                                              static_cast<std::uint8_t>(bytes[at + 2]) << 16 |
                                              static_cast<std::uint8_t>(bytes[at + 3]) << 24);
        };
        EXPECT_EQ(word(24), 48000u);
        const std::size_t samples = (bytes.size() - 44) / 2;
        EXPECT_EQ(samples, frames * 48000 * 655171 / 39375000);
        // The tone goes on through the silenced part (the last quarter lies well inside it), not a level
        // held over frames without sound.
        int low = 32767;
        int high = -32768;
        for (std::size_t i = samples * 3 / 4; i < samples; ++i) {
            const auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[44 + 2 * i]) |
                                                         static_cast<std::uint8_t>(bytes[45 + 2 * i]) << 8);
            low = std::min(low, static_cast<int>(value));
            high = std::max(high, static_cast<int>(value));
        }
        EXPECT_GT(high - low, 4000) << silenced;
    }
    Type("s_enabled on");
    Type("record_wav \"end.wav\"");
    Play(5);
    capture.Clear();
    Type("unloadrom");
    EXPECT_GE(FramesWritten(), 5u);
}

TEST_F(ShellRecording, RefusesWhatItCannotRecord) {
    ASSERT_TRUE(shell->Initiate({"+g_windowed", "on"}));
    Type("record_video \"x.mkv\"");
    EXPECT_TRUE(HasError("Halvo::Recording::Start", "No game to record."));
    Type("loadrom \"" + dir.Path("red.nes").string() + "\"");
    capture.Clear();
    Type("record_video \"x.avi\"");
    EXPECT_TRUE(
        HasError("Halvo::Recording::Start",
                 "Cannot record to x.avi: the name must end in .mkv (FFV1 picture, FLAC sound) or .mp4 "
                 "(H.264 picture, AAC sound)."))
        << capture.LastLine();
    EXPECT_FALSE(std::filesystem::exists("x.avi"));
    EXPECT_FALSE(std::filesystem::exists("x.avi.part"));
    Type("record_wav \"one.wav\"");
    Type("record_video \"two.mkv\"");
    EXPECT_TRUE(HasError("Halvo::Recording::Start", "Already recording one.wav; record_stop ends it."));
    Play(5);
    // Quitting finishes the recording.
    shell->Terminate();
    EXPECT_GT(std::filesystem::file_size("one.wav"), 44u);
    EXPECT_FALSE(std::filesystem::exists("two.mkv"));
}

} // namespace
} // namespace Halvo
