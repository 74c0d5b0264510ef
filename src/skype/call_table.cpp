#include "skype/call_table.h"

#include <chrono>

#include "platform/event_loop.h"
#include "skype/skype_text.h"

namespace zorvan {

SkypeCallTable::SkypeCallTable(EventLoop& loop, SendCommand send) : loop_(loop), send_(std::move(send)) {}

int SkypeCallTable::Find(std::string_view id) const {
    id = TrimBlanks(id);
    if (id.empty()) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slots_[static_cast<std::size_t>(i)].callId == id) return i;
    }
    return -1;
}

int SkypeCallTable::FindOrAdd(std::string_view rawId) {
    const std::string_view id = TrimBlanks(rawId);
    if (id.empty()) return -1;
    if (const int found = Find(id); found >= 0) return found;
    for (int i = 0; i < kSlots; ++i) {
        SkypeCall& call = slots_[static_cast<std::size_t>(i)];
        if (!call.callId.empty()) continue;
        call.callId = std::string(id);
        call.partnerHandle.clear();
        call.startTime = std::chrono::duration_cast<std::chrono::seconds>(loop_.wallNow().time_since_epoch()).count();
        send_("get call " + call.callId + " partner_handle");
        return i;
    }
    return -1;
}

int SkypeCallTable::StateOf(std::string_view id) const {
    const int i = Find(id);
    return i < 0 ? SkypeOther : slots_[static_cast<std::size_t>(i)].state;
}

int SkypeCallTable::SetState(std::string_view id, int state) {
    int i = Find(id);
    if (i < 0) {
        // A call first seen ended, unplaced or in an unknown state never
        // enters the table.
        if (!IsLiveState(state)) return -1;
        i = FindOrAdd(id);
        if (i < 0) return -1;
    }
    SkypeCall& call = slots_[static_cast<std::size_t>(i)];
    call.state = state;
    if (state == SkypeInProgress && currentCallId_.empty()) currentCallId_ = call.callId;
    return i;
}

int SkypeCallTable::SetPartner(std::string_view id, const std::string& handle) {
    const int i = FindOrAdd(id);
    if (i >= 0) slots_[static_cast<std::size_t>(i)].partnerHandle = handle;
    return i;
}

int SkypeCallTable::MarkIncoming(std::string_view id) {
    const int i = Find(id);
    if (i >= 0) slots_[static_cast<std::size_t>(i)].incoming = true;
    return i;
}

void SkypeCallTable::HangUp(std::string_view id) {
    const int i = Find(id);
    if (i >= 0 && IsLiveState(slots_[static_cast<std::size_t>(i)].state)) send_("alter call " + std::string(id) + " hangup");
    loop_.pumpWait(200);
    if (currentCallId_ == id) currentCallId_.clear();
}

std::string SkypeCallTable::PartnerOf(std::string_view id) const {
    const int i = Find(id);
    return i < 0 ? std::string() : slots_[static_cast<std::size_t>(i)].partnerHandle;
}

bool SkypeCallTable::HasActiveCall() const {
    for (const SkypeCall& call : slots_) {
        if (!call.callId.empty() && IsActiveState(call.state)) return true;
    }
    return false;
}

bool SkypeCallTable::HasLiveCall() const {
    for (const SkypeCall& call : slots_) {
        if (IsLiveState(call.state)) return true;
    }
    return false;
}

int SkypeCallTable::KnownCallCount() const {
    int count = 0;
    for (const SkypeCall& call : slots_) {
        if (!call.callId.empty() && call.state != SkypeOther) ++count;
    }
    return count;
}

std::pair<std::string, std::string> SkypeCallTable::OldestActiveCall() const {
    const SkypeCall* oldest = nullptr;
    for (const SkypeCall& call : slots_) {
        if (call.callId.empty() || !IsActiveState(call.state)) continue;
        if (oldest == nullptr || call.startTime <= oldest->startTime) oldest = &call;
    }
    if (oldest == nullptr) return {};
    return {oldest->callId, oldest->partnerHandle};
}

void SkypeCallTable::HangUpAll() {
    // Calls that came in on the account are the user's, not the dialer's.
    for (const SkypeCall& call : slots_) {
        if (IsLiveState(call.state) && !call.callId.empty() && !call.incoming) {
            send_("alter call " + call.callId + " hangup");
        }
    }
    loop_.pumpWait(200);
    currentCallId_.clear();
}

void SkypeCallTable::Clear() {
    slots_.fill(SkypeCall{});
    currentCallId_.clear();
}

}  // namespace zorvan
