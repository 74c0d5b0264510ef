#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zorvan::audio {

// The "fmt " record of a WAV file, as far as its first 18 bytes go.
struct WavFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

// A RIFF "WAVE" file opened for reading its data chunk. The format tag and
// bit depth are not checked: the data is read as 16-bit PCM.
class WavFile {
public:
    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // False when the file cannot be read or lacks the WAVE form, the "fmt "
    // chunk or the "data" chunk after it.
    bool Open(const std::string& path);
    void Close();

    const WavFormat& format() const { return format_; }
    std::uint32_t dataSize() const { return dataSize_; }
    // Reads up to n bytes of the data chunk; 0 at its end.
    std::size_t Read(std::uint8_t* into, std::size_t n);

private:
    std::FILE* file_ = nullptr;
    WavFormat format_;
    std::uint32_t dataSize_ = 0;
    std::uint32_t dataLeft_ = 0;
};

}  // namespace zorvan::audio
