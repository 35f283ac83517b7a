#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/FileChooser.h"
#include "ref/Object.h"
#include "sound/AudioDevice.h"

namespace Halvo::Gfx {
class Driver;
}

namespace Halvo::App {

class Shell;
class Timer;
class Window;

// The platform's services: the message pump, the quit request, the timer and window factories and
// the list of graphics drivers.
class Bridge : public Ref::Object {
public:
    using Factory = Bridge* (*)();

    // The single bridge, made on first use by the factory the program installed with SetFactory
    // (the platform's bridge, or a fake in tests). Throws std::runtime_error when none is installed.
    static Bridge* Instance();
    static void SetFactory(Factory factory);

    ~Bridge() override;
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    void AddDriver(const Ref::Ptr<Gfx::Driver>& driver);
    Ref::Ptr<Gfx::Driver> GetDriver(std::uint32_t index) const;
    std::uint32_t GetDriverCount() const;

    // Handles every pending event; false once a quit request has been seen.
    virtual bool ProcessMessages() = 0;
    virtual void Quit(std::int32_t exitCode) = 0;
    virtual std::int32_t GetExitCode() = 0;
    virtual Ref::Ptr<Timer> CreateTimer() = 0;
    virtual Ref::Ptr<Window> CreateWindow(Shell* shell) = 0;
    // The platform's sound output, or null with the reason in `error`.
    virtual Ref::Ptr<Sound::AudioDevice> OpenAudioDevice(std::string& error) {
        error = "this platform has no sound output.";
        return nullptr;
    }
    // The desktop's own chooser of a file to open, titled `title`, starting in `folder`; null with the
    // reason in `error` when the desktop has none.
    virtual Ref::Ptr<FileChooser> OpenFileChooser(const std::string& title, const std::string& folder,
                                                  std::string& error) {
        (void)title, (void)folder;
        error = "this platform has no file chooser.";
        return nullptr;
    }

protected:
    Bridge();
    // For platform bridges whose drivers must go before the platform itself shuts down.
    void ReleaseDrivers();

private:
    std::vector<Ref::Ptr<Gfx::Driver>> drivers;

    static inline Bridge* instance = nullptr;
    static inline Factory factory = nullptr;
};

} // namespace Halvo::App
