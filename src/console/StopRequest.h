#pragma once

namespace Halvo::Console {

// A request to end the program, made by SIGINT or SIGTERM. The handler only records the signal; the
// console checks it between any two script lines and the main loop at every turn, so a program busy
// with a script still ends promptly. A second signal while the first is pending ends the program at once.
// SIGXFSZ is ignored, so that a file-size limit makes writes fail instead of ending the program.
void InstallStopSignalHandlers();

// The signal that asked the program to end, or 0.
int StopSignal();
inline bool StopRequested() {
    return StopSignal() != 0;
}

// Records a request as the handler does (and lets tests make one without a signal).
void RequestStop(int signal);
void ClearStopRequest();

} // namespace Halvo::Console
