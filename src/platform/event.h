#pragma once

#include <cstdint>

namespace zorvan {

// One message for an event target: the id keeps its fixed number (the UM_
// constants), the two words carry what the sender puts in them.
struct Event {
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool operator==(const Event&) const = default;
};

// Identifies an event target registered with an event loop. Posting to an id
// whose target is gone is harmless: the event is dropped.
using TargetId = std::uint64_t;
inline constexpr TargetId kNoTarget = 0;

// Receives events and timer expiries on the event loop's thread, one at a
// time, in arrival order.
class EventHandler {
public:
    virtual ~EventHandler() = default;
    virtual void OnEvent(const Event& event) = 0;
    virtual void OnTimer(int timerId) { static_cast<void>(timerId); }
};

}  // namespace zorvan
