#include "app/Shell.h"

#include "console/StopRequest.h"
#include "console/System.h"

namespace Halvo::App {

Shell::Shell(Bridge* bridge) : bridge(bridge) {}

Shell::~Shell() {
    // Released in the order window, timer, bridge.
    window.Reset();
    timer.Reset();
    bridge.Reset();
    if (instance == this) {
        instance = nullptr;
    }
}

bool Shell::Initiate(const std::vector<std::string>& arguments) {
    if (initiated) {
        return true;
    }
    timer = bridge->CreateTimer();
    if (!timer) {
        Console::ReportError("Halvo::App::Shell::Initiate", __LINE__)
            << "Could not create timer object!" << std::endl;
        return false;
    }
    window = bridge->CreateWindow(this);
    if (!window) {
        Console::ReportError("Halvo::App::Shell::Initiate", __LINE__)
            << "Could not create window object!" << std::endl;
        return false;
    }
    if (OnInitiate(arguments)) {
        initiated = true;
        return true;
    }
    Console::ReportError("Halvo::App::Shell::Initiate", __LINE__)
        << "Could not initiate application!" << std::endl;
    return false;
}

void Shell::Terminate() {
    if (!initiated) {
        return;
    }
    // Cleared first: the window may call Terminate again while it is being released.
    initiated = false;
    OnTerminate();
    window.Reset();
    timer.Reset();
}

std::int32_t Shell::Run() {
    while (Turn()) {
    }
    if (const int signal = Console::StopSignal()) {
        Console::System::Instance()->Output() << "Ending on signal " << signal << "." << std::endl;
        // The shell's convention for a program ended by a signal it handled.
        return 128 + signal;
    }
    return bridge->GetExitCode();
}

bool Shell::Turn() {
    // A terminated shell has no timer and no window left to turn for.
    if (Console::StopRequested() || !bridge->ProcessMessages() || !initiated) {
        return false;
    }
    timer->Update();
    OnIdle();
    return true;
}

} // namespace Halvo::App
