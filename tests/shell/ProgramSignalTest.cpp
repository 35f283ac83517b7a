// The halvo program as a child process, ended by a signal.
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/ChildProgram.h"
#include "support/HeadlessSdl.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using namespace std::chrono_literals;

#ifdef HALVO_EXECUTABLE

// The exit code, 128 + the signal that killed it, or -1 when the program did not end in time.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < end);
    return -1;
}

// SIGTERM or SIGINT ends the program promptly, in the middle of a script that would otherwise run for
// a long time, and in the main loop.
TEST(ProgramSignals, EndTheProgramBetweenScriptLinesAndInTheMainLoop) {
    TestSupport::UseHeadlessSdl();
    // The font library keeps a few allocations to the end; the program's own leaks are the unit tests'.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    const struct {
        int signal;
        std::vector<std::string> arguments;
        const char* runningWhen; // the log holds this once the program is where the signal should land
        const char* stoppedLine; // the log holds this after the signal
    } cases[] = {
        {SIGTERM,
         {"+run", "self.cfg"},
         "run self.cfg\n",
         "Stopped running self.cfg: the program was asked to end.\n"},
        {SIGINT, {"+g_windowed", "on"}, "Type loadrom", "Ending on signal 2.\n"},
        // A FIFO nobody writes to is refused at once rather than waited on, so the signal is seen.
        {SIGTERM, {"fifo.nes"}, "Not a regular file", "Ending on signal 15.\n"},
        {SIGTERM, {"+run", "fifo.cfg", "+echo", "\"after\""}, "after\n", "Ending on signal 15.\n"},
    };
    for (const auto& c : cases) {
        TestSupport::TempDir dir;
        TestSupport::CurrentDir here(dir.Path());
        const TestSupport::ScopedEnvironment config("XDG_CONFIG_HOME", dir.Path("config"));
        // Each script runs itself three times with echo on: tens of millions of lines but for the
        // budget of a run, and seconds of work even within it.
        dir.Write("self.cfg", "run self.cfg\nrun self.cfg\nrun self.cfg\n");
        ASSERT_EQ(mkfifo(dir.Path("fifo.nes").c_str(), 0600), 0);
        ASSERT_EQ(mkfifo(dir.Path("fifo.cfg").c_str(), 0600), 0);
        const pid_t pid = TestSupport::Spawn(HALVO_EXECUTABLE, c.arguments);
        ASSERT_NE(pid, -1);

        const auto log = dir.Path("halvo.log");
        const auto giveUp = std::chrono::steady_clock::now() + 30s;
        while (TestSupport::ReadFile(log).find(c.runningWhen) == std::string::npos &&
               std::chrono::steady_clock::now() < giveUp && WaitFor(pid, 0ms) == -1) {
            std::this_thread::sleep_for(5ms);
        }
        kill(pid, c.signal);
        const int exitCode = WaitFor(pid, 5s);
        if (exitCode == -1) {
            kill(pid, SIGKILL);
            WaitFor(pid, 5s);
        }
        EXPECT_EQ(exitCode, 128 + c.signal) << c.runningWhen;
        const std::string text = TestSupport::ReadFile(log);
        EXPECT_NE(text.find(c.stoppedLine), std::string::npos)
            << text.substr(text.size() - std::min<std::size_t>(text.size(), 500));
        EXPECT_NE(text.find("Ending on signal " + std::to_string(c.signal) + ".\n"), std::string::npos);
        EXPECT_EQ(text.find("one run may read at most"), std::string::npos);
    }
}

#endif

} // namespace
} // namespace Halvo
