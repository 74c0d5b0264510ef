#include "common/wav.h"

#include "audio/greeting/wav_file.h"

#include <samplerate.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zorvan::tools {

namespace {

void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

}  // namespace

bool LoadWavAs16kMono(const std::string& path, std::vector<std::int16_t>& samples, std::string& error) {
    // The greetings' reader: PCM of any width, float, A-law and mu-law.
    audio::WavFile wav;
    if (!wav.Open(path)) {
        error = path + ": " + wav.error();
        return false;
    }
    const int channels = wav.format().channels;
    const int rate = static_cast<int>(wav.format().sampleRate);
    std::vector<float> mono;
    std::vector<std::int16_t> block(4096 * static_cast<std::size_t>(channels));
    for (std::size_t got; (got = wav.ReadFrames(block.data(), 4096)) > 0;) {
        for (std::size_t f = 0; f < got; ++f) {
            int sum = 0;
            for (int c = 0; c < channels; ++c) sum += block[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
            mono.push_back(static_cast<float>(sum) / static_cast<float>(channels) / 32768.0F);
        }
    }
    const std::size_t frames = mono.size();
    samples.clear();
    if (rate == 16000 && channels == 1) {
        // Already the stream's format: taken sample for sample.
        samples.reserve(frames);
        for (const float v : mono) samples.push_back(static_cast<std::int16_t>(std::lround(v * 32768.0F)));
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
