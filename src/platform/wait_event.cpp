#include "platform/wait_event.h"

#include <algorithm>
#include <chrono>

namespace zorvan {

WaitEvent::WaitEvent(Mode mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

void WaitEvent::set() {
    std::vector<std::shared_ptr<Entry>> toCall;
    {
        std::lock_guard lock(mutex_);
        set_ = true;
        std::erase_if(listeners_, [](const auto& w) { return w.expired(); });
        for (const auto& weak : listeners_) {
            if (auto entry = weak.lock()) toCall.push_back(std::move(entry));
        }
    }
    if (mode_ == Mode::Auto) {
        cv_.notify_one();
    } else {
        cv_.notify_all();
    }
    for (const auto& entry : toCall) entry->fn();
}

void WaitEvent::reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool WaitEvent::isSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool WaitEvent::tryConsume() {
    std::lock_guard lock(mutex_);
    if (!set_) return false;
    if (mode_ == Mode::Auto) set_ = false;
    return true;
}

bool WaitEvent::waitReal(long long timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return set_; };
    if (timeoutMs < 0) {
        cv_.wait(lock, ready);
    } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    if (mode_ == Mode::Auto) set_ = false;
    return true;
}

std::shared_ptr<void> WaitEvent::addListener(Listener listener) {
    auto entry = std::make_shared<Entry>(Entry{std::move(listener)});
    std::lock_guard lock(mutex_);
    listeners_.push_back(entry);
    return entry;
}

}  // namespace zorvan
