#include "data/disposition_list.h"

#include <algorithm>
#include <memory>

#include "data/call_status.h"

namespace zorvan {

namespace {
std::mutex gInstanceMutex;
std::unique_ptr<DispositionList> gInstance;

template <class Entries>
auto FindFirst(Entries& entries, int status) {
    return std::find_if(entries.begin(), entries.end(), [status](const auto& e) { return e.status == status; });
}
}  // namespace

DispositionList& DispositionList::Instance() {
    std::lock_guard lock(gInstanceMutex);
    if (!gInstance) gInstance = std::make_unique<DispositionList>();
    return *gInstance;
}

void DispositionList::DestroyInstance() {
    std::lock_guard lock(gInstanceMutex);
    gInstance.reset();
}

std::optional<std::string> DispositionList::NameOf(int status) const {
    std::lock_guard lock(mutex_);
    const auto it = FindFirst(entries_, status);
    if (it == entries_.end()) return std::nullopt;
    return it->name;
}

bool DispositionList::Edit(int status, const std::string& name, const std::string& description) {
    std::lock_guard lock(mutex_);
    const auto it = FindFirst(entries_, status);
    if (it == entries_.end()) return false;
    it->name = name;
    it->description = description;
    return true;
}

bool DispositionList::Delete(int status) {
    std::lock_guard lock(mutex_);
    const auto it = FindFirst(entries_, status);
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

void DispositionList::Append(Disposition entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

void DispositionList::AppendDefaults() {
    std::lock_guard lock(mutex_);
    for (int code = 0; code < kCallStatusCount; ++code) {
        const auto& d = kDefaultDispositions[static_cast<std::size_t>(code)];
        entries_.push_back({code, std::string(d.name), std::string(d.description)});
    }
}

void DispositionList::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::vector<Disposition> DispositionList::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::size_t DispositionList::Count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace zorvan
