#include "shell/Recording.h"

#include <cstdio>

#include "console/ReadToken.h"
#include "console/System.h"
#include "nes/Ppu.h"

namespace Halvo {

namespace {

constexpr const char* StartOperation = "Halvo::Recording::Start";
constexpr const char* StopOperation = "Halvo::Recording::Stop";

// "1:02.35" for a length in seconds.
std::string Length(double seconds) {
    char text[32];
    const int minutes = static_cast<int>(seconds / 60);
    std::snprintf(text, sizeof text, "%d:%05.2f", minutes, seconds - minutes * 60.0);
    return text;
}

} // namespace

Recording::Recording(std::function<Nes::Process*()> machine, std::function<void()> canvasChanged)
    : machine(std::move(machine)), canvasChanged(std::move(canvasChanged)),
      recordVideo(
          "record_video",
          "Records the game's picture (256 x 240) and sound into a video file: .mkv holds FFV1 and FLAC "
          "(lossless), .mp4 H.264 and AAC. record_stop ends it.\nusage: record_video \"<filename>\"",
          [this](std::istream& in, std::ostream& out) {
              return StartCommand(in, out, Recorder::Kind::Video);
          }),
      recordWav("record_wav",
                "Records the game's sound into a 16-bit WAV file at 48000 Hz. record_stop ends it.\n"
                "usage: record_wav \"<filename>\"",
                [this](std::istream& in, std::ostream& out) {
                    return StartCommand(in, out, Recorder::Kind::Sound);
                }),
      recordStop("record_stop", "Ends the recording and finishes its file.\nusage: record_stop",
                 [this](std::istream&, std::ostream& out) {
                     if (!recorder) {
                         out << "Nothing is being recorded." << std::endl;
                         return true;
                     }
                     Stop(out);
                     return true;
                 }) {}

Recording::~Recording() = default;

std::vector<Console::Function*> Recording::Functions() {
    return {&recordVideo, &recordWav, &recordStop};
}

bool Recording::StartCommand(std::istream& arguments, std::ostream& out, Recorder::Kind kind) {
    std::string file;
    Console::ReadToken(arguments, file);
    if (file.empty()) {
        return false;
    }
    Start(file, kind, out);
    return true;
}

bool Recording::Start(const std::string& file, Recorder::Kind kind, std::ostream& out) {
    if (recorder) {
        Console::ReportError(StartOperation, __LINE__)
            << "Already recording " << recorder->Path() << "; record_stop ends it." << std::endl;
        return false;
    }
    Nes::Process* process = machine();
    if (!process) {
        Console::ReportError(StartOperation, __LINE__) << "No game to record." << std::endl;
        return false;
    }
    std::string error;
    recorder = Recorder::Start(file, kind, process->region, error);
    if (!recorder) {
        Console::ReportError(StartOperation, __LINE__)
            << "Cannot record to " << file << ": " << error << "." << std::endl;
        return false;
    }
    if (kind == Recorder::Kind::Video) {
        copy = Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
        canvasChanged();
        out << "Recording " << file << " (" << VideoEncoder::Describe(file) << ")." << std::endl;
    } else {
        out << "Recording the sound to " << file << "." << std::endl;
    }
    return true;
}

bool Recording::Stop(std::ostream& out) {
    if (!recorder) {
        return true;
    }
    std::unique_ptr<Recorder> ending = std::move(recorder);
    if (copy) {
        // The machine draws into the shown canvas alone again.
        canvasChanged();
        copy = nullptr;
    }
    std::string error;
    if (!ending->Stop(error)) {
        Console::ReportError(StopOperation, __LINE__)
            << "Could not write the recording " << ending->Path() << ": " << error << "." << std::endl;
        return false;
    }
    const Nes::Process* process = machine();
    const double seconds = process ? static_cast<double>(ending->Frames()) / Nes::FrameRate(process->region)
                                   : static_cast<double>(ending->Frames()) / 60.0;
    out << "Recording written to " << ending->Path() << ": " << ending->Frames() << " frames ("
        << Length(seconds) << ")";
    if (ending->Waits() > 0) {
        out << "; the game waited for the encoder " << ending->Waits() << " times";
    }
    out << "." << std::endl;
    return true;
}

Ref::Ptr<Gfx::NesCanvas> Recording::Wrap(const Ref::Ptr<Gfx::NesCanvas>& canvas) {
    Ref::Ptr<Gfx::NesCanvas> shown = canvas;
    if (const auto* tapped = dynamic_cast<const Gfx::TappedNesCanvas*>(canvas.Get())) {
        shown = tapped->Shown();
    }
    if (!shown || !copy) {
        return shown;
    }
    return Ref::Ptr<Gfx::NesCanvas>(Ref::New<Gfx::TappedNesCanvas>(shown, copy));
}

void Recording::AfterFrame(Nes::Process& process, std::ostream& out) {
    if (!recorder) {
        return;
    }
    if (!recorder->Frame(copy.Get(), process.GetApu().samples)) {
        Stop(out);
    }
}

} // namespace Halvo
