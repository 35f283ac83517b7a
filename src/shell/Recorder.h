#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "gfx/MemoryNesCanvasBase.h"
#include "nes/Region.h"
#include "shell/VideoEncoder.h"
#include "sound/FrameLockedResampler.h"
#include "sound/WavFile.h"

namespace Halvo {

// Records the emulated frames: their 256 x 240 pictures and their sound in a video file, or their sound
// alone in a 16-bit WAV file. The sound is brought to 48,000 Hz with exactly the frames' share of samples,
// so picture and sound never drift apart. The emulation thread copies each frame into a ring of buffers
// made when the recording starts and goes on; a thread of the recorder's own converts, encodes and
// writes. No frame is ever dropped: when the ring is full (the encoder has fallen `RingFrames` frames
// behind) the emulation waits for a free buffer, and `Waits` counts how often it had to.
class Recorder {
public:
    enum class Kind { Video, Sound };
    static constexpr std::uint32_t SampleRate = 48000;
    static constexpr std::size_t RingFrames = 32;

    // Opens the file and starts the writing thread; null with the reason in `error` (the file is not
    // left behind).
    static std::unique_ptr<Recorder> Start(const std::string& path, Kind kind, Nes::Region region,
                                           std::string& error);
    // Finishes the file if Stop has not.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // One emulated frame: its picture (a 32-bit canvas; ignored for sound alone) and its samples at the
    // machine's rate. False once writing has failed: the recording should be stopped, and Stop says why.
    bool Frame(const Gfx::MemoryNesCanvasBase* picture, std::span<const float> samples);
    // Writes what is left and finishes the file; false with the reason in `error`.
    bool Stop(std::string& error);

    Kind GetKind() const { return kind; }
    const std::string& Path() const { return path; }
    std::uint64_t Frames() const { return framesTaken; }
    std::uint64_t Waits() const { return waits; }

private:
    struct Slot {
        std::vector<std::uint8_t> pixels;
        std::vector<float> samples;
    };

    Recorder(const std::string& path, Kind kind, Nes::Region region);
    void Work();
    bool Write(Slot& slot);

    std::string path;
    Kind kind;
    Sound::FrameLockedResampler resampler;
    VideoEncoder encoder;
    Sound::WavFile wav;
    std::vector<float> sound;

    std::vector<Slot> ring;
    std::mutex lock;
    std::condition_variable filled;
    std::condition_variable freed;
    // Slots [first, first + count) (modulo the ring's size) wait for the writer.
    std::size_t first = 0;
    std::size_t count = 0;
    bool ending = false;
    bool failed = false;
    std::string failure;
    std::thread writer;
    bool stopped = false;

    std::uint64_t framesTaken = 0;
    std::uint64_t waits = 0;
};

} // namespace Halvo
