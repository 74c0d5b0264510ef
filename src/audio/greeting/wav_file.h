#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zorvan::audio {

// The "fmt " record of a WAV file, as far as its first 18 bytes go. For a
// WAVE_FORMAT_EXTENSIBLE file the tag is the one of its sub-format.
struct WavFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

namespace wavtag {
inline constexpr std::uint16_t kPcm = 1;
inline constexpr std::uint16_t kFloat = 3;
inline constexpr std::uint16_t kALaw = 6;
inline constexpr std::uint16_t kMuLaw = 7;
inline constexpr std::uint16_t kExtensible = 0xFFFE;
}  // namespace wavtag

// A RIFF "WAVE" file opened for reading its audio. Integer PCM of 8, 16, 24
// and 32 bits, 32- and 64-bit float, A-law and mu-law, one or two channels
// at 4 to 192 kHz are read in whole frames as 16-bit samples; anything else
// is refused with a reason a user can act on.
class WavFile {
public:
    static constexpr std::uint32_t kMinRate = 4000;
    static constexpr std::uint32_t kMaxRate = 192000;

    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // False when the file cannot be read, lacks the WAVE form, the "fmt "
    // chunk or the "data" chunk after it, or holds audio this reader cannot
    // turn into samples; error() then says which.
    bool Open(const std::string& path);
    void Close();

    const WavFormat& format() const { return format_; }
    const std::string& error() const { return error_; }
    // Bytes of audio in the data chunk (no more than the file holds).
    std::uint32_t dataSize() const { return dataSize_; }
    std::uint32_t frameBytes() const { return format_.blockAlign; }
    // Reads up to `frames` whole frames as 16-bit samples, channels
    // interleaved, into `into` (room for frames x channels); returns the
    // frames read, 0 at the end of the data chunk.
    std::size_t ReadFrames(std::int16_t* into, std::size_t frames);

private:
    bool Fail(std::string why);
    bool CheckFormat();

    std::FILE* file_ = nullptr;
    WavFormat format_;
    std::string error_;
    std::uint32_t dataSize_ = 0;
    std::uint32_t dataLeft_ = 0;
    std::vector<std::uint8_t> raw_;
};

}  // namespace zorvan::audio
