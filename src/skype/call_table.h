#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zorvan {

class EventLoop;

// The state of a call as the table keeps it.
enum SkypeCallState : int {
    SkypeOther = 0,
    SkypeUnplaced = 1,
    SkypeRouting = 2,
    SkypeEarlyMedia = 3,
    SkypeFailed = 4,
    SkypeRinging = 5,
    SkypeInProgress = 6,
    SkypeOnHold = 7,
    SkypeFinished = 8,
    SkypeMissed = 9,
    SkypeRefused = 10,
    SkypeBusy = 11,
    SkypeCancelled = 12,
};

inline bool IsLiveState(int s) { return s == 2 || s == 3 || s == 5 || s == 6 || s == 7; }
inline bool IsActiveState(int s) { return s == 6 || s == 7; }
inline bool IsEndedState(int s) { return s == 4 || (s >= 8 && s <= 12); }

struct SkypeCall {
    std::string callId;  // empty: the slot is free
    std::string partnerHandle;
    int state = SkypeOther;
    std::int64_t startTime = 0;  // seconds since 1970-01-01 UTC
    bool incoming = false;       // the client said its TYPE is INCOMING_*
};

// The calls the dialer knows about: 20 slots filled in order of first
// appearance and freed only all together by Clear. A slot's position is the
// call index the messages carry. Used on the user-interface thread only.
class SkypeCallTable {
public:
    static constexpr int kSlots = 20;
    using SendCommand = std::function<bool(const std::string&)>;

    SkypeCallTable(EventLoop& loop, SendCommand send);

    int FindOrAdd(std::string_view id);
    int Find(std::string_view id) const;
    int StateOf(std::string_view id) const;
    int SetState(std::string_view id, int state);
    int SetPartner(std::string_view id, const std::string& handle);
    int MarkIncoming(std::string_view id);
    // Hangs up that call when it is live; the 200 ms pause runs either way.
    void HangUp(std::string_view id);
    std::string PartnerOf(std::string_view id) const;
    bool HasActiveCall() const;
    bool HasLiveCall() const;
    int KnownCallCount() const;
    // Among the active calls, the one taken first (the higher slot on a tie).
    std::pair<std::string, std::string> OldestActiveCall() const;
    std::string CurrentCallId() const { return currentCallId_; }
    void HangUpAll();
    void Clear();

    const SkypeCall& slot(int index) const { return slots_.at(static_cast<std::size_t>(index)); }

private:
    EventLoop& loop_;
    SendCommand send_;
    std::string currentCallId_;
    std::array<SkypeCall, kSlots> slots_{};
};

}  // namespace zorvan
