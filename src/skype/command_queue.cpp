#include "skype/command_queue.h"

namespace zorvan {

bool SkypeCommandQueue::Add(std::string command) {
    if (command.empty()) return false;
    std::lock_guard lock(mutex_);
    if (!enabled_) return false;
    commands_.push_back(std::move(command));
    return true;
}

std::optional<std::string> SkypeCommandQueue::Take() {
    std::lock_guard lock(mutex_);
    if (!enabled_ || commands_.empty()) return std::nullopt;
    std::string command = std::move(commands_.front());
    commands_.pop_front();
    return command;
}

void SkypeCommandQueue::Clear() {
    std::lock_guard lock(mutex_);
    commands_.clear();
}

void SkypeCommandQueue::SetEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool SkypeCommandQueue::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::size_t SkypeCommandQueue::size() const {
    std::lock_guard lock(mutex_);
    return commands_.size();
}

}  // namespace zorvan
