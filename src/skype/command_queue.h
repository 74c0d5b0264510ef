#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace zorvan {

// The commands waiting for the sender thread, first in first out. The lock
// is held only to add, take, clear or switch `enabled`.
class SkypeCommandQueue {
public:
    // False, and nothing queued, when the queue is disabled or the text empty.
    bool Add(std::string command);
    // The first command, when the queue is enabled and not empty.
    std::optional<std::string> Take();
    void Clear();
    void SetEnabled(bool enabled);
    bool enabled() const;
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::deque<std::string> commands_;
    bool enabled_ = false;
};

}  // namespace zorvan
