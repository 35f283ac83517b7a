#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/RomBuilder.h"
#include "support/TempDir.h"

extern char** environ;

namespace Halvo {
namespace {

using namespace std::chrono_literals;

// Whether the condition became true within the limit (it is asked at least once). Under load a fixed
// wait is either too short or wasted: everything here waits for what it needs.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 15s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// Waits up to `limit` for the process to end; its exit code, or -1 when it did not end in time.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    int exitCode = -1;
    WaitUntil(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid) {
                return false;
            }
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        },
        limit);
    return exitCode;
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
        // Xvfb picks a free display and writes its number once it takes connections, so that tests running
        // side by side never share a server. The shell hands its pid on to Xvfb.
        serverOutput =
            popen("echo $$; exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null", "re");
        ASSERT_NE(serverOutput, nullptr);
        char line[32] = {};
        ASSERT_TRUE(fgets(line, sizeof line, serverOutput));
        server = std::stoi(line);
        ASSERT_TRUE(fgets(line, sizeof line, serverOutput)) << "Xvfb did not start";
        line[std::strcspn(line, "\n")] = '\0';
        // For the program and the X tools this test starts.
        setenv("DISPLAY", (":" + std::string(line)).c_str(), 1);
        // System libraries (X, D-Bus, fontconfig) keep memory until exit; the leak check is for our code,
        // which the other tests cover.
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    }

    void TearDown() override {
        if (program > 0 && WaitFor(program, 0ms) == -1) {
            kill(program, SIGKILL);
            WaitFor(program, 2s);
        }
        if (server > 0) {
            kill(server, SIGTERM);
        }
        if (serverOutput) {
            pclose(serverOutput);
        }
    }

    std::string X(const std::string& command) { return Output(command + " 2>/dev/null"); }

    // Starts the program in the test's folder and gives its window, once it is shown.
    std::string Start(std::vector<std::string> arguments) {
        TestSupport::CurrentDir here(dir.Path());
        const TestSupport::ScopedEnvironment config("XDG_CONFIG_HOME", dir.Path("config"));
        arguments.insert(arguments.begin(), HALVO_EXECUTABLE);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&program, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            program = -1;
        }
        const std::string found = X("timeout 15 xdotool search --sync --onlyvisible --name Halvo");
        return found.substr(0, found.find('\n'));
    }

    void Key(const std::string& key) { X("xdotool keydown " + key + "; sleep 0.1; xdotool keyup " + key); }
    void Type(const std::string& line) {
        X("xdotool type --delay 30 '" + line + "'");
        Key("Return");
    }

    std::string Log() const { return TestSupport::ReadFile(dir.Path("halvo.log")); }

    // The colour at the middle of the screen as 0xRRGGBB, or -1 when no picture could be taken.
    long MiddleOfScreen() {
        // "0,0: (255,0,0)  #FF0000  red" after a header line.
        const std::string pixel = X("import -window root -crop 1x1+512+384 -depth 8 txt:-");
        const std::size_t hash = pixel.find('#', pixel.find("0,0:"));
        return hash == std::string::npos ? -1 : std::stol(pixel.substr(hash + 1, 6), nullptr, 16);
    }

    // Ends the program with Escape; its exit code.
    int Quit() {
        Key("Escape");
        const int exitCode = WaitFor(program, 15s);
        program = exitCode == -1 ? program : -1;
        return exitCode;
    }

    TestSupport::TempDir dir;
    FILE* serverOutput = nullptr;
    pid_t server = -1;
    pid_t program = -1;
};

// The game in a window, the console over it, and full screen: without a window manager nobody moves a
// window that goes full screen, so it must cover the display from its origin wherever the window was.
TEST_F(RealWindow, ShowsTheGameTakesConsoleInputGoesFullScreenAndQuitsOnEscape) {
    const std::string rom = dir.Path("red.nes").string();
    TestSupport::BackdropProgram(0x16).Write(rom);
    const std::string window = Start({rom, "+g_windowed", "on"});
    ASSERT_FALSE(window.empty()) << "no window named Halvo appeared";

    // The picture: the game's red backdrop fills the middle of the screen.
    long middle = -1;
    EXPECT_TRUE(WaitUntil([&] {
        middle = MiddleOfScreen();
        return middle > 0 && (middle >> 16) > 0x80 && (middle >> 8 & 0xFF) < 0x40;
    })) << std::hex
        << middle;

    const auto geometry = [&] { return X("xdotool getwindowgeometry " + window); };
    X("xdotool windowmove " + window + " 100 80");
    ASSERT_TRUE(WaitUntil([&] { return geometry().find("Position: 100,80") != std::string::npos; }))
        << geometry();
    X("xdotool windowfocus --sync " + window);
    Key("grave");
    Type("echo \"hello\"");
    EXPECT_TRUE(WaitUntil([&] { return Log().find("\nhello\n") != std::string::npos; })) << Log();
    Type("g_windowed off");
    Type("g_apply");
    EXPECT_TRUE(WaitUntil([&] {
        const std::string now = geometry();
        return now.find("Position: 0,0") != std::string::npos &&
               now.find("Geometry: 1024x768") != std::string::npos;
    })) << geometry();
    // Leaving full screen, the window comes back at its own size and place.
    Type("g_togglefullscreen");
    EXPECT_TRUE(WaitUntil([&] {
        const std::string now = geometry();
        return now.find("Position: 100,80") != std::string::npos &&
               now.find("Geometry: 640x480") != std::string::npos;
    })) << geometry();
    EXPECT_EQ(Quit(), 0);
    // ... and so it does at the next start.
    EXPECT_NE(TestSupport::ReadFile(dir.Path("config/halvo/config.cfg")).find("@g_window = 100,80,640,480"),
              std::string::npos);
}

// With no display the log says so first, as the troubleshooting notes promise.
TEST(NoDisplay, TheLogSaysThereIsNone) {
    TestSupport::TempDir dir;
    const std::string exitCode =
        Output("cd '" + dir.Path().string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
               "ASAN_OPTIONS=detect_leaks=0 timeout 30 " + HALVO_EXECUTABLE + " 2>/dev/null; echo $?");
    EXPECT_EQ(exitCode, "1\n");
    const std::string log = TestSupport::ReadFile(dir.Path("halvo.log"));
    // The first line after the session's start line.
    EXPECT_EQ(log.find("\nException caught: Could not initialise SDL video. -- "), log.find('\n')) << log;
}

} // namespace
} // namespace Halvo
