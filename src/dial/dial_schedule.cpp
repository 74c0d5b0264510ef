#include <algorithm>

#include "data/call_status.h"
#include "data/campaign_rows.h"
#include "data/phone_numbers.h"
#include "data/status_text.h"
#include "dial/calling_hours.h"
#include "dial/dial_engine.h"
#include "dial/local_time.h"
#include "platform/prompts.h"

// When the dial loop may call a contact: numbers the network can read,
// calling hours in the callee's own zone, and the redial phase's spacing.

namespace zorvan {

namespace {
constexpr int kDncNumber = static_cast<int>(CallStatus::DncNumber);
constexpr std::int64_t kMinuteMs = 60000;

CallingWindow WindowOf(const SettingsData& settings) {
    // A hand-edited time that does not read keeps the default hours.
    return CallingWindow::Parse(settings.callfrom, settings.callto).value_or(CallingWindow{});
}
}  // namespace

bool RetryList::Add(std::string phone, std::int32_t row, std::int64_t endedMs) {
    if (Contains(row)) return false;
    entries_.push_back({std::move(phone), row, 0, endedMs});
    return true;
}

RetryList::Entry* RetryList::Find(std::int32_t row) {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [row](const Entry& e) { return e.row == row; });
    return it == entries_.end() ? nullptr : &*it;
}

bool RetryList::Remove(std::int32_t row) {
    const auto it = std::find_if(entries_.begin(), entries_.end(), [row](const Entry& e) { return e.row == row; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

bool RetryList::Contains(std::int32_t row) const {
    return std::any_of(entries_.begin(), entries_.end(), [row](const Entry& e) { return e.row == row; });
}

DialEngine::Gate DialEngine::CheckNumber(const phone::Reading& reading, std::optional<std::int64_t>* opens) const {
    if (reading.target.kind == phone::DialTarget::Kind::Impossible) return Gate::Impossible;
    const SettingsData settings = services_.settings();
    if (!settings.callhours) return Gate::Open;
    const std::int64_t now = WallMs(services_.loop.wallNow());
    *opens = OpensAt(reading.target, now, settings);
    return *opens == now ? Gate::Open : Gate::Closed;
}

// The first instant from `from` on at which the number may be called: at
// once without calling hours; otherwise when the local time of every zone
// of the number (the computer's own for a number with no known zone) lies
// inside the hours. None when those hours never meet.
std::optional<std::int64_t> DialEngine::OpensAt(const phone::DialTarget& target, std::int64_t from,
                                                const SettingsData& settings) const {
    if (!settings.callhours) return from;
    const std::vector<std::string> zones =
        target.kind == phone::DialTarget::Kind::Number ? phone::TimeZonesOf(target.text) : std::vector<std::string>{};
    return calling_hours::NextOpen(zones, WindowOf(settings), from);
}

// The pass has ended with contacts outside their calling hours: the loop
// waits for the first of them to open and walks again (false when none
// ever opens, and the pass ends).
bool DialEngine::WaitForDeferred() {
    std::optional<std::int64_t> earliest;
    for (const auto& [row, opens] : deferred_) {
        if (opens && services_.rows.IndexOf(row) && (!earliest || *opens < *earliest)) earliest = opens;
    }
    deferred_.clear();
    if (!earliest) return false;
    walking_ = false;  // the next step walks from the first row
    lastRow_.reset();
    Wait(*earliest, "Waiting for calling hours: next call at " + LocalTimeText(*earliest, "%H:%M"));
    return true;
}

// Automatic dialing waits on its worker and shows why; semi-automatic
// dialing says so and lets the user press "Dial Next" again.
void DialEngine::Wait(std::int64_t until, const std::string& text) {
    progress_.waiting = text;
    UpdateProgress();
    if (mode_ == SemiRunning) {
        waitUntil_.reset();
        services_.prompts.messageBox("Zorvan Dialer", text, PromptIcon::Information, PromptButtons::Ok);
        nextEnabled_ = true;
        UpdateButtons();
        return;
    }
    waitUntil_ = until;
    if (mode_ == AutoRunning || mode_ == AutoPaused) StartWorker(redialPhase_ ? redial_ : next_);
}

// The first retry entry that is due, as long as its attempts allow: an
// entry is due when `redialdelay` minutes have passed since its last call
// ended and its number is inside its calling hours; one not yet due lets
// the due ones behind it go first. The row's phone is read now: an entry
// whose phone was emptied meanwhile is dropped, one that went onto the
// do-not-call list since or no longer reads as a number is marked and
// dropped. When none is due, the loop waits for the earliest.
void DialEngine::Redial() {
    const SettingsData settings = services_.settings();
    const std::int64_t now = WallMs(services_.loop.wallNow());
    const std::int64_t spacing = std::int64_t{std::max(0, settings.redialdelay)} * kMinuteMs;
    std::optional<std::int64_t> earliest;
    bool hoursWait = false;
    for (std::size_t i = 0; const RetryList::Entry* entry = retries_.At(i);) {
        const std::int32_t row = entry->row;
        const std::string phone = services_.rows.IndexOf(row) ? PhoneOf(row) : std::string();
        bool drop = phone.empty();
        const phone::Reading reading = drop ? phone::Reading{} : phone::Read(settings.countrycode, phone);
        if (!drop && DoNotCallMatch(phone, reading.forms) != Listed::No) {
            services_.view.WriteStatus(row, kDncNumber, StatusText(kDncNumber, services_.dispositions, false, {}));
            drop = true;
        }
        const phone::DialTarget& target = reading.target;
        if (!drop && target.kind == phone::DialTarget::Kind::Impossible) {
            WriteInvalid(row);
            drop = true;
        }
        if (drop) {
            retries_.Remove(row);
            if (redialRow_ == row) {
                redialRow_.reset();
                redialAttempts_ = 0;
            }
            continue;
        }
        const std::int64_t spaced = std::max(now, spacing > 0 ? entry->lastAttemptMs + spacing : now);
        const std::optional<std::int64_t> due = OpensAt(target, spaced, settings);
        if (!due || *due > now) {
            // Not yet (or, when its zones' hours never meet, not at all).
            if (due && (!earliest || *due < *earliest)) {
                earliest = due;
                hoursWait = *due > spaced;
            }
            ++i;
            continue;
        }
        RetryList::Entry* chosen = retries_.Find(row);
        currentRow_ = row;
        if (redialRow_ != row) {
            redialRow_ = row;
            redialAttempts_ = chosen->attempts + 1;
        } else {
            ++redialAttempts_;
        }
        chosen->attempts = redialAttempts_;
        services_.view.SelectRow(row);
        PlaceCall(row, phone, false, &target);
        return;
    }
    if (earliest) {
        Wait(*earliest, std::string(hoursWait ? "Waiting for calling hours" : "Waiting to redial") +
                            ": next call at " + LocalTimeText(*earliest, "%H:%M"));
        return;
    }
    EndOfPass();
}

}  // namespace zorvan
