#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/settings.h"
#include "dial/dial_engine.h"
#include "dial/dial_ports.h"
#include "platform/event_loop.h"

namespace zorvan {

class DispositionList;
class GreetingList;
class Prompts;

struct CallOutcomeServices {
    EventLoop& loop;
    Prompts& prompts;
    DialEngine& engine;
    DialCalls& calls;
    DialAudio& audio;
    DialView& view;
    const DispositionList& dispositions;
    const GreetingList& greetings;
    std::function<SettingsData()> settings;
    std::function<bool()> connected;
    TargetId mainWindow = kNoTarget;  // where the follow-up events are posted
};

// What each event of a running call means for the contact that was called:
// the statuses shown and written, answering machine detection, the
// greetings, recording, hanging up, and the hand-over to the dial loop when
// the call has ended. Also the manual call of the row menu. UI thread only.
class CallOutcome final : public EventHandler, public DialCallHooks {
public:
    static constexpr int kVadDecisionTimer = 101;
    static constexpr const char* kCallPhone = "Call Phone";
    static constexpr const char* kViewEdit = "View/Edit Contact";

    explicit CallOutcome(CallOutcomeServices services);
    ~CallOutcome() override;
    CallOutcome(const CallOutcome&) = delete;
    CallOutcome& operator=(const CallOutcome&) = delete;

    // One of the call's events (dialing, connected, ended, invalid number,
    // detection verdict, greeting cue, play, stop, progress, recording);
    // false for any other event.
    bool Handle(const Event& event);

    // The row menu's items as the dial state allows them.
    std::vector<std::string> RowMenu() const;
    // "Call Phone" on a row.
    void ManualCall(std::int32_t row);

    // From the dial loop.
    void CallPlaced() override;
    void DialingStopped() override;

    void OnEvent(const Event& event) override { static_cast<void>(event); }
    void OnTimer(int timerId) override;

    std::optional<std::int32_t> machineRow() const { return machineRow_; }
    bool vadStarted() const { return vadStarted_; }
    bool answerShown() const { return answerShown_; }
    bool manualCall() const { return manualCall_; }
    bool greetingPlayed() const { return greetingPlayed_; }
    int greetingPercent() const { return greetingPercent_; }
    TargetId target() const { return target_.id(); }

    // The recording's file name without its extension: the folder, the
    // partner (a "/" in it made "_"), "_" and the time stamp.
    static std::string RecordingPath(const std::string& folder, const std::string& name, const std::string& stamp);
    // A span of seconds as "%H:%M:%S", hours 0 to 23.
    static std::string DurationText(std::int64_t seconds);

private:
    void OnDialing();
    void OnConnected();
    void OnAmdResult(bool human, std::intptr_t generation);
    void OnGreetingCue(std::uintptr_t which, std::intptr_t generation);
    void OnPlayGreeting(bool hangUpAfter, std::intptr_t which);
    void OnGreetingProgress(std::uintptr_t percent);
    void OnStartRecording();
    void OnEnded(int state);
    void OnInvalidNumber();
    void StartRecordingSoon();
    void EndDetection();
    void RestoreAfterManualCall();
    std::string Text(int code) const;
    void Post(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    CallOutcomeServices services_;
    ScopedTarget target_;
    std::optional<std::int32_t> machineRow_;
    bool vadStarted_ = false;
    bool answerShown_ = false;
    std::int64_t connectMs_ = 0;
    bool greetingPlayed_ = false;
    int greetingPercent_ = 0;
    bool manualCall_ = false;
    std::optional<std::int32_t> savedRow_;
    // A call placed and not yet ended: its end is written once.
    bool callOpen_ = false;
    // The detection window of this call; verdicts and cues of another are stale.
    std::uint32_t detection_ = 0;
};

}  // namespace zorvan
