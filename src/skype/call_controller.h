#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/event_loop.h"

namespace zorvan {

class CallAudioRouter;
class Prompts;
class SkypeConnector;
namespace audio {
class GreetingPlayer;
class InputPortSink;
}  // namespace audio

// What the controller reports itself as; the three that are posted are also
// the ids of the messages that report them.
enum ControllerState : int {
    StateDialing = 0x900,
    StateConnected = 0x901,
    StateGreeting = 0x902,
    StateGreetingDone = 0x903,
    StateIdle = 0x904,
};

struct CallControllerServices {
    EventLoop& loop;
    SkypeConnector& connector;
    CallAudioRouter& router;
    audio::InputPortSink& greetingSink;  // the input port the greeting goes out on
    Prompts& prompts;
    std::function<int()> waitForAnswerSeconds;  // the waitforanswer setting
    // True once the client has connected to the greeting port (none: not
    // waited for).
    std::function<bool()> greetingInputReady = {};
    std::int64_t greetingInputWaitMs = 2000;
};

// Between the main window and the Skype link: turns the call table's
// changes into dialing, connected and ended, hangs up a call that is not
// answered in time, places, holds and resumes calls, plays greetings into
// the call with the routing they need, and relays the connection messages.
// Its event target is the notify target of the connector and of the
// greeting player. UI thread only.
class CallController final : public EventHandler {
public:
    static constexpr int kWaitForAnswerTimer = 102;
    // How long a hang-up of ours may go unanswered before the attempt ends
    // without the client's word.
    static constexpr std::int64_t kHangUpGraceMs = 10000;

    CallController(CallControllerServices services, TargetId mainWindow);
    ~CallController() override;
    CallController(const CallController&) = delete;
    CallController& operator=(const CallController&) = delete;

    // The one controller of the process, created (and attached) on the first call.
    static CallController& Instance(CallControllerServices services, TargetId mainWindow);
    static CallController* Instance();
    static void DestroyInstance();

    bool Dial(const std::string& number);
    void Reset();
    void HoldOrResume(bool hold);
    bool PlayGreeting(const std::string& path, bool hangUpAfter);
    bool StopGreeting();
    void Shutdown();

    ControllerState state() const { return state_; }
    // From Dial until the attempt's end has been posted.
    bool attemptOpen() const { return attemptOpen_; }
    // The call the last Dial's CALL created; empty until the client named it.
    const std::string& ownCallId() const { return ownCallId_; }
    bool hangUpAfterGreeting() const { return hangUpAfterGreeting_; }
    bool initialized() const { return initialized_; }
    TargetId target() const { return target_ ? target_->id() : kNoTarget; }
    audio::GreetingPlayer* greetingPlayer() { return player_.get(); }

    void OnEvent(const Event& event) override;
    void OnTimer(int timerId) override;

private:
    void CallRule(int index);
    bool Adopt(int index);
    void EndAttempt(int state);
    std::string CallId() const;
    bool CallAnswered() const;
    void PostMain(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    void SetWaitForAnswerTimer();

    CallControllerServices services_;
    TargetId main_;
    std::unique_ptr<ScopedTarget> target_;
    std::unique_ptr<audio::GreetingPlayer> player_;
    ControllerState state_ = StateIdle;
    bool hangUpAfterGreeting_ = false;
    bool initialized_ = false;
    // Every attempt ends exactly once: from Dial until its end is posted.
    bool attemptOpen_ = false;
    std::string ownCallId_;
    bool hungUpUnanswered_ = false;  // our wait-for-answer hang-up
    bool hangUpSent_ = false;
};

}  // namespace zorvan
