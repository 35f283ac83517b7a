#include "shell/VideoEncoder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace Halvo {

namespace {

// What an extension stands for.
struct Container {
    const char* extension;
    const char* muxer;
    bool lossless;
    const char* description;
};

constexpr Container Containers[] = {
    {".mkv", "matroska", true, "FFV1 and FLAC in Matroska"},
    {".mp4", "mp4", false, "H.264 and AAC in MP4"},
};

const Container* ContainerOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Container& container : Containers) {
        if (extension == container.extension) {
            return &container;
        }
    }
    return nullptr;
}

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The first of the wanted formats the encoder takes, else its own first.
template <class T>
T Choose(const T* offered, std::initializer_list<T> wanted, T none) {
    if (!offered) {
        return *wanted.begin();
    }
    for (const T want : wanted) {
        for (const T* format = offered; *format != none; ++format) {
            if (*format == want) {
                return want;
            }
        }
    }
    return offered[0];
}

// H.264 from x264 where the library was built with it, else whichever H.264 encoder it has.
const AVCodec* H264Encoder() {
    if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) {
        return x264;
    }
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}

} // namespace

VideoEncoder::~VideoEncoder() {
    Abandon();
}

std::string VideoEncoder::Describe(const std::string& path) {
    const Container* container = ContainerOf(path);
    return container ? container->description : "";
}

bool VideoEncoder::Fail(const std::string& what, int code) {
    error = code != 0 ? what + ": " + ErrorText(code) : what;
    return false;
}

bool VideoEncoder::Open(const std::string& path, const Settings& wanted) {
    Abandon();
    error.clear();
    // The libraries' own chatter would go to the terminal; what fails is told through `error`.
    av_log_set_level(AV_LOG_FATAL);
    settings = wanted;
    const Container* container = ContainerOf(path);
    if (!container) {
        return Fail("the name must end in .mkv (FFV1 picture, FLAC sound) or .mp4 (H.264 picture, AAC sound)",
                    0);
    }
    target = path;
    temporary = path + ".part";
    const int made = avformat_alloc_output_context2(&format, nullptr, container->muxer, temporary.c_str());
    if (made < 0 || !format) {
        return Fail("FFmpeg cannot write the container", made);
    }
    if (!OpenVideo(container->lossless) || !OpenSound(container->lossless)) {
        Close();
        return false;
    }
    const int opened = avio_open(&format->pb, temporary.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) {
        Close();
        return Fail("cannot make " + temporary, opened);
    }
    fileOpen = true;
    const int header = avformat_write_header(format, nullptr);
    if (header < 0) {
        Abandon();
        return Fail("cannot write the file's header", header);
    }
    packet = av_packet_alloc();
    picture = av_frame_alloc();
    soundFrame = av_frame_alloc();
    if (!packet || !picture || !soundFrame) {
        Abandon();
        return Fail("out of memory", 0);
    }
    picture->format = video->pix_fmt;
    picture->width = video->width;
    picture->height = video->height;
    if (const int buffer = av_frame_get_buffer(picture, 0); buffer < 0) {
        Abandon();
        return Fail("no picture buffer", buffer);
    }
    // Each pixel stays one pixel: the conversion only changes how colours are coded.
    converter = sws_getContext(video->width, video->height, AV_PIX_FMT_0RGB32, video->width, video->height,
                               video->pix_fmt, SWS_POINT, nullptr, nullptr, nullptr);
    if (!converter) {
        Abandon();
        return Fail("no conversion to the codec's pixel format", 0);
    }
    pendingSound.reserve(soundFrameSize * 2 + settings.sampleRate);
    frames = 0;
    samples = 0;
    return true;
}

bool VideoEncoder::OpenVideo(bool lossless) {
    const AVCodec* codec = lossless ? avcodec_find_encoder(AV_CODEC_ID_FFV1) : H264Encoder();
    if (!codec) {
        return Fail(std::string("this FFmpeg has no ") + (lossless ? "FFV1" : "H.264") + " encoder", 0);
    }
    videoStream = avformat_new_stream(format, nullptr);
    video = avcodec_alloc_context3(codec);
    if (!videoStream || !video) {
        return Fail("out of memory", 0);
    }
    video->width = static_cast<int>(settings.width);
    video->height = static_cast<int>(settings.height);
    video->time_base =
        AVRational{static_cast<int>(settings.periodNumerator), static_cast<int>(settings.periodDenominator)};
    video->framerate = AVRational{video->time_base.den, video->time_base.num};
    // Lossless keeps the RGB the machine made; H.264 takes the 4:2:0 every player can show.
    video->pix_fmt = lossless
                         ? Choose(codec->pix_fmts, {AV_PIX_FMT_0RGB32, AV_PIX_FMT_GBRP, AV_PIX_FMT_YUV444P},
                                  AV_PIX_FMT_NONE)
                         : Choose(codec->pix_fmts, {AV_PIX_FMT_YUV420P}, AV_PIX_FMT_NONE);
    // The picture is square pixels of the NES's frame; players stretch it as they like.
    video->sample_aspect_ratio = AVRational{1, 1};
    if (lossless) {
        // Every frame a key frame: a file cut off anywhere still plays up to the cut.
        video->gop_size = 1;
        av_opt_set_int(video->priv_data, "level", 3, 0);
        av_opt_set_int(video->priv_data, "slicecrc", 1, 0);
        // Slices are coded side by side on the machine's cores, so that fast forward's frames keep up.
        video->slices = 4;
        video->thread_type = FF_THREAD_SLICE;
        video->thread_count = 0;
    } else {
        video->gop_size = 120;
        av_opt_set(video->priv_data, "preset", "veryfast", 0);
        av_opt_set(video->priv_data, "crf", "16", 0);
    }
    if (format->oformat->flags & AVFMT_GLOBALHEADER) {
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (const int opened = avcodec_open2(video, codec, nullptr); opened < 0) {
        return Fail(std::string("cannot open the ") + codec->name + " encoder", opened);
    }
    videoStream->time_base = video->time_base;
    videoStream->avg_frame_rate = video->framerate;
    videoStream->r_frame_rate = video->framerate;
    if (const int copied = avcodec_parameters_from_context(videoStream->codecpar, video); copied < 0) {
        return Fail("cannot describe the picture stream", copied);
    }
    return true;
}

bool VideoEncoder::OpenSound(bool lossless) {
    const AVCodec* codec = avcodec_find_encoder(lossless ? AV_CODEC_ID_FLAC : AV_CODEC_ID_AAC);
    if (!codec) {
        return Fail(std::string("this FFmpeg has no ") + (lossless ? "FLAC" : "AAC") + " encoder", 0);
    }
    soundStream = avformat_new_stream(format, nullptr);
    sound = avcodec_alloc_context3(codec);
    if (!soundStream || !sound) {
        return Fail("out of memory", 0);
    }
    sound->sample_rate = static_cast<int>(settings.sampleRate);
    sound->time_base = AVRational{1, sound->sample_rate};
    av_channel_layout_default(&sound->ch_layout, 1);
    sound->sample_fmt = Choose(codec->sample_fmts,
                               {AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P},
                               AV_SAMPLE_FMT_NONE);
    if (!lossless) {
        sound->bit_rate = 160000;
    }
    if (format->oformat->flags & AVFMT_GLOBALHEADER) {
        sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (const int opened = avcodec_open2(sound, codec, nullptr); opened < 0) {
        return Fail(std::string("cannot open the ") + codec->name + " encoder", opened);
    }
    switch (sound->sample_fmt) {
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        break;
    default:
        return Fail(std::string("the ") + codec->name + " encoder takes no sample format Halvo makes", 0);
    }
    // A codec that takes frames of any length gets a tenth of a second at a time.
    soundFrameSize = sound->frame_size > 0 && !(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE)
                         ? static_cast<std::size_t>(sound->frame_size)
                         : settings.sampleRate / 10;
    soundStream->time_base = sound->time_base;
    if (const int copied = avcodec_parameters_from_context(soundStream->codecpar, sound); copied < 0) {
        return Fail("cannot describe the sound stream", copied);
    }
    return true;
}

bool VideoEncoder::WriteFrame(const std::uint8_t* pixels, std::int32_t pitch) {
    if (!fileOpen) {
        return Fail("no file open", 0);
    }
    if (const int writable = av_frame_make_writable(picture); writable < 0) {
        return Fail("no picture buffer", writable);
    }
    const std::uint8_t* const source[1] = {pixels};
    const int sourcePitch[1] = {pitch};
    sws_scale(converter, source, sourcePitch, 0, video->height, picture->data, picture->linesize);
    picture->pts = static_cast<std::int64_t>(frames);
    if (!Encode(video, videoStream, picture)) {
        return false;
    }
    ++frames;
    return true;
}

bool VideoEncoder::WriteSound(std::span<const float> input) {
    if (!fileOpen) {
        return Fail("no file open", 0);
    }
    pendingSound.insert(pendingSound.end(), input.begin(), input.end());
    std::size_t used = 0;
    bool sent = true;
    while (sent && pendingSound.size() - used >= soundFrameSize) {
        sent = SendSoundFrame(pendingSound.data() + used, soundFrameSize);
        used += soundFrameSize;
    }
    pendingSound.erase(pendingSound.begin(), pendingSound.begin() + static_cast<std::ptrdiff_t>(used));
    return sent;
}

bool VideoEncoder::SendSoundFrame(const float* input, std::size_t count) {
    av_frame_unref(soundFrame);
    soundFrame->format = sound->sample_fmt;
    soundFrame->sample_rate = sound->sample_rate;
    soundFrame->nb_samples = static_cast<int>(count);
    if (const int copied = av_channel_layout_copy(&soundFrame->ch_layout, &sound->ch_layout); copied < 0) {
        return Fail("no sound frame", copied);
    }
    if (const int buffer = av_frame_get_buffer(soundFrame, 0); buffer < 0) {
        return Fail("no sound buffer", buffer);
    }
    // One channel: planar and packed are the same layout.
    if (sound->sample_fmt == AV_SAMPLE_FMT_FLT || sound->sample_fmt == AV_SAMPLE_FMT_FLTP) {
        auto* out = reinterpret_cast<float*>(soundFrame->data[0]);
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = std::clamp(input[i], -1.0f, 1.0f);
        }
    } else {
        auto* out = reinterpret_cast<std::int16_t*>(soundFrame->data[0]);
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = static_cast<std::int16_t>(std::lround(std::clamp(input[i], -1.0f, 1.0f) * 32767.0f));
        }
    }
    soundFrame->pts = static_cast<std::int64_t>(samples);
    if (!Encode(sound, soundStream, soundFrame)) {
        return false;
    }
    samples += count;
    return true;
}

bool VideoEncoder::Encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    if (const int sent = avcodec_send_frame(codec, frame); sent < 0) {
        return Fail(std::string("the ") + codec->codec->name + " encoder refused a frame", sent);
    }
    for (;;) {
        const int received = avcodec_receive_packet(codec, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            return Fail(std::string("the ") + codec->codec->name + " encoder failed", received);
        }
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (const int written = av_interleaved_write_frame(format, packet); written < 0) {
            return Fail("cannot write " + temporary, written);
        }
    }
}

bool VideoEncoder::Finish() {
    if (!fileOpen) {
        return Fail("no file open", 0);
    }
    // The last sound frame may be shorter than the others.
    const bool drained = (pendingSound.empty() || SendSoundFrame(pendingSound.data(), pendingSound.size())) &&
                         Encode(video, videoStream, nullptr) && Encode(sound, soundStream, nullptr);
    pendingSound.clear();
    if (!drained) {
        Abandon();
        return false;
    }
    if (const int trailer = av_write_trailer(format); trailer < 0) {
        Abandon();
        return Fail("cannot finish " + target, trailer);
    }
    const int closed = avio_closep(&format->pb);
    fileOpen = false;
    Close();
    std::error_code renameError;
    if (closed < 0) {
        std::filesystem::remove(temporary, renameError);
        return Fail("cannot finish " + target, closed);
    }
    std::filesystem::rename(temporary, target, renameError);
    if (renameError) {
        std::filesystem::remove(temporary, renameError);
        return Fail("cannot name the file " + target + ": " + renameError.message(), 0);
    }
    return true;
}

void VideoEncoder::Abandon() {
    const bool hadFile = fileOpen;
    if (fileOpen) {
        avio_closep(&format->pb);
        fileOpen = false;
    }
    Close();
    if (hadFile) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
}

void VideoEncoder::Close() {
    sws_freeContext(converter);
    converter = nullptr;
    av_frame_free(&picture);
    av_frame_free(&soundFrame);
    av_packet_free(&packet);
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    if (format) {
        avformat_free_context(format);
        format = nullptr;
    }
    videoStream = nullptr;
    soundStream = nullptr;
}

} // namespace Halvo
