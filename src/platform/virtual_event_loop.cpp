#include "platform/virtual_event_loop.h"

#include <algorithm>
#include <stdexcept>

namespace zorvan {

namespace {
// Marks the workers a virtual loop started, so their waits count for settle().
thread_local const VirtualEventLoop* tlOwner = nullptr;
constexpr auto kSettleLimit = std::chrono::seconds(30);
}  // namespace

std::chrono::system_clock::time_point VirtualEventLoop::DefaultWallStart() {
    // 2024-01-31 14:05:09 UTC: a fixed, recognisable instant for tests.
    return std::chrono::system_clock::time_point(std::chrono::seconds(1706709909));
}

VirtualEventLoop::VirtualEventLoop(std::chrono::system_clock::time_point wallStart) : wallStart_(wallStart) {}

VirtualEventLoop::~VirtualEventLoop() = default;

TargetId VirtualEventLoop::addTarget(EventHandler& handler) {
    std::lock_guard lock(mutex_);
    const TargetId id = nextTarget_++;
    targets_[id] = &handler;
    return id;
}

void VirtualEventLoop::removeTarget(TargetId target) {
    std::lock_guard lock(mutex_);
    targets_.erase(target);
    std::erase_if(queue_, [target](const auto& entry) { return entry.first == target; });
    std::erase_if(timers_, [target](const auto& entry) { return entry.first.first == target; });
}

void VirtualEventLoop::post(TargetId target, Event event) {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(target, event);
}

void VirtualEventLoop::setTimer(TargetId target, int timerId, std::int64_t intervalMs) {
    std::lock_guard lock(mutex_);
    if (!targets_.contains(target)) return;
    const std::int64_t interval = std::max<std::int64_t>(intervalMs, 1);
    timers_[{target, timerId}] = Timer{now_ + interval, interval, timerSeq_++};
}

void VirtualEventLoop::killTimer(TargetId target, int timerId) {
    std::lock_guard lock(mutex_);
    timers_.erase({target, timerId});
}

bool VirtualEventLoop::hasTimer(TargetId target, int timerId) const {
    std::lock_guard lock(mutex_);
    return timers_.contains({target, timerId});
}

std::int64_t VirtualEventLoop::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::chrono::system_clock::time_point VirtualEventLoop::wallNow() const {
    std::lock_guard lock(mutex_);
    return wallStart_ + std::chrono::milliseconds(now_);
}

void VirtualEventLoop::setWallTime(std::chrono::system_clock::time_point wall) {
    std::lock_guard lock(mutex_);
    wallStart_ = wall - std::chrono::milliseconds(now_);
}

std::size_t VirtualEventLoop::sleepingWorkers() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(sleepers_.begin(), sleepers_.end(),
                                                  [](const auto& w) { return w->counted; }));
}

void VirtualEventLoop::wakeLocked(Waiter& waiter, bool timedOut) {
    if (waiter.woken || !waiter.sleeping) return;
    waiter.sleeping = false;
    waiter.woken = true;
    waiter.timedOut = timedOut;
    if (waiter.counted) ++running_;
    std::erase_if(sleepers_, [&waiter](const auto& w) { return w.get() == &waiter; });
    waiter.cv.notify_one();
}

void VirtualEventLoop::onEventSet(const std::weak_ptr<Waiter>& weak) {
    auto waiter = weak.lock();
    if (!waiter) return;
    std::lock_guard lock(mutex_);
    wakeLocked(*waiter, false);
}

bool VirtualEventLoop::wait(WaitEvent& event, std::int64_t timeoutMs) {
    const bool counted = tlOwner == this;
    std::optional<std::int64_t> deadline;
    {
        std::lock_guard lock(mutex_);
        if (timeoutMs >= 0) deadline = now_ + timeoutMs;
    }
    for (;;) {
        if (event.tryConsume()) return true;
        auto waiter = std::make_shared<Waiter>();
        std::unique_lock lock(mutex_);
        if (deadline && now_ >= *deadline) return false;
        waiter->deadline = deadline;
        waiter->counted = counted;
        waiter->listener = event.addListener([this, weak = std::weak_ptr<Waiter>(waiter)] { onEventSet(weak); });
        if (event.isSet()) continue;  // set between the first look and the listener
        sleepers_.push_back(waiter);
        waiter->sleeping = true;
        if (counted) {
            --running_;
            settleCv_.notify_all();
        }
        waiter->cv.wait(lock, [&waiter] { return waiter->woken; });
        if (waiter->timedOut) {
            lock.unlock();
            return event.tryConsume();
        }
        // Set: loop round to consume it; another waiter may have been first.
    }
}

std::thread VirtualEventLoop::spawn(std::function<void()> body) {
    {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    return std::thread([this, body = std::move(body)] {
        tlOwner = this;
        body();
        std::lock_guard lock(mutex_);
        --running_;
        settleCv_.notify_all();
    });
}

void VirtualEventLoop::settle() {
    std::unique_lock lock(mutex_);
    if (!settleCv_.wait_for(lock, kSettleLimit, [this] { return running_ == 0; })) {
        throw std::runtime_error("virtual time: a worker neither waited nor ended within 30 s");
    }
}

bool VirtualEventLoop::dispatchOnePosted() {
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
        const auto [target, event] = queue_.front();
        queue_.pop_front();
        const auto it = targets_.find(target);
        if (it == targets_.end()) continue;
        EventHandler* handler = it->second;
        lock.unlock();
        handler->OnEvent(event);
        return true;
    }
    return false;
}

void VirtualEventLoop::advance(std::int64_t ms) {
    std::int64_t target = 0;
    {
        std::lock_guard lock(mutex_);
        target = now_ + std::max<std::int64_t>(ms, 0);
    }
    for (;;) {
        settle();
        if (dispatchOnePosted()) continue;

        std::unique_lock lock(mutex_);
        if (!queue_.empty()) continue;
        // The next instant at which something comes due: the earliest timer
        // (the older one on a tie), unless a sleeper's wait ends before it.
        std::optional<std::int64_t> next;
        auto timerIt = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            const Timer& t = it->second;
            if (timerIt == timers_.end() || t.due < timerIt->second.due ||
                (t.due == timerIt->second.due && t.seq < timerIt->second.seq)) {
                timerIt = it;
            }
        }
        if (timerIt != timers_.end()) next = timerIt->second.due;
        bool sleeperFirst = false;
        for (const auto& w : sleepers_) {
            if (w->deadline && (!next || *w->deadline < *next)) {
                next = *w->deadline;
                sleeperFirst = true;
            }
        }
        if (!next || *next > target) {
            now_ = std::max(now_, target);
            lock.unlock();
            settle();
            std::lock_guard again(mutex_);
            if (queue_.empty()) return;
            continue;
        }
        now_ = std::max(now_, *next);
        if (!sleeperFirst && timerIt != timers_.end()) {
            const TimerKey key = timerIt->first;
            timerIt->second.due = now_ + timerIt->second.interval;
            EventHandler* handler = targets_.at(key.first);
            lock.unlock();
            handler->OnTimer(key.second);
            continue;
        }
        const auto due = sleepers_;  // wakeLocked edits sleepers_
        for (const auto& w : due) {
            if (w->deadline && *w->deadline <= now_) wakeLocked(*w, true);
        }
    }
}

}  // namespace zorvan
