#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan {

// What the Skype client's side of the link delivers to the dialer. Called on
// the user-interface thread.
class SkypeTransportListener {
public:
    virtual ~SkypeTransportListener() = default;
    // An attach response from `peer` (the Skype client's address) with its
    // status: 0 SUCCESS, 1 PENDING_AUTHORIZATION, 2 REFUSED, 3 NOT_AVAILABLE,
    // 0x8001 API_AVAILABLE (the client started or came back).
    virtual void OnAttachResponse(const std::string& peer, std::uint32_t status) = 0;
    // One text from `peer`, as the raw bytes that arrived (normally UTF-8
    // with a terminating zero). Returns whether the text was accepted; the
    // peer's call returns only after this does.
    virtual bool OnCopyData(const std::string& peer, std::string_view bytes) = 0;
};

// The four operations the Skype Desktop API needs from the platform: a
// broadcast discover, attach responses, a synchronous request that returns
// accepted or not, and an inbound text channel.
class SkypeTransport {
public:
    virtual ~SkypeTransport() = default;
    // Makes the dialer reachable; false when that is impossible (no bus).
    virtual bool Open(SkypeTransportListener& listener) = 0;
    virtual void Close() = 0;
    // Broadcasts a discover request carrying the dialer's address.
    virtual void BroadcastDiscover() = 0;
    // Hands one text (UTF-8 bytes with their terminating zero) to the peer
    // and waits until it has handled it. Called from the sender thread.
    virtual bool CopyData(const std::string& peer, std::string_view bytes) = 0;
};

}  // namespace zorvan
