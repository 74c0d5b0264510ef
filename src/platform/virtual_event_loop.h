#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/event_loop.h"

namespace zorvan {

// Virtual time: the clock stands still until advance() moves it. Advancing
// runs, in time order, the timers that come due, wakes the workers whose waits
// end, and dispatches posted events; between steps it lets every worker that
// this loop started run until it waits again or ends, so a test sees the full
// effect of each instant before the next one. Used by the unit tests and by
// tools that replay audio faster than real time.
class VirtualEventLoop final : public EventLoop {
public:
    explicit VirtualEventLoop(std::chrono::system_clock::time_point wallStart = DefaultWallStart());
    ~VirtualEventLoop() override;

    TargetId addTarget(EventHandler& handler) override;
    void removeTarget(TargetId target) override;
    void post(TargetId target, Event event) override;
    void setTimer(TargetId target, int timerId, std::int64_t intervalMs) override;
    void killTimer(TargetId target, int timerId) override;
    void pumpWait(std::int64_t ms) override { advance(ms); }
    std::int64_t now() const override;
    std::chrono::system_clock::time_point wallNow() const override;
    bool wait(WaitEvent& event, std::int64_t timeoutMs) override;
    std::thread spawn(std::function<void()> body) override;

    // Moves the clock forward by ms, running everything that comes due.
    void advance(std::int64_t ms);
    // Runs what is due now without moving the clock.
    void runPending() { advance(0); }
    // Blocks until every worker started through spawn() waits or has ended.
    void settle();

    std::size_t sleepingWorkers() const;
    bool hasTimer(TargetId target, int timerId) const;
    void setWallTime(std::chrono::system_clock::time_point wall);

    static std::chrono::system_clock::time_point DefaultWallStart();

private:
    struct Waiter {
        std::optional<std::int64_t> deadline;
        bool counted = false;
        bool sleeping = false;  // in sleepers_: only a sleeping waiter can be woken
        bool woken = false;
        bool timedOut = false;
        std::condition_variable cv;
        std::shared_ptr<void> listener;
    };
    struct Timer {
        std::int64_t due = 0;
        std::int64_t interval = 1;
        std::uint64_t seq = 0;
    };
    using TimerKey = std::pair<TargetId, int>;

    bool dispatchOnePosted();
    void wakeLocked(Waiter& waiter, bool timedOut);
    void onEventSet(const std::weak_ptr<Waiter>& weak);

    mutable std::mutex mutex_;
    std::condition_variable settleCv_;
    std::int64_t now_ = 0;
    std::chrono::system_clock::time_point wallStart_;
    TargetId nextTarget_ = 1;
    std::unordered_map<TargetId, EventHandler*> targets_;
    std::deque<std::pair<TargetId, Event>> queue_;
    std::map<TimerKey, Timer> timers_;
    std::uint64_t timerSeq_ = 0;
    std::vector<std::shared_ptr<Waiter>> sleepers_;
    int running_ = 0;  // workers of spawn() that are not waiting
};

}  // namespace zorvan
