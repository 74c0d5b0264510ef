#include "status_map.h"

#include <cerrno>
#include <cstring>

namespace zorvan::gateway {

namespace {

void Route(ClientSays& says, CallState& state) {
    if (state.routed) return;
    state.routed = true;
    says.statuses.push_back("ROUTING");
}

void Say(ClientSays& says, CallState& state, const std::string& status) {
    if (state.status == status) return;  // 180 again, or 183 after 183
    state.status = status;
    says.statuses.push_back(status);
}

}  // namespace

ClientSays MapSipEvent(const SipEvent& event, CallState& state) {
    ClientSays says;
    switch (event.kind) {
        case SipEvent::Kind::Ringing:
            Route(says, state);
            Say(says, state, "RINGING");
            break;
        case SipEvent::Kind::EarlyMedia:
            Route(says, state);
            Say(says, state, "EARLYMEDIA");
            break;
        case SipEvent::Kind::Answered:
            Route(says, state);
            Say(says, state, "INPROGRESS");
            says.answered = true;
            break;
        case SipEvent::Kind::Ended:
            if (event.byRemote) {
                Say(says, state, "FINISHED");
            } else if ((event.code == 404 || event.code == 484) && !state.routed) {
                says.refuseNumber = true;
                state.status = "FAILED";
            } else {
                Route(says, state);
                if (event.code == 486 || event.code == 600) {
                    Say(says, state, "BUSY");
                } else if (event.code == 603) {
                    Say(says, state, "REFUSED");
                } else {
                    says.failureReason = true;
                    Say(says, state, "FAILED");
                }
            }
            break;
        case SipEvent::Kind::Registered:
        case SipEvent::Kind::RegistrationFailed:
        case SipEvent::Kind::DtmfSent:
            break;
    }
    return says;
}

SipEvent EndedEvent(int call, int err, bool haveMessage, bool isRequest, int code, const std::string& reason) {
    SipEvent event;
    event.kind = SipEvent::Kind::Ended;
    event.call = call;
    if ((haveMessage && isRequest) || (!haveMessage && err == ECONNRESET)) {
        event.byRemote = true;
        event.reason = "BYE";
    } else if (haveMessage) {
        event.code = code;
        event.reason = reason;
    } else {
        event.error = err;
        event.reason = err != 0 ? std::strerror(err) : "ended";
    }
    return event;
}

}  // namespace zorvan::gateway
