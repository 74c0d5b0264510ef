#pragma once

// The dial loop and the call outcome handling on a virtual clock, with the
// controller, the audio server and the widgets replaced by records of what
// they were asked. The rig plays the main window: it routes the call events
// to the outcome handling as the real one does. Used by the unit tests and
// the dial benchmark.
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/campaign_rows.h"
#include "data/disposition_list.h"
#include "data/do_not_call.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "dial/call_outcome.h"
#include "dial/dial_engine.h"
#include "platform/prompts.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"

namespace zorvan::test {

// Final call states as UM_CALL_ENDED carries them.
inline constexpr int kFinished = 8;
inline constexpr int kBusy = 11;

class FakeCalls final : public DialCalls {
public:
    std::vector<std::string> dialed;
    bool attemptOpen = false;
    bool liveCall = false;
    int resets = 0;
    bool playResult = true;
    std::vector<std::pair<std::string, bool>> played;
    int stops = 0;
    std::pair<std::string, std::string> oldest{"1001", "+15550001"};
    std::string partner;

    bool Dial(const std::string& number) override {
        dialed.push_back(number);
        attemptOpen = true;
        return true;
    }
    void Reset() override { ++resets; }
    bool PlayGreeting(const std::string& path, bool hangUpAfter) override {
        played.emplace_back(path, hangUpAfter);
        return playResult;
    }
    bool StopGreeting() override { return ++stops, true; }
    bool AttemptOpen() const override { return attemptOpen; }
    bool HasLiveCall() const override { return liveCall; }
    std::pair<std::string, std::string> OldestActiveCall() const override { return oldest; }
    std::string PartnerOf(const std::string&) const override { return partner; }
};

class FakeAudio final : public DialAudio {
public:
    std::uint32_t generation = 0;
    int timeouts = 0;
    int cancels = 0;
    int awaits = 0;
    bool recordResult = true;
    std::vector<std::string> recordings;
    int stops = 0;

    std::uint32_t StartDetection() override { return ++generation; }
    void DetectionTimeout() override { ++timeouts; }
    void AwaitGreetingEnd() override { ++awaits; }
    void CancelDetection() override {
        ++cancels;
        ++generation;
    }
    bool StartRecording(const std::string& path) override {
        recordings.push_back(path);
        return recordResult;
    }
    void StopRecording() override { ++stops; }
};

// The grid (the rows' cells) and the contacts' written fields.
class FakeView final : public DialView {
public:
    struct Written {
        std::string cstatus, ctime, ccon, recfile;
    };
    explicit FakeView(CampaignRows& rows) : rows_(rows) {}

    std::map<std::int32_t, Written> written;
    std::vector<std::int32_t> selected;
    DialButtons buttons;
    DialProgress progress;
    bool hasFile = true;
    std::vector<std::string> savedAs;
    bool clearAnswer = true;
    std::optional<std::int32_t> window;
    std::vector<CallPhase> phases;
    std::optional<bool> recordButton;
    std::vector<int> greetingSelections;
    std::optional<int> choice;
    int notStarted = 0;
    int percent = -1;
    int padClears = 0;

    std::string Cell(std::int32_t id) const {
        const auto* cells = rows_.CellsOf(id);
        return cells ? (*cells)[static_cast<std::size_t>(rows_.columns().dispositionColumn())] : std::string("<gone>");
    }

    void SelectRow(std::int32_t id) override { selected.push_back(id); }
    void ShowStatus(std::int32_t id, int, const std::string& text) override {
        rows_.SetCell(id, static_cast<std::size_t>(rows_.columns().dispositionColumn()), text);
    }
    void RestoreStatus(std::int32_t id) override { ShowStatus(id, -1, written[id].cstatus); }
    void WriteStatus(std::int32_t id, int code, const std::string& text) override {
        if (!rows_.IndexOf(id)) return;
        written[id].cstatus = text;
        ShowStatus(id, code, text);
    }
    void WriteCallTime(std::int32_t id, const std::string& text) override { written[id].ctime = text; }
    void WriteDuration(std::int32_t id, const std::string& text) override { written[id].ccon = text; }
    void ShowButtons(const DialButtons& b) override { buttons = b; }
    void ShowProgress(const DialProgress& p) override { progress = p; }
    bool CampaignHasFile() const override { return hasFile; }
    void SaveCampaignAs(const std::string& path) override {
        savedAs.push_back(path);
        hasFile = true;
    }
    bool ClearCallStatuses() override {
        if (!clearAnswer) return false;
        for (auto id = rows_.Next(std::nullopt); id; id = rows_.Next(id)) WriteStatus(*id, -1, {});
        return true;
    }
    void ShowContact(std::int32_t id, bool) override { window = id; }
    bool WindowShows(std::int32_t id) const override { return window == id; }
    void SetCallPhase(CallPhase phase) override { phases.push_back(phase); }
    void SetRecordButton(bool on) override { recordButton = on; }
    void SelectGreeting(int data) override { greetingSelections.push_back(data); }
    std::optional<int> GreetingChoice() const override { return choice; }
    void GreetingNotStarted() override { ++notStarted; }
    void ShowGreetingProgress(int p) override { percent = p; }
    void SetCallRecording(std::int32_t id, const std::string& path) override { written[id].recfile = path; }
    void ClearDialPadDisplay() override { ++padClears; }

private:
    CampaignRows& rows_;
};

// Answers every question the same way and counts them.
class AnsweringPrompts final : public Prompts {
public:
    PromptAnswer answer = PromptAnswer::Yes;
    std::optional<std::string> savePath;
    std::vector<std::string> texts;
    PromptAnswer messageBox(const std::string&, const std::string& text, PromptIcon, PromptButtons) override {
        texts.push_back(text);
        return answer;
    }
    std::optional<std::string> saveFile(const FileDialogRequest& request) override {
        texts.push_back("save: " + request.defaultName);
        return savePath;
    }
};

class DialRig final : public EventHandler {
public:
    explicit DialRig(Prompts& prompts) : prompts_(prompts) {
        // Call times and file names in a zone every machine agrees on.
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        dispositions.AppendDefaults();
        settings.callinterval = 0;
        main_ = loop.addTarget(*this);
        engine = std::make_unique<DialEngine>(DialServices{loop, prompts_, rows, calls, view, dispositions, &doNotCall,
                                                           [this] { return settings; }, [this] { return connected; },
                                                           [this] { return closing; }});
        outcome = std::make_unique<CallOutcome>(CallOutcomeServices{loop, prompts_, *engine, calls, audio, view,
                                                                    dispositions, greetings, [this] { return settings; },
                                                                    [this] { return connected; }, main_});
    }
    ~DialRig() override {
        outcome.reset();
        engine.reset();
        loop.removeTarget(main_);
    }

    std::int32_t Add(const std::string& phone, const std::string& status = {}, const std::string& name = {}) {
        Contact c;
        c.fname = name;
        c.phone = phone;
        c.cstatus = status;
        const std::int32_t id = rows.Insert(c);
        view.written[id].cstatus = status;
        return id;
    }
    void Post(std::uint32_t id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        loop.post(main_, {id, wParam, lParam});
        loop.runPending();
    }
    // The client reports the end of our call.
    void End(int state) {
        calls.attemptOpen = false;
        Post(um::UM_CALL_ENDED, static_cast<std::uintptr_t>(state));
    }
    void Answer() {
        Post(um::UM_CALL_DIALING);
        Post(um::UM_CALL_CONNECTED);
    }
    std::size_t Dialed() const { return calls.dialed.size(); }

    void OnEvent(const Event& event) override {
        events.push_back(event);
        outcome->Handle(event);
    }

    VirtualEventLoop loop;
    DispositionList dispositions;
    GreetingList greetings;
    DoNotCallList doNotCall;
    SettingsData settings;
    bool connected = true;
    bool closing = false;
    CampaignRows rows;
    FakeCalls calls;
    FakeAudio audio;
    FakeView view{rows};
    std::unique_ptr<DialEngine> engine;
    std::unique_ptr<CallOutcome> outcome;
    std::vector<Event> events;

private:
    Prompts& prompts_;
    TargetId main_ = kNoTarget;
};

}  // namespace zorvan::test
