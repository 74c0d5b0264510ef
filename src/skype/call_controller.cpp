#include "skype/call_controller.h"

#include "audio/greeting/greeting_player.h"
#include "data/contact.h"
#include "platform/um_events.h"
#include "skype/audio_routing.h"
#include "skype/call_table.h"
#include "skype/skype_connector.h"

namespace zorvan {

namespace {
std::unique_ptr<CallController> gInstance;
}  // namespace

CallController::CallController(CallControllerServices services, TargetId mainWindow)
    : services_(std::move(services)), main_(mainWindow) {
    target_ = std::make_unique<ScopedTarget>(services_.loop, *this);
    player_ = std::make_unique<audio::GreetingPlayer>(services_.loop, services_.greetingSink, services_.prompts,
                                                      target_->id());
    initialized_ = true;
    services_.connector.Attach(target_->id());
}

CallController::~CallController() { Shutdown(); }

CallController& CallController::Instance(CallControllerServices services, TargetId mainWindow) {
    if (!gInstance) gInstance = std::make_unique<CallController>(std::move(services), mainWindow);
    return *gInstance;
}

CallController* CallController::Instance() { return gInstance.get(); }

void CallController::DestroyInstance() { gInstance.reset(); }

void CallController::PostMain(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) {
    if (main_ != kNoTarget) services_.loop.post(main_, Event{id, wParam, lParam});
}

void CallController::SetWaitForAnswerTimer() {
    const int seconds = services_.waitForAnswerSeconds ? services_.waitForAnswerSeconds() : 45;
    services_.loop.killTimer(target(), kWaitForAnswerTimer);
    services_.loop.setTimer(target(), kWaitForAnswerTimer, static_cast<std::int64_t>(seconds) * 1000);
}

void CallController::OnTimer(int timerId) {
    services_.loop.killTimer(target(), timerId);
    if (timerId != kWaitForAnswerTimer) return;
    if (attemptOpen_ && hangUpSent_) {
        // The client never said how the call we hung up ended.
        EndAttempt(hungUpUnanswered_ ? SkypeCancelled : SkypeFailed);
        return;
    }
    if (attemptOpen_ && ownCallId_.empty()) {
        // The client never named a call for our CALL (the command did not
        // go out, or nothing came back): the attempt ends here, as failed.
        EndAttempt(SkypeFailed);
        return;
    }
    // Nobody answered: hang up. The end is reported when the client says
    // how the call ended.
    SkypeCallTable& table = services_.connector.callTable();
    if (!ownCallId_.empty()) {
        hungUpUnanswered_ = !IsActiveState(table.StateOf(ownCallId_));
        table.HangUp(ownCallId_);
        hangUpSent_ = true;
        if (attemptOpen_) services_.loop.setTimer(target(), kWaitForAnswerTimer, kHangUpGraceMs);
    } else {
        table.HangUpAll();
    }
    state_ = StateIdle;
    hangUpAfterGreeting_ = false;
    if (player_ && player_->busy()) player_->Stop();
}

void CallController::OnEvent(const Event& e) {
    switch (e.id) {
        case um::UM_CALL_UPDATE:
            if (e.lParam == 2 && static_cast<std::intptr_t>(e.wParam) >= 0) CallRule(static_cast<int>(e.wParam));
            break;
        case um::UM_SKYPE_USER_STATUS:
            // The link went (signed out, keep-alive given up) with our call
            // not ended: nothing more will be heard of it.
            if (attemptOpen_ && !services_.connector.linkOpen()) EndAttempt(SkypeFailed);
            PostMain(e.id, e.wParam, e.lParam);
            break;
        case um::UM_GREETING_PROGRESS:
            PostMain(e.id, e.wParam, e.lParam);
            break;
        case um::UM_CALL_INVALID_NUMBER:
            // The client refused the number: that is the attempt's end.
            if (attemptOpen_ && ownCallId_.empty()) {
                attemptOpen_ = false;
                services_.loop.killTimer(target(), kWaitForAnswerTimer);
                state_ = StateIdle;
            }
            PostMain(e.id);
            break;
        case um::UM_SKYPE_ERROR:
            // Any other refusal of our CALL (another call being set up, no
            // credit, not online): the attempt ends as a failed call.
            if (attemptOpen_ && ownCallId_.empty()) EndAttempt(SkypeFailed);
            break;
        case um::UM_SKYPE_REFUSED:
        case um::UM_SKYPE_ATTACHED:
        case um::UM_SKYPE_PENDING:
        case um::UM_SILENT_MODE_ON:
        case um::UM_SILENT_MODE_OFF:
            PostMain(e.id);
            break;
        case um::UM_GREETING_FINISHED:
            StopGreeting();
            state_ = StateGreetingDone;
            PostMain(um::UM_GREETING_FINISHED);
            if (hangUpAfterGreeting_) Reset();
            break;
        default:  // link opened, user handle, DTMF, version, incoming calls
            break;
    }
}

void CallController::EndAttempt(int state) {
    attemptOpen_ = false;
    services_.loop.killTimer(target(), kWaitForAnswerTimer);
    state_ = StateIdle;
    hangUpAfterGreeting_ = false;
    if (player_ && player_->busy()) player_->Stop();
    PostMain(um::UM_CALL_ENDED, static_cast<std::uintptr_t>(state));
}

// The call our CALL created is the first one the client names after it in
// a state an outgoing call passes through; a call the client says is
// incoming is never ours.
bool CallController::Adopt(int index) {
    if (!attemptOpen_ || !ownCallId_.empty() || index >= SkypeCallTable::kSlots) return false;
    const SkypeCall& call = services_.connector.callTable().slot(index);
    if (call.callId.empty() || call.incoming) return false;
    if (call.state != SkypeRouting && call.state != SkypeRinging && call.state != SkypeEarlyMedia &&
        !IsActiveState(call.state)) {
        return false;
    }
    ownCallId_ = call.callId;
    return true;
}

void CallController::CallRule(int index) {
    SkypeCallTable& table = services_.connector.callTable();
    if (index >= SkypeCallTable::kSlots) return;
    const SkypeCall& call = table.slot(index);
    // Calls the dialer did not place are left alone: they never end, hold
    // or time out the attempt.
    if (call.callId != ownCallId_ && !Adopt(index)) return;
    if (!attemptOpen_) return;  // our call has ended: a late status changes nothing
    const int s = call.state;
    if (s > 12) return;
    switch (s) {
        case 0:
        case 1:
        case 2:
            state_ = StateDialing;
            PostMain(um::UM_CALL_DIALING);
            break;
        case 3:
        case 5:
            state_ = StateDialing;
            PostMain(um::UM_CALL_DIALING);
            if (!hangUpSent_) SetWaitForAnswerTimer();  // ringing again: the wait starts over
            break;
        case 6:
        case 7:
            services_.loop.killTimer(target(), kWaitForAnswerTimer);
            state_ = StateConnected;
            PostMain(um::UM_CALL_CONNECTED);
            break;
        default: {  // 4, 8..12: the call ended
            // A hang-up of ours before the answer is a cancelled call, also
            // where the client reports it as a finished one.
            const int ended = s == SkypeFailed && hungUpUnanswered_ ? SkypeCancelled : s;
            attemptOpen_ = false;
            services_.loop.killTimer(target(), kWaitForAnswerTimer);
            state_ = StateIdle;
            PostMain(um::UM_CALL_ENDED, static_cast<std::uintptr_t>(ended));
            Reset();
            break;
        }
    }
}

bool CallController::Dial(const std::string& number) {
    services_.connector.ResetCallState();
    ownCallId_.clear();
    hungUpUnanswered_ = false;
    hangUpSent_ = false;
    attemptOpen_ = true;
    SetWaitForAnswerTimer();
    state_ = StateDialing;
    return services_.connector.CallNumber(NormalizePhoneNumber(number));
}

void CallController::Reset() {
    SkypeCallTable& table = services_.connector.callTable();
    if (!ownCallId_.empty()) {
        table.HangUp(ownCallId_);  // only ours: other calls are left alone
    } else {
        table.HangUpAll();
    }
    state_ = StateIdle;
    hangUpAfterGreeting_ = false;
    if (player_ && player_->busy()) player_->Stop();
}

std::string CallController::CallId() const {
    return ownCallId_.empty() ? services_.connector.callTable().CurrentCallId() : ownCallId_;
}

bool CallController::CallAnswered() const {
    const SkypeCallTable& table = services_.connector.callTable();
    return ownCallId_.empty() ? table.HasActiveCall() : IsActiveState(table.StateOf(ownCallId_));
}

void CallController::HoldOrResume(bool hold) {
    if (!CallAnswered()) return;
    const std::string id = CallId();
    if (id.empty()) return;
    if (hold) {
        services_.connector.HoldCall(id);
    } else {
        services_.connector.ResumeCall(id);
    }
}

bool CallController::PlayGreeting(const std::string& path, bool hangUpAfter) {
    if (!CallAnswered()) return false;
    const std::string id = CallId();
    if (id.empty() || !player_ || player_->busy() || state_ == StateGreeting) return false;
    // A file the player cannot play changes nothing: no routing, no state.
    if (const std::string why = audio::GreetingPlayer::Refusal(path); !why.empty()) {
        player_->ShowRefusal(path, why);
        return false;
    }
    state_ = StateGreeting;
    // Other events run during the pauses; the call may change meanwhile.
    services_.loop.pumpWait(300);
    services_.router.RouteGreetingInput(id, services_.connector.capturePort());
    // The routing command can wait a poll of the sender before it goes out,
    // and the client connects only when it has it: a greeting started before
    // that would lose its first second. Wait (events flowing) until the
    // client is there, within a bound.
    if (services_.greetingInputReady) {
        for (std::int64_t waited = 0; waited < services_.greetingInputWaitMs && !services_.greetingInputReady();
             waited += 10) {
            services_.loop.pumpWait(10);
        }
    }
    services_.loop.pumpWait(200);
    if (!player_ || !player_->Play(path)) {
        // The call ended or the player went during the pauses: undo the routing.
        StopGreeting();
        state_ = CallAnswered() ? StateConnected : StateIdle;
        return false;
    }
    PostMain(um::UM_GREETING_STARTED);
    hangUpAfterGreeting_ = hangUpAfter;
    return true;
}

bool CallController::StopGreeting() {
    state_ = StateGreetingDone;
    if (!CallAnswered()) return false;
    const std::string id = CallId();
    if (id.empty()) return false;
    if (player_) player_->Stop();
    services_.router.RestoreInput(id, services_.connector.capturePort());
    return true;
}

void CallController::Shutdown() {
    if (!initialized_) return;
    initialized_ = false;
    if (player_) player_->Stop();
    player_.reset();
    services_.connector.Shutdown();
    target_.reset();  // its timer goes with it
}

}  // namespace zorvan
