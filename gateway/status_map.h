#pragma once

// How the client tells the dialer about a SIP call: one SIP event of a call
// in, the texts the client would send out. No Qt and no libre, so that
// event sequences recorded from real calls can be replayed in tests.
#include <string>
#include <vector>

#include "sip_stack.h"

namespace zorvan::gateway {

struct CallState {
    bool routed = false;  // ROUTING has been said
    std::string status;   // the last status said
};

struct ClientSays {
    std::vector<std::string> statuses;  // in order
    bool failureReason = false;         // FAILUREREASON before the last status
    bool refuseNumber = false;          // ERROR 92 instead, and the call is gone
    bool answered = false;              // the call is up: its duration starts
};

// 180 RINGING, 183 EARLYMEDIA, 200 INPROGRESS; ROUTING once before the first
// of them. A BYE is FINISHED; 486/600 BUSY; 603 REFUSED; 404/484 before any
// ringing the client's refusal of the number (ERROR 92); everything else,
// with time-outs and an unreachable domain, the failure path.
ClientSays MapSipEvent(const SipEvent& event, CallState& state);

// A session's end as libre reports it: `err` with no message for a reset
// (the callee's BYE is reported as ECONNRESET) or a time-out; a final
// response's code and reason; or the BYE request itself.
SipEvent EndedEvent(int call, int err, bool haveMessage, bool isRequest, int code, const std::string& reason);

}  // namespace zorvan::gateway
