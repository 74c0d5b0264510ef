#include "audio/amd/cepstrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorvan::audio {
namespace {

constexpr int kWindow = 200;
constexpr int kHop = 80;  // 10 ms at 8 kHz
constexpr int kFft = 256;
constexpr int kBins = kFft / 2 + 1;
constexpr int kFilters = 24;
constexpr double kLowHz = 250.0;
constexpr double kHighHz = 3500.0;
constexpr double kRate = 8000.0;

// The transforms, computed once: a direct transform of the 200 windowed
// samples onto the 129 bins of a 256-point spectrum costs less than a
// zero-padded FFT's bookkeeping at this size and needs no library.
struct Tables {
    float cosine[kBins][kWindow];
    float sine[kBins][kWindow];
    float filters[kFilters][kBins];
    float dct[CepstrumFrontEnd::kCoefficients][kFilters];

    Tables() {
        const double pi = std::numbers::pi;
        for (int k = 0; k < kBins; ++k) {
            for (int n = 0; n < kWindow; ++n) {
                const double window = 0.54 - 0.46 * std::cos(2.0 * pi * n / (kWindow - 1));
                const double angle = 2.0 * pi * k * n / kFft;
                cosine[k][n] = static_cast<float>(window * std::cos(angle));
                sine[k][n] = static_cast<float>(window * std::sin(angle));
            }
        }
        const auto mel = [](double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); };
        const auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
        double edges[kFilters + 2];
        for (int i = 0; i < kFilters + 2; ++i)
            edges[i] = hz(mel(kLowHz) + (mel(kHighHz) - mel(kLowHz)) * i / (kFilters + 1));
        for (int m = 0; m < kFilters; ++m) {
            for (int k = 0; k < kBins; ++k) {
                const double f = k * kRate / kFft;
                double weight = 0.0;
                if (f > edges[m] && f <= edges[m + 1]) {
                    weight = (f - edges[m]) / (edges[m + 1] - edges[m]);
                } else if (f > edges[m + 1] && f < edges[m + 2]) {
                    weight = (edges[m + 2] - f) / (edges[m + 2] - edges[m + 1]);
                }
                filters[m][k] = static_cast<float>(weight);
            }
        }
        for (int i = 0; i < CepstrumFrontEnd::kCoefficients; ++i) {
            for (int m = 0; m < kFilters; ++m)
                dct[i][m] = static_cast<float>(std::cos(pi * (i + 1) * (m + 0.5) / kFilters));
        }
    }
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

CepstrumFrontEnd::Frame CepstrumFrontEnd::Step(const std::int16_t* samples) {
    const Tables& t = TheTables();
    std::copy(window_.begin() + kHop, window_.end(), window_.begin());
    for (int i = 0; i < kHop; ++i) {
        window_[kWindow - kHop + i] =
            0.5F * (static_cast<float>(samples[2 * i]) + static_cast<float>(samples[2 * i + 1]));
    }
    float emphasised[kWindow];
    emphasised[0] = window_[0];
    for (int n = 1; n < kWindow; ++n) emphasised[n] = window_[n] - 0.97F * window_[n - 1];
    float power[kBins];
    for (int k = 0; k < kBins; ++k) {
        float re = 0.0F;
        float im = 0.0F;
        for (int n = 0; n < kWindow; ++n) {
            re += emphasised[n] * t.cosine[k][n];
            im += emphasised[n] * t.sine[k][n];
        }
        power[k] = re * re + im * im;
    }
    float logMel[kFilters];
    for (int m = 0; m < kFilters; ++m) {
        float sum = 1e-3F;
        for (int k = 0; k < kBins; ++k) sum += t.filters[m][k] * power[k];
        logMel[m] = std::log(sum);
    }
    Frame frame{};
    for (int i = 0; i < kCoefficients; ++i) {
        float c = 0.0F;
        for (int m = 0; m < kFilters; ++m) c += t.dct[i][m] * logMel[m];
        frame[i] = c;
    }
    return frame;
}

std::vector<Feature> CompareFeatures(const std::vector<CepstrumFrontEnd::Frame>& frames,
                                     const std::vector<bool>& speech) {
    constexpr int kC = CepstrumFrontEnd::kCoefficients;
    std::vector<Feature> out((frames.size() + kFramesPerFeature - 1) / kFramesPerFeature, Feature{});
    double sum[kC] = {};
    int count = 0;
    for (std::size_t t = 0; t < frames.size(); ++t) {
        if (t < speech.size() && !speech[t]) continue;
        ++count;
        for (int k = 0; k < kC; ++k) sum[k] += frames[t][k];
    }
    if (count == 0) return out;
    const auto at = [&](std::ptrdiff_t t, int k) {
        t = std::clamp<std::ptrdiff_t>(t, 0, static_cast<std::ptrdiff_t>(frames.size()) - 1);
        return frames[static_cast<std::size_t>(t)][k];
    };
    for (std::size_t t = 0; t < frames.size(); ++t) {
        Feature& f = out[t / kFramesPerFeature];
        const auto i = static_cast<std::ptrdiff_t>(t);
        for (int k = 0; k < kC; ++k) {
            f[k] += frames[t][k] - static_cast<float>(sum[k] / count);
            f[kC + k] += (at(i + 1, k) - at(i - 1, k) + 2.0F * (at(i + 2, k) - at(i - 2, k))) / 10.0F;
        }
    }
    for (Feature& f : out) {
        float norm = 0.0F;
        for (float v : f) norm += v * v;
        norm = std::sqrt(norm) + 1e-6F;
        for (float& v : f) v /= norm;
    }
    return out;
}

}  // namespace zorvan::audio
