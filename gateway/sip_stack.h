#pragma once

// The SIP side of the gateway: one object owns libre (SIP, SDP, RTP, the
// jitter buffer, telephone events) and the thread its loop runs on. Commands
// come in from any thread and are carried to that thread; what happens comes
// back as SipEvents through the sink, called on the stack's thread. Each
// call's audio crosses in its CallAudio, at 16 kHz.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "gateway_settings.h"
#include "sample_ring.h"

namespace zorvan::gateway {

struct CallAudio {
    SampleRing voice{16000};  // the callee, to the dialer (at most a second waits)
    // The dialer, to the callee. A greeting may come faster than it is
    // played: all of it waits (a few minutes at most).
    SampleRing heard{16000 * 300};
    SampleRing sent{16000};  // what went to the callee, as it went: the microphone stream
};

struct SipEvent {
    enum class Kind {
        Ringing,       // 180
        EarlyMedia,    // 183
        Answered,      // 200: the call is up
        Ended,         // the call is over; code/reason say how (0: ended here)
        Registered,
        RegistrationFailed,
        DtmfSent,      // how a key went: reason "rtp" or "info"
    };
    Kind kind = Kind::Ended;
    int call = 0;
    int code = 0;          // the SIP status that caused it, if any
    int error = 0;         // an errno from the stack (timeouts, unreachable), if any
    bool byRemote = false;  // Ended: the other side hung up (BYE)
    std::string reason;
};

class SipStack {
public:
    using Sink = std::function<void(const SipEvent&)>;
    SipStack(GatewaySettings settings, Sink sink);
    ~SipStack();
    SipStack(const SipStack&) = delete;
    SipStack& operator=(const SipStack&) = delete;

    // Binds the SIP address and starts the thread; registers when a
    // registrar is set. False with `error` when the address cannot be used.
    bool Start(std::string& error);
    void Stop();

    void Dial(int call, const std::string& number, std::shared_ptr<CallAudio> audio);
    void Hangup(int call);
    void Hold(int call, bool held);
    void SendDtmf(int call, char key);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace zorvan::gateway
