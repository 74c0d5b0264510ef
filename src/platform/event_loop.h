#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/event.h"
#include "platform/wait_event.h"

namespace zorvan {

// The program's message queue, timers and clocks. Targets live on the loop's
// thread (the user-interface thread); any thread may post. Two
// implementations: the Qt one that runs the program, and a virtual-time one
// in which nothing happens until a test advances the clock.
class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Registration happens on the loop's thread. Removing a target drops its
    // pending events and kills its timers.
    virtual TargetId addTarget(EventHandler& handler) = 0;
    virtual void removeTarget(TargetId target) = 0;

    // Any thread; never blocks. FIFO per target.
    virtual void post(TargetId target, Event event) = 0;

    // Periodic timers keyed by (target, id), on the loop's thread. Starting a
    // timer that runs already restarts it with the new interval.
    virtual void setTimer(TargetId target, int timerId, std::int64_t intervalMs) = 0;
    virtual void killTimer(TargetId target, int timerId) = 0;

    // Dispatches events and timers of the loop's thread until ms have passed.
    virtual void pumpWait(std::int64_t ms) = 0;

    // Monotonic milliseconds (a tick count) and the wall clock.
    virtual std::int64_t now() const = 0;
    virtual std::chrono::system_clock::time_point wallNow() const = 0;

    // For worker threads: waits until the event is set or the time is up
    // (timeoutMs < 0: no limit). True when the event was set.
    virtual bool wait(WaitEvent& event, std::int64_t timeoutMs) = 0;

    // Starts a worker thread whose waits this loop can account for.
    virtual std::thread spawn(std::function<void()> body) = 0;

    // A worker's sleep that ends early when `cancel` is set. True when it
    // slept the whole time.
    bool sleep(std::int64_t ms, WaitEvent* cancel);
};

// Registers a handler for its lifetime: removes it (and so its pending events
// and timers) on destruction.
class ScopedTarget {
public:
    ScopedTarget(EventLoop& loop, EventHandler& handler) : loop_(&loop), id_(loop.addTarget(handler)) {}
    ~ScopedTarget() { loop_->removeTarget(id_); }
    ScopedTarget(const ScopedTarget&) = delete;
    ScopedTarget& operator=(const ScopedTarget&) = delete;
    TargetId id() const { return id_; }

private:
    EventLoop* loop_;
    TargetId id_;
};

}  // namespace zorvan
