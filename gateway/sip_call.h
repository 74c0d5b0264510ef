#pragma once

// Inside the SIP stack's thread: one call's session and media. Only the
// stack's thread touches these.
#include <samplerate.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "libre.h"
#include "sip_stack.h"

namespace zorvan::gateway {

struct SipCall {
    SipStack::Impl* stack = nullptr;
    int id = 0;
    std::shared_ptr<CallAudio> audio;
    sipsess* sess = nullptr;
    sdp_session* sdp = nullptr;
    sdp_media* media = nullptr;
    struct rtp_sock* rtp = nullptr;
    jbuf* jitter = nullptr;
    telev* events = nullptr;
    tmr tick{};
    tmr dtmfEnd{};
    tmr noResponse{};  // nothing at all from the far end: it is out of reach
    SRC_STATE* up = nullptr;    // 8 -> 16 kHz, what the callee says
    SRC_STATE* down = nullptr;  // 16 -> 8 kHz, what the callee hears
    std::vector<std::int16_t> narrow;    // 8 kHz samples waiting for the next packet out
    std::vector<std::int16_t> received;  // 8 kHz samples decoded, waiting for their 20 ms
    int payloadType = -1;              // 0 PCMU, 8 PCMA; -1 until the answer's SDP
    int eventType = -1;                // the peer's telephone-event type, if any
    int eventCode = -1;                // the key being sent as an event
    sa remote{};
    bool haveRemote = false;
    bool answered = false;
    bool held = false;
    bool firstPacket = true;
    bool feeding = false;  // the dialer's audio is flowing (the prebuffer has filled)
    std::uint32_t timestamp = 0;
    std::uint32_t eventTimestamp = 0;
    std::uint64_t mediaStart = 0;  // ms, the stack's clock
    std::uint64_t ticks = 0;       // 20 ms packets since mediaStart

    ~SipCall();
};

// The call's RTP socket on `address`, its SDP offer with `codecs`, the
// jitter buffer, the telephone events and the resamplers.
bool StartMedia(SipCall& call, const sa& address, const std::vector<std::string>& codecs, std::string& error);
// After an SDP answer or offer from the peer: codec, peer address, events.
// False when no codec is common.
bool ApplyRemoteSdp(SipCall& call);
// Packets start (or go on) every 20 ms.
void RunMedia(SipCall& call);
// A DTMF key as an RFC 4733 event, if the peer takes them; false if not.
bool SendDtmfEvent(SipCall& call, char key);

}  // namespace zorvan::gateway
