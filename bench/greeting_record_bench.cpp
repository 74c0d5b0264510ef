// Greeting decoding and call recording on one core: MP3 greetings at 8 kHz
// and 44.1 kHz decoded and resampled to the stream format, the recorder's
// mixing and MP3 encoding, and the encoder next to the lame command line
// with the same settings on the same input. Prints each figure next to its
// goal.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "audio/buffer.h"
#include "audio/greeting/mp3_decoder.h"
#include "audio/greeting/resampler.h"
#include "audio/record/call_recorder.h"
#include "audio/record/mp3_file.h"
#include "platform/prompts.h"
#include "platform/virtual_event_loop.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace zorvan;

constexpr double kSeconds = 60;

struct NoPrompts final : Prompts {
    PromptAnswer messageBox(const std::string&, const std::string& text, PromptIcon, PromptButtons) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return PromptAnswer::Ok;
    }
};

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Speech-like test audio: two tones with a slow swell and some noise.
std::vector<std::int16_t> Signal(int rate, int channels, double seconds, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 600);
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> out;
    out.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double v = (0.6 + 0.4 * std::sin(2 * M_PI * 3 * t)) *
                             (5000 * std::sin(2 * M_PI * 220 * t) + 2500 * std::sin(2 * M_PI * 1230 * t)) +
                         noise(random);
        for (int c = 0; c < channels; ++c) out.push_back(static_cast<std::int16_t>(std::lround(v / (c + 1))));
    }
    return out;
}

void WriteRaw(const std::string& path, const std::vector<std::int16_t>& samples) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// Decodes a whole MP3 and converts it to the stream format, as the
// playback thread does without the pacing. Returns seconds of CPU work.
double DecodeSeconds(const std::string& path, std::size_t& streamSamples) {
    audio::Mp3Decoder decoder;
    audio::Resampler resampler;
    std::vector<std::int16_t> scratch;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return -1;
    streamSamples = 0;
    const auto start = Clock::now();
    for (;;) {
        const auto result = decoder.Decode();
        if (result == audio::Mp3Decoder::kNeedInput) {
            decoder.InputRead(std::fread(decoder.inputSpace(), 1, decoder.inputWanted(), in));
        } else if (result == audio::Mp3Decoder::kOutputReady || result == audio::Mp3Decoder::kEndOfInput) {
            if (decoder.outputSamples() > 0) {
                streamSamples += audio::ToStreamFormat(decoder.output(), decoder.outputSamples(), decoder.channels(),
                                                       decoder.sampleRate(), resampler, scratch)
                                     .size();
            }
            if (result == audio::Mp3Decoder::kEndOfInput) break;
        } else if (result == audio::Mp3Decoder::kError) {
            break;
        }
    }
    const double seconds = Since(start);
    std::fclose(in);
    return seconds;
}

void Report(const char* what, double value, double goal) {
    std::printf("%-58s %8.1f x  goal >= %.0f x  %s\n", what, value, goal, value >= goal ? "ok" : "UNDER");
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("zorvan-audio-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    bool ok = true;

    // Greetings: a minute of audio each, made by the lame command line.
    for (const auto& [rate, channels, options] :
         {std::tuple{8000, 1, std::string("-m m -b 16")}, std::tuple{44100, 2, std::string("-m j -b 128")}}) {
        const std::string raw = (dir / "greeting.raw").string();
        const std::string mp3 = (dir / ("greeting-" + std::to_string(rate) + ".mp3")).string();
        WriteRaw(raw, Signal(rate, channels, kSeconds, 1));
        if (!Run("lame --quiet -r -s " + std::to_string(rate / 1000.0) + " --bitwidth 16 --signed --little-endian " +
                 options + " '" + raw + "' '" + mp3 + "' 2>/dev/null")) {
            std::fprintf(stderr, "lame failed\n");
            return 2;
        }
        std::size_t samples = 0;
        double best = 1e9;
        for (int round = 0; round < 3; ++round) best = std::min(best, DecodeSeconds(mp3, samples));
        const double speed = kSeconds / best;
        const std::string what = "MP3 greeting " + std::to_string(rate) + " Hz " + (channels == 1 ? "mono" : "stereo") +
                                 ": decode + resample";
        Report(what.c_str(), speed, 50);
        ok = ok && speed >= 50;
    }

    // The recorder: a minute of call on both sides, mixed and encoded by the
    // writer thread as fast as it can go.
    NoPrompts prompts;
    const auto voice = Signal(16000, 1, kSeconds, 2);
    const auto mic = Signal(16000, 1, kSeconds, 3);
    double recorderBest = 1e9;
    for (int round = 0; round < 3; ++round) {
        VirtualEventLoop loop;
        audio::CallRecorder recorder(loop, prompts);
        const auto start = Clock::now();
        if (!recorder.Start((dir / "call.mp3").string())) return 2;
        for (std::size_t at = 0; at + 160 <= voice.size(); at += 160) {
            audio::CBuffer out(const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(voice.data() + at)), 320);
            audio::CBuffer in(const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(mic.data() + at)), 320);
            recorder.PushOutput(out);
            recorder.PushInput(in);
        }
        recorder.Stop();
        recorderBest = std::min(recorderBest, Since(start));
    }
    const double recorderSpeed = kSeconds / recorderBest;
    Report("recorder: mix + encode a minute of call", recorderSpeed, 100);
    ok = ok && recorderSpeed >= 100;

    // The encoder alone against the command line, on the same mixed input.
    std::vector<std::int16_t> mix(voice.size());
    for (std::size_t i = 0; i < mix.size(); ++i) {
        mix[i] = static_cast<std::int16_t>(std::clamp(voice[i] + mic[i], -32768, 32767));
    }
    const std::string mixRaw = (dir / "mix.raw").string();
    WriteRaw(mixRaw, mix);
    double ours = 1e9;
    double theirs = 1e9;
    for (int round = 0; round < 3; ++round) {
        audio::CMp3File file(prompts);
        const auto start = Clock::now();
        if (!file.Open((dir / "ours.mp3").string())) return 2;
        for (std::size_t at = 0; at + 160 <= mix.size(); at += 160) {
            file.Write(audio::CBuffer(const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(mix.data() + at)), 320));
        }
        file.Close();
        ours = std::min(ours, Since(start));
        const auto cli = Clock::now();
        if (!Run("lame --quiet -r -s 16 --bitwidth 16 --signed --little-endian -m m --resample 32 -b 64 --cbr --nores -t '" +
                 mixRaw + "' '" + (dir / "theirs.mp3").string() + "' 2>/dev/null")) {
            return 2;
        }
        theirs = std::min(theirs, Since(cli));
    }
    std::printf("%-58s %8.1f x\n", "encoder, 160-sample chunks: speed", kSeconds / ours);
    std::printf("%-58s %8.1f x\n", "lame command line, same settings and input: speed", kSeconds / theirs);
    std::printf("%-58s %8.2f   (lame time / ours; above 1: ours is faster)\n", "ratio", theirs / ours);
    std::printf("%-58s %8ju / %ju bytes\n", "output size, ours / lame's", static_cast<std::uintmax_t>(fs::file_size(dir / "ours.mp3")),
                static_cast<std::uintmax_t>(fs::file_size(dir / "theirs.mp3")));
    const auto slurp = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    std::printf("%-58s %8s\n", "the two MP3 files byte for byte", slurp(dir / "ours.mp3") == slurp(dir / "theirs.mp3") ? "same" : "differ");
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
