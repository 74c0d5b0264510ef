#include "scores.h"

#include <algorithm>

namespace zorvan::tools::amdeval {

namespace {

constexpr long kCueWithinMs = 500;

std::string Ratio(int part, int whole) { return std::to_string(part) + "/" + std::to_string(whole); }

std::string Fixed(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

const char* CueAgainstBeep(const Outcome& outcome, const Label& label) {
    if (label.beepEndMs < 0) return "-";
    if (outcome.cueMs < 0) return "none";
    if (outcome.cueMs < label.beepEndMs) return "before";
    return outcome.cueMs - label.beepEndMs <= kCueWithinMs ? "after" : "late";
}

void Scores::Tally::Add(const Label& label, const Outcome& outcome) {
    ++files;
    const bool human = label.kind == Kind::Human;
    correct += (human && outcome.verdict == 1) || (label.kind == Kind::Machine && outcome.verdict == 0);
    if (outcome.verdictMs >= 0) {
        verdictSum += outcome.verdictMs;
        ++verdicts;
        maxVerdict = std::max(maxVerdict, outcome.verdictMs);
    }
    if (human && outcome.verdictMs >= 0 && label.speechEndMs >= 0) {
        afterSpeechSum += outcome.verdictMs - label.speechEndMs;
        ++afterSpeech;
    }
    if (label.kind == Kind::Machine) {
        const long end = std::max(label.speechEndMs, label.beepEndMs);
        if (end >= 0) {
            ++endKnown;
            beforeEnd += outcome.verdict == 0 && outcome.verdictMs < end;
        }
        if (label.beepEndMs >= 0) {
            ++beeps;
            cueAfterBeep += std::string(CueAgainstBeep(outcome, label)) == "after";
        }
    }
}

std::string Scores::Tally::Fields(bool human, bool machine) const {
    std::string text = "files=" + std::to_string(files) + "\tcorrect=" + std::to_string(correct) +
                       "\taccuracy=" + Fixed(files > 0 ? static_cast<double>(correct) / files : 0.0, "%.3f") +
                       "\tmean_verdict_ms=" + Fixed(verdicts > 0 ? static_cast<double>(verdictSum) / verdicts : 0.0, "%.0f");
    if (human && afterSpeech > 0) {
        text += "\tafter_speech_ms=" + Fixed(static_cast<double>(afterSpeechSum) / afterSpeech, "%.0f") +
                "\tmax_verdict_ms=" + std::to_string(maxVerdict);
    }
    if (machine && endKnown > 0) text += "\tbefore_greeting_end=" + Ratio(beforeEnd, endKnown);
    if (machine && beeps > 0) text += "\tcue_after_beep=" + Ratio(cueAfterBeep, beeps);
    return text;
}

void Scores::Add(const Label& label, const Outcome& outcome) {
    if (label.kind == Kind::Unknown) return;
    categories_[label.category].Add(label, outcome);
    all_.Add(label, outcome);
    (label.kind == Kind::Human ? people_ : machines_).Add(label, outcome);
}

void Scores::Print(std::FILE* out) const {
    if (all_.files == 0) return;
    if (categories_.size() > 1) {
        for (const auto& [name, tally] : categories_) {
            const bool human = name.rfind("human", 0) == 0;
            std::fprintf(out, "category\t%s\t%s\n", name.c_str(), tally.Fields(human, !human).c_str());
        }
    }
    std::string extra;
    if (people_.afterSpeech > 0) {
        extra += "\thuman_after_speech_ms=" +
                 Fixed(static_cast<double>(people_.afterSpeechSum) / people_.afterSpeech, "%.0f") +
                 "\thuman_max_verdict_ms=" + std::to_string(people_.maxVerdict);
    }
    if (machines_.endKnown > 0) extra += "\tmachine_before_greeting_end=" + Ratio(machines_.beforeEnd, machines_.endKnown);
    if (machines_.beeps > 0) extra += "\tcue_after_beep=" + Ratio(machines_.cueAfterBeep, machines_.beeps);
    std::fprintf(out, "summary\t%s%s\n", all_.Fields(false, false).c_str(), extra.c_str());
}

}  // namespace zorvan::tools::amdeval
