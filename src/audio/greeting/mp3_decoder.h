#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zorvan::audio {

// MPEG audio to 16-bit little-endian PCM over libmad, block by block. The
// caller feeds input when asked and takes each output block when told.
class Mp3Decoder {
public:
    enum Result : int { kError = 0, kNeedInput = 1, kOutputReady = 2, kEndOfInput = 3, kSkipped = 4 };
    static constexpr std::size_t kInputBytes = 46080;
    static constexpr std::size_t kOutputBytes = 9216;
    static constexpr std::size_t kGuardBytes = 8;

    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    Result Decode();

    // After kNeedInput: where to put the input and how many bytes are wanted.
    std::uint8_t* inputSpace();
    std::size_t inputWanted() const { return wanted_; }
    // The bytes read there; fewer than wanted means the file has ended.
    void InputRead(std::size_t bytes);

    // After kOutputReady or kEndOfInput: the block decoded since the last
    // delivery, interleaved left/right for two channels.
    const std::int16_t* output() const { return output_; }
    std::size_t outputSamples() const { return outputBytes_ / 2; }

    // Known once a frame has been synthesized; 0 before.
    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }

private:
    struct Mad;
    std::unique_ptr<Mad> mad_;
    std::uint8_t input_[kInputBytes + kGuardBytes] = {};
    std::size_t inputLength_ = 0;
    std::size_t wantedAt_ = 0;
    std::size_t wanted_ = 0;
    bool needInput_ = true;
    bool endOfFile_ = false;
    bool delivered_ = false;
    std::int16_t output_[kOutputBytes / 2] = {};
    std::size_t outputBytes_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
};

}  // namespace zorvan::audio
