#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zorvan::audio {

// Mel cepstra of the telephone band, one frame per 10 ms chunk of the call
// audio (160 samples at 16 kHz): the chunk is halved to 8 kHz, and each
// frame looks at the last 25 ms through a Hamming window, with 24 mel
// filters from 250 to 3 500 Hz and cepstra 1 to 12 (the level, cepstrum 0,
// is left out, so a louder line gives the same frames).
class CepstrumFrontEnd {
public:
    static constexpr int kCoefficients = 12;
    using Frame = std::array<float, kCoefficients>;

    void Reset() { window_.fill(0.0F); }
    Frame Step(const std::int16_t* samples);

private:
    static constexpr int kWindow = 200;  // 25 ms at 8 kHz
    std::array<float, kWindow> window_{};
};

// What frames are compared by: the cepstra with the line's mean over its
// speech taken out (what is left is the speech, not the voice or the
// channel), and their change over +-2 frames, summed over pairs of frames
// (20 ms) and scaled to unit length so that features compare by the cosine
// of their angle.
constexpr int kFramesPerFeature = 2;
constexpr int kFeatureSize = 2 * CepstrumFrontEnd::kCoefficients;
using Feature = std::array<float, kFeatureSize>;
std::vector<Feature> CompareFeatures(const std::vector<CepstrumFrontEnd::Frame>& frames,
                                     const std::vector<bool>& speech);

}  // namespace zorvan::audio
