#include "sound/WavFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace Halvo::Sound {

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::vector<std::uint8_t> Header(std::uint32_t rate, std::uint64_t frames) {
    const std::uint32_t dataBytes =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames * 2, 0xFFFFFFF0u - 36));
    std::vector<std::uint8_t> header;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    PutLe(header, 36 + dataBytes, 4);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(header, 16, 4);
    PutLe(header, 1, 2); // PCM
    PutLe(header, 1, 2); // mono
    PutLe(header, rate, 4);
    PutLe(header, rate * 2, 4);
    PutLe(header, 2, 2);
    PutLe(header, 16, 2);
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    PutLe(header, dataBytes, 4);
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
    const std::vector<std::uint8_t> header = Header(rate, 0);
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
    const std::vector<std::uint8_t> header = Header(rate, frames);
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
