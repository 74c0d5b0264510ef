#include "support/audio_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "audio/greeting/wav_file.h"
#include "support/temp_dir.h"

namespace zorvan::test {

std::vector<std::int16_t> Tone(int rate, int channels, double seconds, double hz, double amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> out;
    out.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        out.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * t))));
        if (channels == 2) {
            out.push_back(static_cast<std::int16_t>(std::lround(amplitude / 2 * std::sin(2 * M_PI * 3 * hz * t))));
        }
    }
    return out;
}

std::vector<std::int16_t> ReadWav(const std::string& path, int* rate, int* channels) {
    audio::WavFile wav;
    if (!wav.Open(path)) return {};
    if (rate != nullptr) *rate = static_cast<int>(wav.format().sampleRate);
    if (channels != nullptr) *channels = wav.format().channels;
    std::vector<std::int16_t> samples(wav.dataSize() / wav.frameBytes() * wav.format().channels);
    samples.resize(wav.ReadFrames(samples.data(), wav.dataSize() / wav.frameBytes()) * wav.format().channels);
    return samples;
}

void WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int rate, int channels,
              const std::string& tail) {
    std::string out = "RIFF";
    const auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
    };
    const auto put16 = [&](std::uint16_t v) {
        out.push_back(static_cast<char>(v));
        out.push_back(static_cast<char>(v >> 8));
    };
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    put32(static_cast<std::uint32_t>(36 + dataBytes + (dataBytes & 1) + tail.size()));
    out += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate * channels * 2));
    put16(static_cast<std::uint16_t>(channels * 2));
    put16(16);
    out += "data";
    put32(dataBytes);
    out += Bytes(samples);
    out += tail;
    WriteFile(path, out);
}

bool Run(const std::string& commandLine) { return std::system(commandLine.c_str()) == 0; }

bool MakeMp3(const std::string& wav, const std::string& mp3, const std::string& options) {
    return Run("lame --quiet " + options + " '" + wav + "' '" + mp3 + "'");
}

std::string Bytes(const std::vector<std::int16_t>& samples) {
    std::string out;
    out.reserve(samples.size() * 2);
    for (const std::int16_t s : samples) {
        out.push_back(static_cast<char>(s & 0xFF));
        out.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    return out;
}

std::vector<std::int16_t> Samples(const std::string& bytes) {
    std::vector<std::int16_t> out(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                           static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return out;
}

double PeakCorrelation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, std::size_t maxLag) {
    double best = 0;
    for (std::size_t lag = 0; lag <= maxLag && lag < b.size(); ++lag) {
        const std::size_t n = std::min(a.size(), b.size() - lag);
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double x = a[i];
            const double y = b[i + lag];
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

double PiecewiseCorrelation(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b,
                            std::size_t piece, std::size_t maxLag) {
    std::vector<double> scores;
    for (std::size_t at = 0; at + piece <= a.size(); at += piece) {
        double aa = 0;
        for (std::size_t i = at; i < at + piece; ++i) aa += static_cast<double>(a[i]) * a[i];
        if (aa < 100.0 * 100.0 * static_cast<double>(piece)) continue;  // quieter than -50 dBFS
        double best = 0;
        for (std::size_t lag = 0; lag <= maxLag && at + lag + piece <= b.size(); ++lag) {
            double ab = 0, bb = 0;
            for (std::size_t i = 0; i < piece; ++i) {
                const double y = b[at + lag + i];
                ab += a[at + i] * y;
                bb += y * y;
            }
            if (bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
        }
        scores.push_back(best);
    }
    if (scores.empty()) return 0;
    std::nth_element(scores.begin(), scores.begin() + static_cast<std::ptrdiff_t>(scores.size() / 2), scores.end());
    return scores[scores.size() / 2];
}

}  // namespace zorvan::test
