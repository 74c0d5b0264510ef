#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/phone_numbers.h"
#include "data/settings.h"
#include "dial/dial_ports.h"
#include "platform/event_loop.h"

namespace zorvan {

class CampaignRows;
class DispositionList;
class DoNotCallList;
class Prompts;

enum DialMode : std::uint32_t { AutoRunning = 0x300, SemiRunning = 0x301, AutoPaused = 0x302, Idle = 0x303 };

// The contacts whose call ended busy or failed in the first pass, in that
// order, each with the phone text its row had.
class RetryList {
public:
    struct Entry {
        std::string phone;
        std::int32_t row = 0;
        int attempts = 0;                // retry calls placed for it
        std::int64_t lastAttemptMs = 0;  // wall time its last call ended
    };
    // At the end, unless the row has an entry already.
    bool Add(std::string phone, std::int32_t row, std::int64_t endedMs = 0);
    std::size_t Count() const { return entries_.size(); }
    const Entry* At(std::size_t index) const { return index < entries_.size() ? &entries_[index] : nullptr; }
    Entry* Find(std::int32_t row);
    bool Remove(std::int32_t row);
    bool Contains(std::int32_t row) const;
    void Clear() { entries_.clear(); }

private:
    std::deque<Entry> entries_;
};

// What the call outcome handling hears from the loop.
class DialCallHooks {
public:
    virtual ~DialCallHooks() = default;
    virtual void CallPlaced() = 0;      // a new call: the last one's detection is over
    virtual void DialingStopped() = 0;  // the per-call flags go
};

struct DialServices {
    EventLoop& loop;
    Prompts& prompts;
    const CampaignRows& rows;
    DialCalls& calls;
    DialView& view;
    const DispositionList& dispositions;
    const DoNotCallList* doNotCall = nullptr;
    std::function<SettingsData()> settings;
    std::function<bool()> connected;
    std::function<bool()> closing;
};

// The dial loop: walks the campaign in grid order and places one call after
// another, automatically with a pause between calls or on "Dial Next",
// skipping do-not-call numbers, then redials the busy and failed ones. Its
// "workers" are cancellable timers of its own on the UI thread: a waiting
// worker polls every 3 seconds while dialing is paused, Skype is offline or
// a call is still open, then sleeps `callinterval` (automatic dialing) and
// places the next call. UI thread only.
class DialEngine final : public EventHandler {
public:
    static constexpr int kNextDialTimer = 201;
    static constexpr int kRedialTimer = 202;
    static constexpr std::int64_t kPollMs = 3000;
    // A long wait (calling hours, retry spacing) looks at the clock again
    // at least this often, so that a changed system clock is followed.
    static constexpr std::int64_t kLongWaitStepMs = 60000;
    static constexpr const char* kNotConnected =
        "Please make sure your have connected to Skype!\nAnd your Skype status is Online!";
    static constexpr const char* kAllDialed =
        "All contacts have been dialed! You need clear the call status if you want to re-dial them. Do you want "
        "to clear the call status of all contacts?";

    explicit DialEngine(DialServices services);
    ~DialEngine() override;
    DialEngine(const DialEngine&) = delete;
    DialEngine& operator=(const DialEngine&) = delete;

    void SetHooks(DialCallHooks* hooks) { hooks_ = hooks; }

    // The buttons.
    void OnAutoButton();   // 1037
    void OnPauseButton();  // 1058
    void OnSemiButton();   // 1096
    void OnDialNext();     // 1097

    void StartAutomatic();
    void StartSemiAutomatic();
    // Back to idle, calls hung up, waiting workers cancelled.
    void StopDialing();
    void PauseResume();
    void DialNext();
    // A new, opened or imported campaign: dialing stops, the retries go.
    void CampaignReplaced();
    // The statuses were cleared: the next step walks from the first row.
    void ResetWalk() {
        walking_ = false;
        lastRow_.reset();
    }
    // The row is about to leave the grid: the walk steps around it.
    void RowRemoving(std::int32_t id);
    // Every wait ends now and no call follows.
    void Shutdown();

    // For the call outcome handling.
    // A manual call is not counted in the campaign's progress. A phone that
    // reads as no telephone number is written "Invalid Phone Number" and
    // not called (false).
    bool PlaceCall(std::int32_t row, const std::string& phone, bool manual = false,
                   const phone::DialTarget* known = nullptr);
    void ContinueAfterCall();
    void RetryFailed(std::int32_t row);  // a busy or failed end
    void RetryDone(std::int32_t row);    // a success or an invalid number in the redial phase
    std::optional<std::int32_t> currentRow() const { return currentRow_; }
    bool HasRow(std::int32_t row) const;
    // The phone cell of the row as the grid shows it.
    std::string PhoneOf(std::int32_t row) const;
    void SetCurrentRow(std::optional<std::int32_t> row) { currentRow_ = row; }

    DialMode mode() const { return mode_; }
    bool redialPhase() const { return redialPhase_; }
    std::optional<std::int32_t> redialRow() const { return redialRow_; }
    int redialAttempts() const { return redialAttempts_; }
    const RetryList& retries() const { return retries_; }
    const DialButtons& buttons() const { return buttons_; }
    const DialProgress& progress() const { return progress_; }
    bool nextWorkerRunning() const { return next_.running; }
    bool redialWorkerRunning() const { return redial_.running; }
    TargetId target() const { return target_.id(); }

    // The wall time the loop waits for (calling hours, retry spacing).
    std::optional<std::int64_t> waitingUntil() const { return waitUntil_; }
    // The campaign has no file yet: the save dialog dialing asks with, and
    // the file bound when the user chose one. False when cancelled.
    bool SaveCampaignFirst();

    void OnEvent(const Event& event) override;
    void OnTimer(int timerId) override;

private:
    enum class Walk { Row, End, EndAfterDnc, NoRows, Waiting };
    struct Worker {
        bool running = false;
        bool intervalDone = false;
        int timer = 0;
    };
    struct Selection {
        Walk walk = Walk::End;
        std::int32_t row = 0;
        std::string phone;
        phone::DialTarget target;
    };

    bool Start(DialMode mode, bool abandonWithoutFile);
    std::optional<std::int32_t> WalkStep(bool fresh);
    Selection SelectContact(bool fresh);
    bool Dialable(std::int32_t row, std::string* phone) const;
    // Listed as written (the plain test) or as the same number written
    // another way.
    enum class Listed { No, AsWritten, AsNumber };
    Listed DoNotCallMatch(const std::string& phone, const std::vector<std::string>& forms) const;
    // Why the row is not called now: the number is impossible (written as
    // such), or it is outside its calling hours (with the time it opens).
    enum class Gate { Open, Impossible, Closed };
    Gate CheckNumber(const phone::Reading& reading, std::optional<std::int64_t>* opens) const;
    std::optional<std::int64_t> OpensAt(const phone::DialTarget& target, std::int64_t from,
                                        const SettingsData& settings) const;
    void WriteInvalid(std::int32_t row);
    bool WaitForDeferred();
    void Wait(std::int64_t until, const std::string& text);
    void EndOfPass();
    void StopAndShow();
    void StartWorker(Worker& worker);
    void CancelWorkers();
    void Step(Worker& worker);
    void NextDial();
    void Redial();
    void UpdateButtons();
    void UpdateProgress();
    std::size_t CountDialable() const;
    std::string StatusOf(std::int32_t row) const;

    DialServices services_;
    ScopedTarget target_;
    DialCallHooks* hooks_ = nullptr;
    DialMode mode_ = Idle;
    // The walk: on once a start command took its first step; `lastRow_`
    // none means "before the first row".
    bool walking_ = false;
    std::optional<std::int32_t> lastRow_;
    std::optional<std::int32_t> currentRow_;
    bool redialPhase_ = false;
    std::optional<std::int32_t> redialRow_;
    int redialAttempts_ = 0;
    RetryList retries_;
    // Contacts of this pass passed over outside their calling hours, with
    // the time each may be called (none: their zones' hours never meet).
    std::vector<std::pair<std::int32_t, std::optional<std::int64_t>>> deferred_;
    std::optional<std::int64_t> waitUntil_;
    Worker next_{false, false, kNextDialTimer};
    Worker redial_{false, false, kRedialTimer};
    // While a start command walks, EndOfPass only notes the redial phase;
    // the start decides after its question whether the retries follow.
    bool starting_ = false;
    bool redialWanted_ = false;
    bool nextEnabled_ = false;  // "Dial Next" once a semi-automatic call has ended
    bool shutDown_ = false;
    DialButtons buttons_;
    DialProgress progress_;
};

}  // namespace zorvan
