#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace Halvo {

// Writes a picture-and-sound file with FFmpeg's libraries, the container and codecs chosen by the file's
// extension: ".mkv" holds FFV1 pictures (lossless, in RGB) and FLAC sound (lossless), ".mp4" H.264
// (libx264 where the library has it) in 4:2:0 and AAC, what players everywhere read. The picture goes at
// a frame period given as an exact fraction of a second, so frame N starts at N periods whatever the
// length; the sound is mono at a whole sample rate. The file is written under a temporary name beside
// the target and renamed when finished: a recording that fails or is abandoned leaves nothing behind.
// Not thread-safe: one thread uses it from Open to Finish.
class VideoEncoder {
public:
    struct Settings {
        std::uint32_t width = 256;
        std::uint32_t height = 240;
        std::int64_t periodNumerator = 1;
        std::int64_t periodDenominator = 60;
        std::uint32_t sampleRate = 48000;
    };

    VideoEncoder() = default;
    // Abandons an unfinished file.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // The codecs a file of this name would get, as "FFV1 and FLAC in Matroska"; empty for a name whose
    // extension is none of the known ones.
    static std::string Describe(const std::string& path);
    // False (and `error` says why) for an unknown extension, a codec the library lacks, or a file that
    // cannot be made; nothing is left on the disk then.
    bool Open(const std::string& path, const Settings& settings);
    // One frame of 32-bit pixels, 0x00RRGGBB in the machine's byte order, `pitch` bytes a row.
    bool WriteFrame(const std::uint8_t* pixels, std::int32_t pitch);
    // Samples of about -1 to 1, in order; they are grouped into the codec's frames here.
    bool WriteSound(std::span<const float> samples);
    // Drains the encoders, writes the trailer and gives the file its name; false with `error`.
    bool Finish();
    // Closes and removes the unfinished file.
    void Abandon();

    std::uint64_t FramesWritten() const { return frames; }
    std::uint64_t SamplesWritten() const { return samples; }
    std::string error;

private:
    bool Fail(const std::string& what, int code);
    bool OpenVideo(bool lossless);
    bool OpenSound(bool lossless);
    bool SendSoundFrame(const float* input, std::size_t count);
    // Hands the frame (null: the end) to the encoder and writes every packet it gives back.
    bool Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame);
    void Close();

    Settings settings;
    std::string target;
    std::string temporary;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* sound = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* soundStream = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* soundFrame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* converter = nullptr;
    std::vector<float> pendingSound;
    std::size_t soundFrameSize = 0;
    std::uint64_t frames = 0;
    std::uint64_t samples = 0;
    bool fileOpen = false;
};

} // namespace Halvo
