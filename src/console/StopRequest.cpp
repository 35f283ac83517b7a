#include "console/StopRequest.h"

#include <csignal>

namespace Halvo::Console {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    if (stopSignal != 0) {
        // Asked twice: whatever the program is doing does not reach a point where it looks.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stopSignal = signal;
}

} // namespace

void InstallStopSignalHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    // A write beyond a file-size limit (ulimit -f) fails with EFBIG and is reported like a full disk,
    // instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
}

int StopSignal() {
    return stopSignal;
}

void RequestStop(int signal) {
    stopSignal = signal;
}

void ClearStopRequest() {
    stopSignal = 0;
}

} // namespace Halvo::Console
