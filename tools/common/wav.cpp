#include "common/wav.h"

#include <samplerate.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace zorvan::tools {

namespace {

std::uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24); }
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

}  // namespace

bool LoadWavAs16kMono(const std::string& path, std::vector<std::int16_t>& samples, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 12 || std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0) {
        error = path + " is not a WAV file";
        return false;
    }
    int channels = 0, rate = 0, bits = 0, format = 0;
    const unsigned char* data = nullptr;
    std::size_t dataSize = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = Le32(b + at + 4);
        const std::size_t body = at + 8;
        if (std::memcmp(b + at, "fmt ", 4) == 0 && size >= 16 && body + 16 <= bytes.size()) {
            format = Le16(b + body);
            channels = Le16(b + body + 2);
            rate = static_cast<int>(Le32(b + body + 4));
            bits = Le16(b + body + 14);
        } else if (std::memcmp(b + at, "data", 4) == 0) {
            data = b + body;
            dataSize = std::min<std::size_t>(size, bytes.size() - body);
        }
        at = body + size + (size & 1);
    }
    if ((format != 1 && format != 0xFFFE) || channels < 1 || rate < 1000 || data == nullptr ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        error = path + ": only PCM WAV files are supported";
        return false;
    }
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * static_cast<std::size_t>(bits / 8);
    const std::size_t frames = dataSize / frameBytes;
    std::vector<float> mono(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c) {
            const unsigned char* s = data + f * frameBytes + static_cast<std::size_t>(c) * static_cast<std::size_t>(bits / 8);
            double v = 0;
            switch (bits) {
                case 8: v = (s[0] - 128) / 128.0; break;
                case 16: v = static_cast<std::int16_t>(Le16(s)) / 32768.0; break;
                case 24: v = static_cast<std::int32_t>((s[0] << 8) | (s[1] << 16) | (std::uint32_t{s[2]} << 24)) / 2147483648.0; break;
                default: v = static_cast<std::int32_t>(Le32(s)) / 2147483648.0; break;
            }
            sum += v;
        }
        mono[f] = static_cast<float>(sum / channels);
    }
    samples.clear();
    if (rate == 16000 && bits == 16 && channels == 1) {
        // Already the stream's format: taken sample for sample.
        for (std::size_t f = 0; f < frames; ++f) samples.push_back(static_cast<std::int16_t>(Le16(data + f * 2)));
        return true;
    }
    std::vector<float> converted(static_cast<std::size_t>(static_cast<double>(frames) * 16000.0 / rate) + 64);
    SRC_DATA job{};
    job.data_in = mono.data();
    job.input_frames = static_cast<long>(frames);
    job.data_out = converted.data();
    job.output_frames = static_cast<long>(converted.size());
    job.src_ratio = 16000.0 / rate;
    if (rate != 16000) {
        if (const int code = src_simple(&job, SRC_SINC_FASTEST, 1); code != 0) {
            error = std::string("resampling failed: ") + src_strerror(code);
            return false;
        }
        converted.resize(static_cast<std::size_t>(job.output_frames_gen));
    } else {
        converted = mono;
    }
    samples.resize(converted.size());
    src_float_to_short_array(converted.data(), samples.data(), static_cast<int>(converted.size()));
    return true;
}

bool SaveWav16kMono(const std::string& path, const std::vector<std::int16_t>& samples) {
    std::string out = "RIFF";
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, 1);
    Put32(out, 16000);
    Put32(out, 32000);
    Put16(out, 2);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (const std::int16_t s : samples) Put16(out, static_cast<std::uint16_t>(s));
    const std::string temp = path + ".part";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (!file.write(out.data(), static_cast<std::streamsize>(out.size()))) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace zorvan::tools
