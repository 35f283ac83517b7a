#pragma once

#include <SDL.h>

#include "app/Bridge.h"

namespace Halvo::App {

class SdlWindow;

// SDL behind the application frame: start-up and shut-down, the graphics drivers, the event pump and
// the quit request.
class SdlBridge : public Bridge {
public:
    SdlBridge();
    ~SdlBridge() override;

    bool ProcessMessages() override;
    void Quit(std::int32_t exitCode) override;
    std::int32_t GetExitCode() override { return exitCode; }
    Ref::Ptr<Timer> CreateTimer() override;
    Ref::Ptr<Window> CreateWindow(Shell* shell) override;
    Ref::Ptr<Sound::AudioDevice> OpenAudioDevice(std::string& error) override;
    // The XDG desktop portal's file chooser.
    Ref::Ptr<FileChooser> OpenFileChooser(const std::string& title, const std::string& folder,
                                          std::string& error) override;

    void AttachWindow(SdlWindow* window) { this->window = window; }
    void DetachWindow(SdlWindow* window);

    // How long ProcessMessages waits for an event while the window is inactive, so that an idle
    // program does not keep a processor core busy.
    static constexpr int InactiveWaitMilliseconds = 20;

private:
    std::int32_t exitCode = 0;
    std::uint32_t quitEventType;
    SdlWindow* window = nullptr;
};

} // namespace Halvo::App
