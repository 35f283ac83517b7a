#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace Halvo::Sound {

// A mono 16-bit PCM WAV file written as the samples come; the lengths in its header are filled in
// when it is closed.
class WavFile {
public:
    WavFile() = default;
    ~WavFile() { Close(); }
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // False (with errno's reason in `error`) when the file cannot be made.
    bool Open(const std::string& path, std::uint32_t sampleRate);
    // Samples of about -1 to 1, clipped to the 16-bit range.
    void Write(std::span<const float> samples);
    // Finishes the header; false when anything could not be written.
    bool Close();

    std::string error;

private:
    std::FILE* file = nullptr;
    std::uint32_t rate = 0;
    std::uint64_t frames = 0;
    bool failed = false;
};

} // namespace Halvo::Sound
