#include "dial/call_outcome.h"

#include <algorithm>

#include "audio/amd/amd_window.h"
#include "data/call_status.h"
#include "data/greeting_list.h"
#include "data/status_text.h"
#include "dial/local_time.h"
#include "platform/prompts.h"
#include "platform/um_events.h"

namespace zorvan {

namespace {
// Call statuses (the codes of the disposition list).
constexpr int kConnecting = static_cast<int>(CallStatus::Connecting);
constexpr int kCallFailed = static_cast<int>(CallStatus::CallFailed);
constexpr int kLineBusy = static_cast<int>(CallStatus::LineBusy);
constexpr int kCallSucceeded = static_cast<int>(CallStatus::CallSucceeded);
constexpr int kInvalidNumber = static_cast<int>(CallStatus::InvalidNumber);
constexpr int kInProgress = static_cast<int>(CallStatus::InProgress);
constexpr int kMachineAnswered = static_cast<int>(CallStatus::MachineAnswered);
constexpr int kMachineSucceeded = static_cast<int>(CallStatus::MachineSucceeded);
constexpr int kVoiceDetecting = static_cast<int>(CallStatus::VoiceDetecting);

// The client's call states that UM_CALL_ENDED carries.
constexpr int kSkypeFailed = 4;
constexpr int kSkypeFinished = 8;
constexpr int kSkypeMissed = 9;
constexpr int kSkypeRefused = 10;
constexpr int kSkypeBusy = 11;
constexpr int kSkypeCancelled = 12;

// Greetings as UM_PLAY_GREETING names them.
constexpr std::intptr_t kMachine = 0;
constexpr std::intptr_t kHuman = 1;
constexpr std::intptr_t kChosen = 2;
}  // namespace

CallOutcome::CallOutcome(CallOutcomeServices services)
    : services_(std::move(services)), target_(services_.loop, *this) {
    services_.engine.SetHooks(this);
}

CallOutcome::~CallOutcome() { services_.engine.SetHooks(nullptr); }

std::string CallOutcome::RecordingPath(const std::string& folder, const std::string& name, const std::string& stamp) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    std::string safe = name;
    std::replace(safe.begin(), safe.end(), '/', '_');
    return path + safe + "_" + stamp;
}

std::string CallOutcome::DurationText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const auto h = (seconds / 3600) % 24;
    const auto m = (seconds / 60) % 60;
    const auto s = seconds % 60;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(h), static_cast<int>(m), static_cast<int>(s));
    return text;
}

bool CallOutcome::Handle(const Event& event) {
    switch (event.id) {
        case um::UM_CALL_DIALING:
            OnDialing();
            return true;
        case um::UM_CALL_CONNECTED:
            OnConnected();
            return true;
        case um::UM_AMD_RESULT:
            OnAmdResult(event.wParam == 1, event.lParam);
            return true;
        case um::UM_GREETING_CUE:
            OnGreetingCue(event.wParam, event.lParam);
            return true;
        case um::UM_PLAY_GREETING:
            OnPlayGreeting(event.wParam == 1, event.lParam);
            return true;
        case um::UM_STOP_GREETING:
            services_.calls.StopGreeting();
            return true;
        case um::UM_GREETING_PROGRESS:
            OnGreetingProgress(event.wParam);
            return true;
        case um::UM_START_RECORDING:
            OnStartRecording();
            return true;
        case um::UM_STOP_RECORDING:
            services_.audio.StopRecording();
            return true;
        case um::UM_CALL_ENDED:
            OnEnded(static_cast<int>(event.wParam));
            return true;
        case um::UM_CALL_INVALID_NUMBER:
            OnInvalidNumber();
            return true;
        default:
            return false;
    }
}

std::string CallOutcome::Text(int code) const {
    const SettingsData settings = services_.settings();
    return StatusText(code, services_.dispositions, settings.msgpercent, {greetingPlayed_, greetingPercent_});
}

void CallOutcome::Post(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) {
    services_.loop.post(services_.mainWindow, {id, wParam, lParam});
}

void CallOutcome::OnDialing() {
    if (const auto row = services_.engine.currentRow()) services_.view.ShowStatus(*row, kConnecting, Text(kConnecting));
}

void CallOutcome::OnConnected() {
    const SettingsData settings = services_.settings();
    const auto row = services_.engine.currentRow();
    greetingPlayed_ = false;
    if (settings.vad) {
        if (!vadStarted_) {
            services_.loop.setTimer(target(), kVadDecisionTimer,
                                    audio::DetectionWindowMs(settings.threshold, settings.amdmode));
            detection_ = services_.audio.StartDetection();
            vadStarted_ = true;
            if (row) services_.view.ShowStatus(*row, kVoiceDetecting, Text(kVoiceDetecting));
        }
    } else if (!answerShown_) {
        answerShown_ = true;
        if (row) {
            services_.view.ShowStatus(*row, kInProgress, Text(kInProgress));
            services_.view.ShowContact(*row, !settings.donotpopcinfo);
            if (services_.view.WindowShows(*row)) services_.view.SetCallPhase(CallPhase::Connected);
        }
        if (settings.autorec) StartRecordingSoon();
    }
    // Held and resumed calls count from the last resume.
    connectMs_ = services_.loop.now();
}

void CallOutcome::OnTimer(int timerId) {
    services_.loop.killTimer(target(), timerId);
    if (timerId == kVadDecisionTimer && vadStarted_) services_.audio.DetectionTimeout();
}

void CallOutcome::StartRecordingSoon() {
    Post(um::UM_START_RECORDING);
    services_.view.SetRecordButton(true);
}

void CallOutcome::OnAmdResult(bool human, std::intptr_t generation) {
    // A verdict of a window that closed with its call belongs to nobody.
    if (!vadStarted_ || generation != static_cast<std::intptr_t>(detection_)) return;
    const SettingsData settings = services_.settings();
    const auto row = services_.engine.currentRow();
    if (row && services_.engine.HasRow(*row)) {
        services_.view.ShowContact(*row, !settings.donotpopcinfo);
        const bool shown = services_.view.WindowShows(*row);
        if (human) {
            if (shown) services_.view.SetCallPhase(CallPhase::Human);
            services_.view.ShowStatus(*row, kInProgress, Text(kInProgress));
            if (settings.msgtohuman) Post(um::UM_GREETING_CUE, 1, 1);
        } else {
            if (shown) services_.view.SetCallPhase(CallPhase::Machine);
            services_.view.ShowStatus(*row, kMachineAnswered, Text(kMachineAnswered));
            machineRow_ = row;
            if (settings.leavemsgtotam) {
                services_.audio.AwaitGreetingEnd();
            } else if (settings.hangupamline) {
                services_.calls.Reset();
            }
        }
    }
    if (settings.autorec) StartRecordingSoon();
}

void CallOutcome::OnGreetingCue(std::uintptr_t which, std::intptr_t generation) {
    const SettingsData settings = services_.settings();
    if (which == 1) {
        if (settings.msgtohuman) Post(um::UM_PLAY_GREETING, settings.autohnafmsg ? 1 : 0, kHuman);
        return;
    }
    // The machine's greeting has ended: only the wait of this call counts.
    if (!callOpen_ || generation != static_cast<std::intptr_t>(detection_)) return;
    if (settings.leavemsgtotam) Post(um::UM_PLAY_GREETING, 1, kMachine);
}

void CallOutcome::OnPlayGreeting(bool hangUpAfter, std::intptr_t which) {
    const SettingsData settings = services_.settings();
    std::string file;
    if (which == kMachine) {
        file = settings.leavemsgtotamfile;
        services_.view.SelectGreeting(kMachineGreeting);
    } else if (which == kHuman) {
        file = settings.msgtohumanfile;
        services_.view.SelectGreeting(kHumanGreeting);
    } else if (which == kChosen) {
        const std::optional<int> choice = services_.view.GreetingChoice();
        if (choice == kMachineGreeting) {
            file = settings.leavemsgtotamfile;
        } else if (choice == kHumanGreeting) {
            file = settings.msgtohumanfile;
        } else if (choice && *choice >= 0) {
            const auto entries = services_.greetings.Entries();
            if (static_cast<std::size_t>(*choice) < entries.size()) file = entries[static_cast<std::size_t>(*choice)].path;
        }
    }
    const bool started = !file.empty() && services_.calls.PlayGreeting(file, hangUpAfter);
    if (started) return;
    if (which == kChosen) services_.view.GreetingNotStarted();
    // A greeting meant to end the call that cannot play still ends it, so
    // the line is not left open.
    if (hangUpAfter && callOpen_) services_.calls.Reset();
}

void CallOutcome::OnGreetingProgress(std::uintptr_t percent) {
    greetingPlayed_ = true;
    greetingPercent_ = static_cast<int>(std::min<std::uintptr_t>(percent, 100));
    services_.view.ShowGreetingProgress(greetingPercent_);
}

void CallOutcome::OnStartRecording() {
    const auto [id, partner] = services_.calls.OldestActiveCall();
    if (id.empty()) return;
    std::string name = partner;
    if (name.empty()) name = services_.calls.PartnerOf(id);
    if (name.empty()) name = id;
    static constexpr std::string_view kUndisclosed = "undisclosed_pstn:";
    if (const auto at = name.find(kUndisclosed); at != std::string::npos) {
        name.replace(at, kUndisclosed.size(), "undisclosed_pstn");
    }
    const std::string path = RecordingPath(services_.settings().recfolder, name,
                                           LocalTimeText(services_.loop.wallNow(), "%m-%d-%Y_%H-%M-%S"));
    // The contact names the file only when there really is one.
    if (!services_.audio.StartRecording(path)) return;
    if (const auto row = services_.engine.currentRow()) services_.view.SetCallRecording(*row, path + ".mp3");
}

void CallOutcome::EndDetection() {
    services_.loop.killTimer(target(), kVadDecisionTimer);
    services_.audio.CancelDetection();
}

void CallOutcome::OnEnded(int state) {
    EndDetection();
    const bool open = callOpen_;
    callOpen_ = false;
    const auto row = services_.engine.currentRow();
    if (open && row) {
        if (state == kSkypeFinished) {
            const int code = machineRow_ == row ? kMachineSucceeded : kCallSucceeded;
            services_.view.WriteStatus(*row, code, Text(code));
            if (services_.view.WindowShows(*row)) services_.view.SetCallPhase(CallPhase::Finished);
            machineRow_.reset();
            services_.view.WriteDuration(*row, DurationText((services_.loop.now() - connectMs_ + 500) / 1000));
            if (services_.engine.redialPhase()) services_.engine.RetryDone(*row);
            if (manualCall_) RestoreAfterManualCall();
            services_.view.ClearDialPadDisplay();
        } else if (state == kSkypeBusy || state == kSkypeFailed || state == kSkypeMissed || state == kSkypeRefused ||
                   state == kSkypeCancelled) {
            const int code = state == kSkypeBusy ? kLineBusy : kCallFailed;
            services_.view.WriteStatus(*row, code, Text(code));
            services_.engine.RetryFailed(*row);
            if (manualCall_) RestoreAfterManualCall();
        }
    }
    Post(um::UM_STOP_RECORDING);
    Post(um::UM_UPDATE_CONTACT);
    vadStarted_ = false;
    answerShown_ = false;
    // A second word on an attempt that has ended changes nothing more.
    if (open) services_.engine.ContinueAfterCall();
}

void CallOutcome::OnInvalidNumber() {
    EndDetection();
    const bool open = callOpen_;
    callOpen_ = false;
    if (!open) return;
    if (const auto row = services_.engine.currentRow()) {
        services_.view.WriteStatus(*row, kInvalidNumber, Text(kInvalidNumber));
        if (services_.engine.redialPhase()) services_.engine.RetryDone(*row);
        if (manualCall_) RestoreAfterManualCall();
    }
    services_.engine.ContinueAfterCall();
}

void CallOutcome::RestoreAfterManualCall() {
    manualCall_ = false;
    services_.engine.SetCurrentRow(savedRow_);
    savedRow_.reset();
}

std::vector<std::string> CallOutcome::RowMenu() const {
    const DialMode mode = services_.engine.mode();
    const bool lineFree = !services_.calls.HasLiveCall() && !services_.calls.AttemptOpen();
    if (mode != AutoRunning && lineFree) return {kCallPhone, kViewEdit};
    return {kViewEdit};
}

void CallOutcome::ManualCall(std::int32_t row) {
    if (services_.engine.mode() == AutoRunning || services_.calls.HasLiveCall() || services_.calls.AttemptOpen()) {
        return;  // never a call over a live one
    }
    // A cancelled save dialog does not stop the call.
    if (!services_.view.CampaignHasFile()) services_.engine.SaveCampaignFirst();
    if (!services_.connected()) {
        services_.prompts.messageBox("Zorvan Dialer", DialEngine::kNotConnected, PromptIcon::None, PromptButtons::Ok);
        return;
    }
    const std::string phone = services_.engine.PhoneOf(row);
    if (phone.empty()) return;
    savedRow_ = services_.engine.currentRow();
    manualCall_ = true;
    services_.engine.SetCurrentRow(row);
    if (!services_.engine.PlaceCall(row, phone, true)) {
        // Written "Invalid Phone Number" without a call.
        services_.engine.SetCurrentRow(savedRow_);
        savedRow_.reset();
        manualCall_ = false;
    }
}

void CallOutcome::CallPlaced() {
    EndDetection();
    machineRow_.reset();
    vadStarted_ = false;
    answerShown_ = false;
    greetingPlayed_ = false;
    greetingPercent_ = 0;
    callOpen_ = true;
}

void CallOutcome::DialingStopped() {
    EndDetection();
    vadStarted_ = false;
    answerShown_ = false;
    callOpen_ = false;
    if (manualCall_) {
        manualCall_ = false;
        savedRow_.reset();
    }
}

}  // namespace zorvan
