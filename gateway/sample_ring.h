#pragma once

// 16 kHz samples handed between the stack's thread and the bus side: the
// callee's voice one way, what the dialer plays the other. Bounded: when
// nobody takes them, the oldest go.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace zorvan::gateway {

class SampleRing {
public:
    explicit SampleRing(std::size_t capacity) : capacity_(capacity) {}

    void Push(const std::int16_t* samples, std::size_t count) {
        std::lock_guard lock(mutex_);
        samples_.insert(samples_.end(), samples, samples + count);
        if (samples_.size() > capacity_) samples_.erase(samples_.begin(), samples_.end() - capacity_);
    }
    // Takes up to `count` samples; returns how many.
    std::size_t Pop(std::int16_t* out, std::size_t count) {
        std::lock_guard lock(mutex_);
        const std::size_t n = std::min(count, samples_.size());
        std::copy(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(n), out);
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(n));
        return n;
    }
    std::size_t Size() const {
        std::lock_guard lock(mutex_);
        return samples_.size();
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        samples_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::deque<std::int16_t> samples_;
    std::size_t capacity_;
};

}  // namespace zorvan::gateway
