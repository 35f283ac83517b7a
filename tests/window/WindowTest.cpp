#include <chrono>
#include <cstdio>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <png.h>

#include <gtest/gtest.h>

#include "support/RomBuilder.h"
#include "support/TempDir.h"

extern char** environ;

namespace Halvo {
namespace {

using namespace std::chrono_literals;

// Starts a program; gives its pid.
pid_t Spawn(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Waits up to `limit` (looking at least once) for the process to end; its exit code, or -1 when it did
// not end in time.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < end);
    return -1;
}

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) {
            text += buffer;
        }
        pclose(pipe);
    }
    return text;
}

// The program in a window on an X server of its own.
class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* command : {"Xvfb", "xdotool", "import"}) {
            if (X("command -v " + std::string(command)).empty()) {
                GTEST_SKIP() << command
                             << " is not installed: the window test needs Xvfb, xdotool and imagemagick";
            }
        }
        display = ":" + std::to_string(40 + getpid() % 50);
        server = Spawn({"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        // For the program and the X tools this test starts.
        setenv("DISPLAY", display.c_str(), 1);
        ASSERT_GT(server, 0);
        std::this_thread::sleep_for(1s);
    }

    void TearDown() override {
        if (program > 0 && WaitFor(program, 0ms) == -1) {
            kill(program, SIGKILL);
            WaitFor(program, 2s);
        }
        if (server > 0) {
            kill(server, SIGTERM);
            WaitFor(server, 2s);
        }
    }

    std::string X(const std::string& command) { return Output(command + " 2>/dev/null"); }

    void Key(const std::string& key) {
        X("xdotool keydown " + key + "; sleep 0.1; xdotool keyup " + key + "; sleep 0.1");
    }

    TestSupport::TempDir dir;
    std::string display;
    pid_t server = -1;
    pid_t program = -1;
};

TEST_F(RealWindow, ShowsTheGameTakesConsoleInputAndQuitsOnEscape) {
    const std::string rom = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(rom);
    TestSupport::CurrentDir here(dir.Path());
    // System libraries (X, D-Bus, fontconfig) keep memory until exit; the leak check is for our code,
    // which the other tests cover.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    program = Spawn({HALVO_EXECUTABLE, rom, "+g_windowed", "on"});
    ASSERT_GT(program, 0);

    const std::string window = X("timeout 10 xdotool search --sync --name Halvo");
    ASSERT_FALSE(window.empty()) << "no window named Halvo appeared";
    std::this_thread::sleep_for(1s);

    // The picture: the game's red backdrop fills the middle of the screen.
    const std::string shot = dir.Path("shot.png").string();
    X("import -window root " + shot);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, shot.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    const std::size_t middle =
        (static_cast<std::size_t>(image.height / 2) * image.width + image.width / 2) * 3;
    EXPECT_GT(pixels[middle], 0x80);
    EXPECT_LT(pixels[middle + 1], 0x40);

    X("xdotool windowfocus --sync " + window.substr(0, window.find('\n')));
    Key("grave");
    X("xdotool type --delay 30 'echo \"hello\"'");
    Key("Return");
    std::this_thread::sleep_for(300ms);
    Key("Escape");
    const int exitCode = WaitFor(program, 5s);
    program = exitCode == -1 ? program : -1;
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(TestSupport::ReadFile(dir.Path("halvo.log")).find("\nhello\n"), std::string::npos);
}

} // namespace
} // namespace Halvo
