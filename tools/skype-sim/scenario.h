#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "behaviour.h"

namespace skypesim {

// What the callee of one number does.
struct Callee {
    enum class Outcome { Answer, Busy, Refuse, Missed, NoAnswer, Fail, PstnFailure, Reject, RejectBare };
    double ringSeconds = 1.0;
    bool earlyMedia = false;
    Outcome outcome = Outcome::Answer;
    int code = 0;               // FAILUREREASON for Fail, the ERROR number for Reject and RejectBare
    std::string text;           // PSTN_STATUS text for PstnFailure
    std::optional<double> hangupAfter;  // the callee ends an answered call
    std::string voice;                  // WAV the callee says once answered (then silence)
    std::string mic;                    // WAV for the local microphone copy
    double micTone = 0;                 // or a sine of this many Hz
    std::optional<double> dropOutputAt;  // the client drops the voice connection this long after making it
    std::optional<double> netLossAt;     // the network goes this long after the answer: FAILUREREASON 2, FAILED
};

// A call that comes in on the account by itself.
struct IncomingCall {
    std::string handle;
    bool pstn = false;
    double ringSeconds = 1.0;
    enum class Outcome { Missed, Refused, Answer } outcome = Outcome::Missed;
};

// Something the client does on its own at a time after its start.
struct TimedAction {
    double at = 0;
    enum class Kind { UserStatus, Logout, Login, Exit, Incoming, ConnStatus } kind = Kind::UserStatus;
    std::string value;
    IncomingCall incoming;
};

// A scenario file: how the client attaches, what it answers, and what each
// number's callee does. Format: docs/skype-sim.md.
struct Scenario : skypeclient::Behaviour {
    enum class AttachPolicy { Immediate, Pending, Refused, Never, NotAvailable };
    AttachPolicy attach = AttachPolicy::Immediate;
    double pendingSeconds = 0;
    std::map<std::string, Callee> callees;  // by dialled number
    Callee fallback;                        // numbers not listed
    std::vector<TimedAction> timeline;
    double hangupDelay = 0;  // a hang-up completes this long after the command

    const Callee& CalleeFor(const std::string& number) const;
};

// Parses a scenario; on a mistake returns nothing and says where in `error`.
// Relative file names are taken from `folder`.
std::optional<Scenario> ParseScenario(const std::string& text, std::string& error, const std::string& folder = ".");

}  // namespace skypesim
