#include "dial/dial_engine.h"

#include <algorithm>

#include "data/call_status.h"
#include "data/campaign_rows.h"
#include "data/do_not_call.h"
#include "data/phone_numbers.h"
#include "data/status_text.h"
#include "dial/local_time.h"
#include "platform/prompts.h"

namespace zorvan {

namespace {
// Private to the engine: a worker starts (wParam: its timer id).
constexpr std::uint32_t kWorkerStart = 0x7E01;
constexpr int kDncNumber = static_cast<int>(CallStatus::DncNumber);
constexpr int kInvalidNumber = static_cast<int>(CallStatus::InvalidNumber);
}  // namespace

DialEngine::DialEngine(DialServices services) : services_(std::move(services)), target_(services_.loop, *this) {}

DialEngine::~DialEngine() { CancelWorkers(); }

void DialEngine::OnAutoButton() {
    if (mode_ == AutoRunning || mode_ == AutoPaused) {
        StopDialing();
    } else if (mode_ == Idle) {
        StartAutomatic();
    }
}

void DialEngine::OnPauseButton() { PauseResume(); }

void DialEngine::OnSemiButton() {
    if (mode_ == SemiRunning) {
        StopDialing();
    } else if (mode_ == Idle) {
        StartSemiAutomatic();
    }
}

void DialEngine::OnDialNext() { DialNext(); }

void DialEngine::StartAutomatic() { Start(AutoRunning, true); }

void DialEngine::StartSemiAutomatic() { Start(SemiRunning, false); }

bool DialEngine::Start(DialMode mode, bool abandonWithoutFile) {
    if (shutDown_ || !services_.rows.hasRoot()) return false;
    if (!services_.view.CampaignHasFile() && !SaveCampaignFirst() && abandonWithoutFile) return false;
    if (!services_.connected()) {
        services_.prompts.messageBox("Zorvan Dialer", kNotConnected,
                                     mode == AutoRunning ? PromptIcon::Warning : PromptIcon::None, PromptButtons::Ok);
        return false;
    }
    for (;;) {
        mode_ = mode;
        nextEnabled_ = false;
        walking_ = false;
        lastRow_.reset();
        progress_ = DialProgress{};
        progress_.total = CountDialable();
        UpdateButtons();
        UpdateProgress();
        // A call of the user's own is still open: the first call waits for it.
        if (services_.calls.AttemptOpen()) {
            StartWorker(next_);
            return true;
        }
        starting_ = true;
        redialWanted_ = false;
        const Selection selection = SelectContact(true);
        starting_ = false;
        if (selection.walk == Walk::Row) {
            PlaceCall(selection.row, selection.phone, false, &selection.target);
            return true;
        }
        if (selection.walk == Walk::Waiting) return true;
        if (selection.walk == Walk::End) {
            const PromptAnswer answer = services_.prompts.messageBox("Zorvan Dialer", kAllDialed,
                                                                     PromptIcon::Information, PromptButtons::YesNo);
            if (answer == PromptAnswer::Yes && services_.view.ClearCallStatuses()) {
                // A fresh pass: the redial phase the walk's end began is over.
                redialPhase_ = false;
                redialRow_.reset();
                redialAttempts_ = 0;
                redialWanted_ = false;
                continue;
            }
        }
        if (redialWanted_ && mode_ != Idle) StartWorker(redial_);
        redialWanted_ = false;
        return true;
    }
}

bool DialEngine::SaveCampaignFirst() {
    FileDialogRequest request;
    request.caption = "Save As";
    request.defaultName = LocalTimeText(services_.loop.wallNow(), "%Y-%m-%d") + "-Campaign";
    request.defaultSuffix = "xml";
    request.filter = "XML Files (*.xml)";
    request.confirmOverwrite = true;
    const std::optional<std::string> path = services_.prompts.saveFile(request);
    if (!path) return false;
    services_.view.SaveCampaignAs(*path);
    return true;
}

void DialEngine::StopDialing() {
    if (currentRow_) services_.view.RestoreStatus(*currentRow_);  // no end will be written for it
    mode_ = Idle;
    walking_ = false;
    lastRow_.reset();
    currentRow_.reset();
    redialRow_.reset();
    redialAttempts_ = 0;
    redialPhase_ = false;
    nextEnabled_ = false;
    deferred_.clear();
    waitUntil_.reset();
    CancelWorkers();
    if (hooks_ != nullptr) hooks_->DialingStopped();
    services_.calls.Reset();
    progress_ = DialProgress{};
    UpdateButtons();
    UpdateProgress();
}

void DialEngine::PauseResume() {
    if (mode_ == AutoRunning) {
        mode_ = AutoPaused;
    } else if (mode_ == AutoPaused) {
        mode_ = AutoRunning;
    } else {
        return;
    }
    UpdateButtons();
    UpdateProgress();
}

void DialEngine::DialNext() {
    nextEnabled_ = false;
    UpdateButtons();
    if (mode_ == SemiRunning) StartWorker(redialPhase_ ? redial_ : next_);
}

void DialEngine::CampaignReplaced() {
    StopDialing();
    retries_.Clear();
}

void DialEngine::RowRemoving(std::int32_t id) {
    if (lastRow_ == id) {
        // The walk goes on from the row before it.
        const auto at = services_.rows.IndexOf(id);
        lastRow_ = at && *at > 0 ? std::optional<std::int32_t>(services_.rows.IdAt(*at - 1)) : std::nullopt;
    }
    retries_.Remove(id);
    if (redialRow_ == id) {
        redialRow_.reset();
        redialAttempts_ = 0;
    }
    UpdateProgress();
}

void DialEngine::Shutdown() {
    shutDown_ = true;
    CancelWorkers();
}

bool DialEngine::HasRow(std::int32_t row) const { return services_.rows.IndexOf(row).has_value(); }

bool DialEngine::PlaceCall(std::int32_t row, const std::string& phone, bool manual, const phone::DialTarget* known) {
    const SettingsData settings = services_.settings();
    const phone::DialTarget target = known != nullptr ? *known : phone::ForDialing(settings.countrycode, phone);
    if (target.kind == phone::DialTarget::Kind::Impossible) {
        WriteInvalid(row);
        return false;
    }
    if (hooks_ != nullptr) hooks_->CallPlaced();
    waitUntil_.reset();
    progress_.waiting.clear();
    services_.calls.Dial(target.text);
    services_.view.WriteCallTime(row, LocalTimeText(services_.loop.wallNow(), "%H:%M:%S"));
    services_.view.ShowContact(row, !settings.donotpopcinfo && settings.popbconn);
    if (services_.view.WindowShows(row)) services_.view.SetCallPhase(CallPhase::Calling);
    if (mode_ != Idle && !manual) {
        ++progress_.placed;
        progress_.current = phone;
        progress_.currentRow = row;
        UpdateProgress();
    }
    return true;
}

void DialEngine::WriteInvalid(std::int32_t row) {
    services_.view.WriteStatus(row, kInvalidNumber, StatusText(kInvalidNumber, services_.dispositions, false, {}));
}

void DialEngine::ContinueAfterCall() {
    if (mode_ == AutoRunning || mode_ == AutoPaused) {
        StartWorker(redialPhase_ ? redial_ : next_);
    } else if (mode_ == SemiRunning) {
        nextEnabled_ = true;
        UpdateButtons();
    }
}

void DialEngine::RetryFailed(std::int32_t row) {
    if (!services_.rows.IndexOf(row)) return;  // deleted meanwhile
    const std::int64_t now = WallMs(services_.loop.wallNow());
    if (!redialPhase_) {
        retries_.Add(PhoneOf(row), row, now);
    } else if (redialRow_ == row && redialAttempts_ >= services_.settings().redial) {
        retries_.Remove(row);
        redialRow_.reset();
        redialAttempts_ = 0;
    } else if (RetryList::Entry* entry = retries_.Find(row)) {
        entry->lastAttemptMs = now;
    }
    UpdateProgress();
}

void DialEngine::RetryDone(std::int32_t row) {
    retries_.Remove(row);
    if (redialRow_ == row) {  // only the entry being counted starts its count again
        redialRow_.reset();
        redialAttempts_ = 0;
    }
    UpdateProgress();
}

std::string DialEngine::PhoneOf(std::int32_t row) const {
    const auto* cells = services_.rows.CellsOf(row);
    const int column = services_.rows.columns().ColumnOf(&Contact::phone);
    if (cells == nullptr || column < 0 || static_cast<std::size_t>(column) >= cells->size()) return {};
    return (*cells)[static_cast<std::size_t>(column)];
}

std::string DialEngine::StatusOf(std::int32_t row) const {
    const auto* cells = services_.rows.CellsOf(row);
    const int column = services_.rows.columns().dispositionColumn();
    if (cells == nullptr || column < 0 || static_cast<std::size_t>(column) >= cells->size()) return {};
    return (*cells)[static_cast<std::size_t>(column)];
}

bool DialEngine::Dialable(std::int32_t row, std::string* phone) const {
    *phone = PhoneOf(row);
    return !phone->empty() && StatusOf(row).empty();
}

DialEngine::Listed DialEngine::DoNotCallMatch(const std::string& phone, const std::vector<std::string>& forms) const {
    if (services_.doNotCall == nullptr || !services_.settings().donotcall) return Listed::No;
    if (services_.doNotCall->Contains(phone)) return Listed::AsWritten;
    return !forms.empty() && services_.doNotCall->Contains(phone, forms) ? Listed::AsNumber : Listed::No;
}

std::size_t DialEngine::CountDialable() const {
    std::size_t count = 0;
    std::string phone;
    for (auto id = services_.rows.Next(std::nullopt); id; id = services_.rows.Next(id)) {
        // The plain test only: reading every number would hold up the start.
        if (Dialable(*id, &phone) && DoNotCallMatch(phone, {}) != Listed::AsWritten) ++count;
    }
    return count;
}

// One step of the walk over the grid's rows in the order they are shown.
std::optional<std::int32_t> DialEngine::WalkStep(bool fresh) {
    std::optional<std::int32_t> row;
    if (fresh || !walking_) {
        if (!services_.rows.hasRoot()) return std::nullopt;
        walking_ = true;
        lastRow_.reset();
        row = services_.rows.Next(std::nullopt);
        if (!row) return std::nullopt;  // only the campaign row: no end of pass
    } else {
        row = services_.rows.Next(lastRow_);
        if (!row) return std::nullopt;  // the end of the pass
    }
    lastRow_ = row;
    currentRow_ = row;
    services_.view.SelectRow(*row);
    return row;
}

DialEngine::Selection DialEngine::SelectContact(bool fresh) {
    bool first = fresh;
    bool afterDnc = false;
    if (fresh || !walking_) deferred_.clear();
    for (;;) {
        const std::optional<std::int32_t> row = WalkStep(first);
        if (!row) {
            if (first) return {Walk::NoRows, 0, {}, {}};
            // Contacts left outside their hours are not "all dialed".
            const bool passedOver = !deferred_.empty();
            if (WaitForDeferred()) return {Walk::Waiting, 0, {}, {}};
            EndOfPass();
            return {afterDnc || passedOver ? Walk::EndAfterDnc : Walk::End, 0, {}, {}};
        }
        first = false;
        std::string phone;
        if (!Dialable(*row, &phone)) {
            afterDnc = false;
            continue;
        }
        const phone::Reading reading = phone::Read(services_.settings().countrycode, phone);
        if (const Listed listed = DoNotCallMatch(phone, reading.forms); listed != Listed::No) {
            services_.view.WriteStatus(*row, kDncNumber,
                                       StatusText(kDncNumber, services_.dispositions, false, {}));
            afterDnc = true;
            // The start counted only what the plain test let through.
            if (listed == Listed::AsNumber && progress_.total > 0) --progress_.total;
            continue;
        }
        std::optional<std::int64_t> opens;
        const Gate gate = CheckNumber(reading, &opens);
        if (gate == Gate::Impossible) {
            WriteInvalid(*row);
            afterDnc = true;
            if (progress_.total > 0) --progress_.total;
            continue;
        }
        if (gate == Gate::Closed) {
            // Passed over without a status: it stays dialable.
            deferred_.emplace_back(*row, opens);
            afterDnc = false;
            continue;
        }
        return {Walk::Row, *row, phone, reading.target};
    }
}

void DialEngine::EndOfPass() {
    if (!redialPhase_ && services_.settings().redial > 0) {
        redialPhase_ = true;
        progress_.redialPhase = true;
        progress_.placed = 0;
        progress_.total = retries_.Count();
        UpdateProgress();
        if (starting_) {
            redialWanted_ = true;  // the start command decides after its question
        } else {
            StartWorker(redial_);
        }
        return;
    }
    if (mode_ != Idle) StopDialing();
}

void DialEngine::StartWorker(Worker& worker) {
    if (worker.running || shutDown_) return;
    worker.running = true;
    worker.intervalDone = false;
    services_.loop.post(target(), {kWorkerStart, static_cast<std::uintptr_t>(worker.timer), 0});
}

void DialEngine::CancelWorkers() {
    for (Worker* worker : {&next_, &redial_}) {
        worker->running = false;
        worker->intervalDone = false;
        services_.loop.killTimer(target(), worker->timer);
    }
}

void DialEngine::OnEvent(const Event& event) {
    if (event.id != kWorkerStart) return;
    Worker& worker = event.wParam == static_cast<std::uintptr_t>(kRedialTimer) ? redial_ : next_;
    if (worker.running) Step(worker);
}

void DialEngine::OnTimer(int timerId) {
    services_.loop.killTimer(target(), timerId);
    Worker& worker = timerId == kRedialTimer ? redial_ : next_;
    if (worker.running) Step(worker);
}

// A worker's turn: it waits while dialing is paused, Skype is offline or a
// call is still open, then pauses `callinterval` once (automatic dialing),
// then places its call. Pausing during the interval is honoured, since the
// checks run again after it.
void DialEngine::Step(Worker& worker) {
    if (shutDown_ || services_.closing() || (mode_ != AutoRunning && mode_ != SemiRunning && mode_ != AutoPaused)) {
        worker.running = false;
        return;
    }
    if (mode_ == AutoPaused || !services_.connected() || services_.calls.AttemptOpen()) {
        services_.loop.setTimer(target(), worker.timer, kPollMs);
        return;
    }
    if (waitUntil_) {
        const std::int64_t left = *waitUntil_ - WallMs(services_.loop.wallNow());
        if (left > 0) {
            services_.loop.setTimer(target(), worker.timer, std::min(left, kLongWaitStepMs));
            return;
        }
        waitUntil_.reset();
        worker.intervalDone = true;  // the wait was the pause between calls
    }
    const std::int64_t interval = services_.settings().callinterval;
    if (mode_ == AutoRunning && !worker.intervalDone && interval > 0) {
        worker.intervalDone = true;
        services_.loop.setTimer(target(), worker.timer, interval * 1000);
        return;
    }
    worker.running = false;
    worker.intervalDone = false;
    if (&worker == &redial_) {
        Redial();
    } else {
        NextDial();
    }
}

void DialEngine::NextDial() {
    const Selection selection = SelectContact(!walking_);
    if (selection.walk == Walk::Row) PlaceCall(selection.row, selection.phone, false, &selection.target);
}

void DialEngine::UpdateButtons() {
    DialButtons b;
    switch (mode_) {
        case AutoRunning:
        case AutoPaused:
            b.autoStart = "Stop Dialing";
            b.autoPause = mode_ == AutoPaused ? "Resume Dialing" : "Pause Dialing";
            b.autoPauseEnabled = true;
            b.semiStartEnabled = false;
            break;
        case SemiRunning:
            b.autoStartEnabled = false;
            b.semiStart = "Stop Dialing";
            b.semiNextEnabled = nextEnabled_;
            break;
        case Idle:
            break;
    }
    buttons_ = b;
    services_.view.ShowButtons(buttons_);
}

void DialEngine::UpdateProgress() {
    progress_.running = mode_ != Idle;
    progress_.paused = mode_ == AutoPaused;
    progress_.redialPhase = redialPhase_;
    progress_.retriesLeft = retries_.Count();
    if (!progress_.running) progress_ = DialProgress{};
    services_.view.ShowProgress(progress_);
}

}  // namespace zorvan
