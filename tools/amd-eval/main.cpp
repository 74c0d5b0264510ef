// amd-eval: runs WAV files through the answering machine detection as a
// call would (the real per-chunk step, the decision window and the wait for
// a machine's greeting end, in virtual time) and prints the verdicts.
//
//   amd-eval [--mode 0|1] [--threshold 1|2|3] [--frames upsampled|paired]
//            [--cue] [--labels FILE] FILE.wav...
//
// One line per file: path, verdict (human or machine), verdict time after
// the answer in ms, greeting-end cue time in ms or "-". With --cue, machine
// files get two more fields: where their beep ends and how the cue falls
// against it. Files are scored when their kind is known, from a labels file
// or from their names; see Usage().
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/amd/answering_machine_detector.h"
#include "common/wav.h"
#include "labels.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "scores.h"

namespace {

using namespace zorvan;
using namespace zorvan::audio;
using zorvan::tools::amdeval::Label;
using zorvan::tools::amdeval::Outcome;

struct Collector final : EventHandler {
    std::vector<Event> events;
    void OnEvent(const Event& e) override { events.push_back(e); }
};

struct Options {
    int mode = kAmdModeSilence;
    int threshold = 2;
    ChunkFrames frames = ChunkFrames::Upsampled;
    bool cue = false;
    std::string labels;
    std::vector<std::string> files;
};

Outcome Evaluate(const std::vector<std::int16_t>& audio, const Options& options) {
    VirtualEventLoop loop;
    Collector collector;
    ScopedTarget target(loop, collector);
    AnsweringMachineDetector amd(options.frames);
    amd.SetNotify(&loop, target.id());
    amd.SetThreshold([&options] { return options.threshold; });
    amd.SetMode([&options] { return options.mode; });
    const long windowMs = DetectionWindowMs(options.threshold, options.mode);
    // After the audio the line is silent, long enough for every verdict.
    const long lastMs = std::max<long>(static_cast<long>(audio.size() / 16), windowMs) +
                        AnsweringMachineDetector::ClosingSilence(options.threshold) * 10 + 1000;
    Outcome outcome;
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
                outcome.verdictMs = when;
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

int Usage(std::FILE* to = stderr) {
    std::fputs(
        "usage: amd-eval [--mode 0|1] [--threshold 1|2|3] [--frames paired|upsampled]\n"
        "                [--cue] [--labels FILE] FILE.wav...\n"
        "  --mode 0|1     0: the silence count (default); 1: the opening's shape and the beep\n"
        "  --cue          for machine files, where the beep ends and whether the message\n"
        "                 starts after it (\"after\": within 0.5 s, \"late\", \"before\")\n"
        "  --labels FILE  tab-separated: file, kind (human|machine), category, speech end,\n"
        "                 beep start, beep end (seconds after the answer, \"-\" for none);\n"
        "                 by default labels.tsv beside each file, if there is one.\n"
        "                 Without a label a file named KIND-CATEGORY-... is scored by its name.\n",
        to);
    return to == stderr ? 2 : 0;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--threshold" && hasValue) {
            options.threshold = std::atoi(argv[++i]);
            if (options.threshold < 1 || options.threshold > 3) return false;
        } else if (arg == "--mode" && hasValue) {
            const std::string value = argv[++i];
            if (value != "0" && value != "1") return false;
            options.mode = value == "1" ? kAmdModeShape : kAmdModeSilence;
        } else if (arg == "--frames" && hasValue) {
            const std::string value = argv[++i];
            if (value != "paired" && value != "upsampled") return false;
            options.frames = value == "paired" ? ChunkFrames::Paired : ChunkFrames::Upsampled;
        } else if (arg == "--labels" && hasValue) {
            options.labels = argv[++i];
        } else if (arg == "--cue") {
            options.cue = true;
        } else if (arg.rfind("--", 0) == 0) {
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    return !options.files.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help") return Usage(stdout);
    }
    if (!ParseArguments(argc, argv, options)) return Usage();
    namespace ae = zorvan::tools::amdeval;
    ae::Labels labels;
    std::string error;
    if (!options.labels.empty() && !labels.Load(options.labels, error)) {
        std::fprintf(stderr, "amd-eval: %s\n", error.c_str());
        return 2;
    }
    ae::Scores scores;
    int failures = 0;
    for (const std::string& file : options.files) {
        std::vector<std::int16_t> audio;
        if (!zorvan::tools::LoadWavAs16kMono(file, audio, error)) {
            std::fprintf(stderr, "amd-eval: %s\n", error.c_str());
            ++failures;
            continue;
        }
        if (options.labels.empty()) labels.LoadBeside(file);
        const Label label = labels.For(file);
        const Outcome o = Evaluate(audio, options);
        const char* verdict = o.verdict == 1 ? "human" : o.verdict == 0 ? "machine" : "none";
        std::printf("%s\t%s\t%ld\t%s", file.c_str(), verdict, o.verdictMs,
                    o.cueMs >= 0 ? std::to_string(o.cueMs).c_str() : "-");
        if (options.cue && label.kind == ae::Kind::Machine) {
            std::printf("\t%s\t%s", label.beepEndMs >= 0 ? std::to_string(label.beepEndMs).c_str() : "-",
                        ae::CueAgainstBeep(o, label));
        }
        std::printf("\n");
        scores.Add(label, o);
    }
    scores.Print(stdout);
    return failures == 0 ? 0 : 1;
}
