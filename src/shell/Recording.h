#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "console/Function.h"
#include "gfx/MemoryNesCanvasBase.h"
#include "gfx/NesCanvas.h"
#include "gfx/TappedNesCanvas.h"
#include "nes/Process.h"
#include "shell/Recorder.h"

namespace Halvo {

// The player's recordings of the running game: "record_video FILE" (picture and sound), "record_wav
// FILE" (sound alone) and "record_stop". Every frame the machine runs is recorded as it runs, fast
// forward and rewind included, with its sound, which keeps being made while the speaker is silent. A
// recording ends with "record_stop", when the game is unloaded and when the program ends.
class Recording {
public:
    // `machine`: the running machine, null without one. `canvasChanged`: the shell hands its canvas to
    // the machine again, through Wrap.
    Recording(std::function<Nes::Process*()> machine, std::function<void()> canvasChanged);
    ~Recording();

    std::vector<Console::Function*> Functions();

    // False, with a report, without a game, while another recording runs, or when the file cannot be
    // made.
    bool Start(const std::string& file, Recorder::Kind kind, std::ostream& out);
    // Finishes the file and says so; false (with a report) when it could not be written.
    bool Stop(std::ostream& out);
    bool Active() const { return recorder != nullptr; }

    // The canvas for the machine to draw into: while a video is recorded, one that also keeps every
    // frame for it; otherwise the shown canvas itself.
    Ref::Ptr<Gfx::NesCanvas> Wrap(const Ref::Ptr<Gfx::NesCanvas>& canvas);
    // After every frame the machine ran, before its samples are taken away.
    void AfterFrame(Nes::Process& process, std::ostream& out);

private:
    class Command : public Console::Function {
    public:
        Command(std::string name, std::string usage, std::function<bool(std::istream&, std::ostream&)> run)
            : Function(std::move(name)), usage(std::move(usage)), run(std::move(run)) {}
        bool Execute(std::istream& arguments, std::ostream& out) override { return run(arguments, out); }
        void PrintUsage(std::ostream& out) override { out << usage << std::endl; }

    private:
        std::string usage;
        std::function<bool(std::istream&, std::ostream&)> run;
    };

    bool StartCommand(std::istream& arguments, std::ostream& out, Recorder::Kind kind);

    std::function<Nes::Process*()> machine;
    std::function<void()> canvasChanged;
    std::unique_ptr<Recorder> recorder;
    // The frames of a video are drawn here besides the screen.
    Ref::Ptr<Gfx::MemoryNesCanvasBase> copy;

    Command recordVideo;
    Command recordWav;
    Command recordStop;
};

} // namespace Halvo
