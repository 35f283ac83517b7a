#include "shell/Recorder.h"

#include <cstring>
#include <filesystem>

#include "nes/ApuSynth.h"

namespace Halvo {

namespace {

constexpr std::size_t PictureBytes = static_cast<std::size_t>(Gfx::MemoryNesCanvasBase::SurfaceSize) *
                                     Gfx::MemoryNesCanvasBase::PictureHeight * 4;

} // namespace

std::unique_ptr<Recorder> Recorder::Start(const std::string& path, Kind kind, Nes::Region region,
                                          std::string& error) {
    std::unique_ptr<Recorder> recorder(new Recorder(path, kind, region));
    if (!recorder->resampler.Valid()) {
        error = "no sample rate converter";
        return nullptr;
    }
    if (kind == Kind::Video) {
        const Nes::FramePeriod period = Nes::ExactFramePeriod(region);
        VideoEncoder::Settings settings;
        settings.width = Gfx::MemoryNesCanvasBase::SurfaceSize;
        settings.height = Gfx::MemoryNesCanvasBase::PictureHeight;
        settings.periodNumerator = period.numerator;
        settings.periodDenominator = period.denominator;
        settings.sampleRate = SampleRate;
        if (!recorder->encoder.Open(path, settings)) {
            error = recorder->encoder.error;
            return nullptr;
        }
    } else {
        if (!recorder->wav.Open(path, SampleRate)) {
            error = recorder->wav.error;
            return nullptr;
        }
    }
    recorder->writer = std::thread([raw = recorder.get()] { raw->Work(); });
    return recorder;
}

Recorder::Recorder(const std::string& path, Kind kind, Nes::Region region)
    : path(path), kind(kind),
      resampler(Nes::ExactFramePeriod(region).cpuCycles / Nes::ApuSynth::CyclesPerSample,
                Nes::ExactFramePeriod(region).numerator, Nes::ExactFramePeriod(region).denominator,
                SampleRate),
      ring(RingFrames) {
    for (Slot& slot : ring) {
        if (kind == Kind::Video) {
            slot.pixels.resize(PictureBytes);
        }
        // Room for a frame's samples many times over, so that none is ever grown while recording.
        slot.samples.reserve(16384);
    }
    sound.reserve(SampleRate / 4);
}

Recorder::~Recorder() {
    std::string ignored;
    Stop(ignored);
}

bool Recorder::Frame(const Gfx::MemoryNesCanvasBase* picture, std::span<const float> samples) {
    std::unique_lock<std::mutex> held(lock);
    if (failed || stopped) {
        return false;
    }
    if (count == ring.size()) {
        ++waits;
        freed.wait(held, [this] { return count < ring.size() || failed; });
        if (failed) {
            return false;
        }
    }
    Slot& slot = ring[(first + count) % ring.size()];
    // The writer only touches slots inside the waiting range, and this one is outside it.
    held.unlock();
    if (kind == Kind::Video && picture) {
        const std::uint8_t* rows = picture->Surface().data();
        const auto rowBytes = static_cast<std::size_t>(Gfx::MemoryNesCanvasBase::SurfaceSize) * 4;
        for (std::int32_t y = 0; y < Gfx::MemoryNesCanvasBase::PictureHeight; ++y) {
            std::memcpy(slot.pixels.data() + y * rowBytes,
                        rows + static_cast<std::size_t>(y) * picture->Pitch(), rowBytes);
        }
    }
    slot.samples.assign(samples.begin(), samples.end());
    held.lock();
    ++count;
    ++framesTaken;
    filled.notify_one();
    return true;
}

void Recorder::Work() {
    std::unique_lock<std::mutex> held(lock);
    for (;;) {
        filled.wait(held, [this] { return count > 0 || ending; });
        if (count == 0) {
            return;
        }
        Slot& slot = ring[first];
        held.unlock();
        const bool written = Write(slot);
        held.lock();
        first = (first + 1) % ring.size();
        --count;
        if (!written && !failed) {
            failed = true;
            failure = kind == Kind::Video ? encoder.error : wav.error;
        }
        freed.notify_one();
        if (failed) {
            // What is still waiting can never be written.
            count = 0;
            freed.notify_all();
            return;
        }
    }
}

bool Recorder::Write(Slot& slot) {
    sound.clear();
    resampler.Frame(slot.samples, sound);
    if (kind == Kind::Sound) {
        wav.Write(sound);
        return true;
    }
    return encoder.WriteFrame(slot.pixels.data(), Gfx::MemoryNesCanvasBase::SurfaceSize * 4) &&
           encoder.WriteSound(sound);
}

bool Recorder::Stop(std::string& error) {
    if (stopped) {
        error = failure;
        return !failed;
    }
    {
        std::lock_guard<std::mutex> held(lock);
        ending = true;
        stopped = true;
    }
    filled.notify_one();
    if (writer.joinable()) {
        writer.join();
    }
    if (failed) {
        encoder.Abandon();
        wav.Close();
        std::error_code ignored;
        if (kind == Kind::Sound) {
            std::filesystem::remove(path, ignored);
        }
    } else if (kind == Kind::Video ? !encoder.Finish() : !wav.Close()) {
        failed = true;
        failure = kind == Kind::Video ? encoder.error : wav.error;
    }
    error = failure;
    return !failed;
}

} // namespace Halvo
