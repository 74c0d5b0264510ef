#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/event_loop.h"

namespace zorvan {

// Waits on the event loop's clock until `ready` holds, then runs `start`;
// or, when the time is up or `failed` names a reason earlier, hands that
// reason (or `whyNot`'s) to `fail`. Runs one of the two once.
class LaunchWaiter final : public EventHandler {
public:
    struct Steps {
        std::function<bool()> ready;
        std::function<void()> start;
        std::function<std::string()> failed;  // a reason that will not go away; empty: none
        std::function<std::string()> whyNot;  // the reason at the deadline
        std::function<void(const std::string&)> fail;
    };
    static constexpr int kTimer = 1;

    LaunchWaiter(EventLoop& loop, std::int64_t limitMs, std::int64_t pollMs, Steps steps)
        : loop_(loop), target_(loop, *this), deadline_(loop.now() + limitMs), steps_(std::move(steps)) {
        loop_.setTimer(target_.id(), kTimer, pollMs);
    }
    bool done() const { return done_; }

    void OnEvent(const Event& event) override { static_cast<void>(event); }
    void OnTimer(int timerId) override {
        if (done_ || timerId != kTimer) return;
        if (steps_.ready()) {
            Finish();
            steps_.start();
            return;
        }
        std::string reason = steps_.failed();
        if (reason.empty() && loop_.now() >= deadline_) reason = steps_.whyNot();
        if (reason.empty()) return;
        Finish();
        steps_.fail(reason);
    }

private:
    void Finish() {
        done_ = true;
        loop_.killTimer(target_.id(), kTimer);
    }

    EventLoop& loop_;
    ScopedTarget target_;
    std::int64_t deadline_;
    Steps steps_;
    bool done_ = false;
};

}  // namespace zorvan
