#include "sound/WavFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace Halvo::Sound {

namespace {

constexpr std::size_t HeaderSize = 44;

void PutLe(std::array<std::uint8_t, HeaderSize>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The RIFF header of 16-bit mono PCM at `rate` with `frames` samples.
std::array<std::uint8_t, HeaderSize> Header(std::uint32_t rate, std::uint64_t frames) {
    const auto dataBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames * 2, 0xFFFFFFF0u - 36));
    std::array<std::uint8_t, HeaderSize> header{
        'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16,  0,   0, 0, 1, 0,
        1,   0,   0,   0,   0, 0, 0, 0, 0,   0,   2,   0,   16,  0,   'd', 'a', 't', 'a', 0, 0, 0, 0};
    PutLe(header, 4, 36 + dataBytes, 4);
    PutLe(header, 24, rate, 4);
    PutLe(header, 28, rate * 2, 4);
    PutLe(header, 40, dataBytes, 4);
    return header;
}

} // namespace

bool WavFile::Open(const std::string& path, std::uint32_t sampleRate) {
    Close();
    file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    rate = sampleRate;
    frames = 0;
    failed = false;
    const auto header = Header(rate, 0);
    failed = std::fwrite(header.data(), 1, header.size(), file) != header.size();
    return true;
}

void WavFile::Write(std::span<const float> samples) {
    if (!file) {
        return;
    }
    std::int16_t buffer[1024];
    while (!samples.empty()) {
        const std::size_t count = std::min(samples.size(), std::size(buffer));
        for (std::size_t i = 0; i < count; ++i) {
            const float clipped = std::clamp(samples[i], -1.0f, 1.0f);
            const auto value = static_cast<std::int16_t>(std::lround(clipped * 32767.0f));
            // Little-endian on disk whatever the host.
            const auto bits = static_cast<std::uint16_t>(value);
            reinterpret_cast<std::uint8_t*>(&buffer[i])[0] = static_cast<std::uint8_t>(bits);
            reinterpret_cast<std::uint8_t*>(&buffer[i])[1] = static_cast<std::uint8_t>(bits >> 8);
        }
        failed |= std::fwrite(buffer, 2, count, file) != count;
        frames += count;
        samples = samples.subspan(count);
    }
}

bool WavFile::Close() {
    if (!file) {
        return !failed;
    }
    const auto header = Header(rate, frames);
    failed |= std::fseek(file, 0, SEEK_SET) != 0;
    failed |= std::fwrite(header.data(), 1, header.size(), file) != header.size();
    failed |= std::fclose(file) != 0;
    file = nullptr;
    if (failed && error.empty()) {
        error = std::strerror(errno);
    }
    return !failed;
}

} // namespace Halvo::Sound
