#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "labels.h"

namespace zorvan::tools::amdeval {

// What the detection did with one file (times in ms after the answer).
struct Outcome {
    int verdict = -1;  // 1 person, 0 machine
    long verdictMs = -1;
    long cueMs = -1;
};

// How the cue falls against a machine's beep: "after" (within 0.5 s of its
// end), "late", "before", "none" (no cue) or "-" (no beep).
const char* CueAgainstBeep(const Outcome& outcome, const Label& label);

// Tallies per category and overall.
class Scores {
public:
    void Add(const Label& label, const Outcome& outcome);
    // One "category" line per category, then the "summary" line.
    void Print(std::FILE* out) const;

private:
    struct Tally {
        int files = 0;
        int correct = 0;
        long verdictSum = 0;
        int verdicts = 0;
        long maxVerdict = 0;
        long afterSpeechSum = 0;  // people: verdict time after their speech ended
        int afterSpeech = 0;
        int beforeEnd = 0;  // machines: verdicts before the greeting (and beep) ended
        int endKnown = 0;
        int beeps = 0;
        int cueAfterBeep = 0;
        void Add(const Label& label, const Outcome& outcome);
        std::string Fields(bool human, bool machine) const;
    };
    std::map<std::string, Tally> categories_;
    Tally all_;
    Tally people_;
    Tally machines_;
};

}  // namespace zorvan::tools::amdeval
