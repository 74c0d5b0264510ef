#include "data/greeting_list.h"

#include <memory>

namespace zorvan {

namespace {
std::mutex gInstanceMutex;
std::unique_ptr<GreetingList> gInstance;
}  // namespace

GreetingList& GreetingList::Instance() {
    std::lock_guard lock(gInstanceMutex);
    if (!gInstance) gInstance = std::make_unique<GreetingList>();
    return *gInstance;
}

void GreetingList::DestroyInstance() {
    std::lock_guard lock(gInstanceMutex);
    gInstance.reset();
}

void GreetingList::Append(GreetingFile entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

bool GreetingList::Remove(std::size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= entries_.size()) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool GreetingList::Replace(std::size_t index, GreetingFile entry) {
    std::lock_guard lock(mutex_);
    if (index >= entries_.size()) return false;
    entries_[index] = std::move(entry);
    return true;
}

void GreetingList::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::vector<GreetingFile> GreetingList::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::size_t GreetingList::Count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace zorvan
