// amd-eval: runs WAV files through the answering machine detection as a
// call would (the real per-chunk step, the decision window and the wait for
// a machine's greeting end, in virtual time) and prints the verdicts.
//
//   amd-eval [--threshold 1|2|3] [--frames upsampled|paired] FILE.wav...
//
// One line per file: path, verdict (human or machine), verdict time after
// the answer in ms, greeting-end cue time in ms or "-". Files whose names
// begin with "human" or "machine" are scored in a summary line.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/amd/answering_machine_detector.h"
#include "common/wav.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"

namespace {

using namespace zorvan;
using namespace zorvan::audio;

struct Outcome {
    bool ok = false;
    int verdict = -1;  // 1 person, 0 machine
    long verdictMs = -1;
    long cueMs = -1;
};

struct Collector final : EventHandler {
    std::vector<Event> events;
    void OnEvent(const Event& e) override { events.push_back(e); }
};

Outcome Evaluate(const std::vector<std::int16_t>& audio, int threshold, ChunkFrames frames) {
    VirtualEventLoop loop;
    Collector collector;
    ScopedTarget target(loop, collector);
    AnsweringMachineDetector amd(frames);
    amd.SetNotify(&loop, target.id());
    amd.SetThreshold([threshold] { return threshold; });
    const long windowMs = AnsweringMachineDetector::WindowMs(threshold);
    // After the audio the line is silent, long enough for every verdict.
    const long lastMs = std::max<long>(static_cast<long>(audio.size() / 16), windowMs) +
                        AnsweringMachineDetector::ClosingSilence(threshold) * 10 + 1000;
    Outcome outcome;
    outcome.ok = true;
    amd.StartDetection();
    bool timedOut = false;
    std::int16_t chunk[160];
    for (long t = 0; t < lastMs; t += 10) {
        if (!timedOut && t >= windowMs) {
            amd.DetectionTimeout();
            timedOut = true;
        }
        const auto at = static_cast<std::size_t>(t) * 16;
        for (std::size_t i = 0; i < 160; ++i) chunk[i] = at + i < audio.size() ? audio[at + i] : 0;
        amd.Step(reinterpret_cast<const std::uint8_t*>(chunk));
        loop.runPending();
        for (const Event& e : collector.events) {
            const long when = timedOut && t == windowMs ? windowMs : t + 10;
            if (e.id == um::UM_AMD_RESULT && outcome.verdict < 0) {
                outcome.verdict = static_cast<int>(e.wParam);
                outcome.verdictMs = e.wParam == 0 ? windowMs : when;
                if (e.wParam == 0) amd.AwaitGreetingEnd();  // leave a message on the machine
            } else if (e.id == um::UM_GREETING_CUE && outcome.cueMs < 0) {
                outcome.cueMs = when;
            }
        }
        collector.events.clear();
        if (timedOut && (outcome.verdict == 1 || outcome.cueMs >= 0)) break;
    }
    return outcome;
}

int Usage() {
    std::fputs("usage: amd-eval [--threshold 1|2|3] [--frames paired|upsampled] FILE.wav...\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int threshold = 2;
    ChunkFrames frames = ChunkFrames::Upsampled;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--threshold" && i + 1 < argc) {
            threshold = std::atoi(argv[++i]);
            if (threshold < 1 || threshold > 3) return Usage();
        } else if (arg == "--frames" && i + 1 < argc) {
            const std::string value = argv[++i];
            if (value == "paired") {
                frames = ChunkFrames::Paired;
            } else if (value == "upsampled") {
                frames = ChunkFrames::Upsampled;
            } else {
                return Usage();
            }
        } else if (arg.rfind("--", 0) == 0) {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return Usage();

    int labelled = 0;
    int correct = 0;
    double verdictSum = 0;
    int verdicts = 0;
    int failures = 0;
    for (const std::string& file : files) {
        std::vector<std::int16_t> audio;
        std::string error;
        if (!zorvan::tools::LoadWavAs16kMono(file, audio, error)) {
            std::fprintf(stderr, "amd-eval: %s\n", error.c_str());
            ++failures;
            continue;
        }
        const Outcome o = Evaluate(audio, threshold, frames);
        const char* verdict = o.verdict == 1 ? "human" : o.verdict == 0 ? "machine" : "none";
        if (o.cueMs >= 0) {
            std::printf("%s\t%s\t%ld\t%ld\n", file.c_str(), verdict, o.verdictMs, o.cueMs);
        } else {
            std::printf("%s\t%s\t%ld\t-\n", file.c_str(), verdict, o.verdictMs);
        }
        if (o.verdictMs >= 0) {
            verdictSum += static_cast<double>(o.verdictMs);
            ++verdicts;
        }
        const std::string name = std::filesystem::path(file).filename().string();
        const bool human = name.rfind("human", 0) == 0;
        const bool machine = name.rfind("machine", 0) == 0;
        if (human || machine) {
            ++labelled;
            correct += (human && o.verdict == 1) || (machine && o.verdict == 0);
        }
    }
    if (labelled > 0) {
        std::printf("summary\tfiles=%d\tcorrect=%d\taccuracy=%.3f\tmean_verdict_ms=%.0f\n", labelled, correct,
                    static_cast<double>(correct) / labelled, verdicts > 0 ? verdictSum / verdicts : 0.0);
    }
    return failures == 0 ? 0 : 1;
}
