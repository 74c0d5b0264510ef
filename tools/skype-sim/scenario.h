#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace skypesim {

// What the callee of one number does.
struct Callee {
    enum class Outcome { Answer, Busy, Refuse, Missed, NoAnswer, Fail, PstnFailure, Reject };
    double ringSeconds = 1.0;
    bool earlyMedia = false;
    Outcome outcome = Outcome::Answer;
    int code = 0;               // FAILUREREASON for Fail, the ERROR number for Reject
    std::string text;           // PSTN_STATUS text for PstnFailure
    std::optional<double> hangupAfter;  // the callee ends an answered call
    std::string voice;                  // WAV the callee says once answered (then silence)
    std::string mic;                    // WAV for the local microphone copy
    double micTone = 0;                 // or a sine of this many Hz
    std::optional<double> dropOutputAt;  // the client drops the voice connection this long after making it
};

// Something the client does on its own at a time after its start.
struct TimedAction {
    double at = 0;
    enum class Kind { UserStatus, Logout, Login, Exit } kind = Kind::UserStatus;
    std::string value;
};

// A scenario file: how the client attaches, what it answers, and what each
// number's callee does. Format: docs/skype-sim.md.
struct Scenario {
    enum class AttachPolicy { Immediate, Pending, Refused, Never };
    AttachPolicy attach = AttachPolicy::Immediate;
    double pendingSeconds = 0;
    std::string version = "8.99.0.403";
    std::string handle = "zorvan.demo";
    std::map<std::string, Callee> callees;  // by dialled number
    Callee fallback;                        // numbers not listed
    std::vector<TimedAction> timeline;

    const Callee& CalleeFor(const std::string& number) const;
};

// Parses a scenario; on a mistake returns nothing and says where in `error`.
// Relative file names are taken from `folder`.
std::optional<Scenario> ParseScenario(const std::string& text, std::string& error, const std::string& folder = ".");

}  // namespace skypesim
