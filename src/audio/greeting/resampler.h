#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SRC_STATE_tag;

namespace zorvan::audio {

// One channel of 16-bit audio to 16 kHz, with libsamplerate's fastest sinc
// converter, kept across calls so a stream converts without seams.
class Resampler {
public:
    Resampler();
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Converts n samples at sourceRate in one call; the result is valid until
    // the next call. Empty when the converter fails.
    const std::vector<std::int16_t>& Convert(const std::int16_t* samples, std::size_t n, int sourceRate);
    void Reset();

private:
    SRC_STATE_tag* state_ = nullptr;
    std::vector<float> in_;
    std::vector<float> out_;
    std::vector<std::int16_t> result_;
};

// The stream format from a block of the source's samples: the left channel
// of two, then 16 kHz. Returns the samples to send.
const std::vector<std::int16_t>& ToStreamFormat(const std::int16_t* samples, std::size_t count, int channels,
                                                int sampleRate, Resampler& resampler,
                                                std::vector<std::int16_t>& scratch);

}  // namespace zorvan::audio
