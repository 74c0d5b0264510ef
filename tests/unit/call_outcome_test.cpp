// What each event of a call leaves on its contact, in virtual time: the
// detection window at its boundary, verdicts and greeting cues, recording
// names, hang-ups, hold and resume, the manual call, and late messages of
// an earlier call.
#include <gtest/gtest.h>

#include "support/dial_rig.h"

namespace zorvan {
namespace {

using test::AnsweringPrompts;
using test::DialRig;

constexpr int kFinished = 8;
constexpr int kBusy = 11;
constexpr int kCancelled = 12;
constexpr std::uintptr_t kHuman = 1;
constexpr std::uintptr_t kMachine = 0;

struct Detecting : ::testing::Test {
    AnsweringPrompts prompts;
    DialRig r{prompts};
    std::int32_t row = 0;
    void SetUp() override {
        r.settings.vad = true;
        r.settings.msgtohuman = true;
        r.settings.msgtohumanfile = "/greetings/human.wav";
        r.settings.leavemsgtotamfile = "/greetings/machine.wav";
        row = r.Add("5550001", {}, "Ann");
        r.Add("5550002");
        r.engine->OnAutoButton();
    }
    std::intptr_t Window() const { return static_cast<std::intptr_t>(r.audio.generation); }
};

TEST_F(Detecting, TheSecondModeKeepsTheWindowOpenSixSeconds) {
    r.settings.amdmode = 1;
    r.settings.threshold = 3;  // the first mode's five seconds do not apply
    r.Answer();
    r.loop.advance(5999);
    EXPECT_EQ(r.audio.timeouts, 0);
    r.loop.advance(1);
    EXPECT_EQ(r.audio.timeouts, 1);
}

TEST_F(Detecting, APersonGetsTheHumanGreetingAndThePlayedShareIsWritten) {
    r.Answer();
    EXPECT_EQ(r.view.Cell(row), "Voice Activity Detecting...");
    r.loop.advance(2999);
    EXPECT_EQ(r.audio.timeouts, 0);
    r.loop.advance(1);
    EXPECT_EQ(r.audio.timeouts, 1) << "threshold 2: a 3000 ms window";
    r.Post(um::UM_AMD_RESULT, kHuman, Window());
    EXPECT_EQ(r.view.Cell(row), "In Progress...");
    EXPECT_EQ(r.view.phases.back(), CallPhase::Human);
    ASSERT_EQ(r.calls.played.size(), 1u) << "the cue and the play request follow on the queue";
    EXPECT_EQ(r.calls.played[0], std::make_pair(std::string("/greetings/human.wav"), false));
    EXPECT_EQ(r.view.greetingSelections.back(), kHumanGreeting);
    r.Post(um::UM_GREETING_PROGRESS, 40);
    EXPECT_EQ(r.view.percent, 40);
    r.Post(um::UM_CALL_CONNECTED);  // a resume: no second window
    EXPECT_EQ(r.audio.generation, static_cast<std::uint32_t>(Window()));
    r.Post(um::UM_GREETING_PROGRESS, 55);
    r.settings.callinterval = 30;  // the next call waits, so the window still shows this one
    r.End(kFinished);
    EXPECT_EQ(r.view.written[row].cstatus, "Call Succeeded (55%)");
    EXPECT_EQ(r.view.phases.back(), CallPhase::Finished);
    EXPECT_EQ(r.view.padClears, 1);
}

TEST_F(Detecting, AMachineGetsItsGreetingAfterItsOwnAndIsHungUpOnIt) {
    r.settings.leavemsgtotam = true;
    r.settings.threshold = 3;
    r.Answer();
    r.loop.advance(4999);
    EXPECT_EQ(r.audio.timeouts, 0);
    r.loop.advance(1);
    EXPECT_EQ(r.audio.timeouts, 1) << "threshold 3: a 5000 ms window";
    r.Post(um::UM_AMD_RESULT, kMachine, Window());
    EXPECT_EQ(r.view.Cell(row), "Answering Machine Answered");
    EXPECT_EQ(r.outcome->machineRow(), row);
    EXPECT_EQ(r.audio.awaits, 1);
    EXPECT_TRUE(r.calls.played.empty());
    r.Post(um::UM_GREETING_CUE, 0, Window());
    ASSERT_EQ(r.calls.played.size(), 1u);
    EXPECT_EQ(r.calls.played[0], std::make_pair(std::string("/greetings/machine.wav"), true));
    r.End(kFinished);
    EXPECT_EQ(r.view.written[row].cstatus, "Answering Machine Succeeded");
    EXPECT_FALSE(r.outcome->machineRow());
}

TEST_F(Detecting, AMachineIsHungUpOnWhenNoMessageIsLeftAndAGreetingThatCannotPlayStillEndsTheCall) {
    r.settings.hangupamline = true;
    r.Answer();
    r.loop.advance(3000);
    const int before = r.calls.resets;
    r.Post(um::UM_AMD_RESULT, kMachine, Window());
    EXPECT_EQ(r.calls.resets, before + 1);
    r.End(kFinished);
    EXPECT_EQ(r.view.written[row].cstatus, "Answering Machine Succeeded");

    // Next call: the machine greeting is refused by the player.
    r.loop.runPending();
    r.settings.hangupamline = false;
    r.settings.leavemsgtotam = true;
    r.calls.playResult = false;
    r.Answer();
    r.loop.advance(3000);
    r.Post(um::UM_AMD_RESULT, kMachine, Window());
    const int resets = r.calls.resets;
    r.Post(um::UM_GREETING_CUE, 0, Window());
    EXPECT_EQ(r.calls.resets, resets + 1) << "the line is not left open";
}

TEST_F(Detecting, ACallEndingInsideTheWindowLeavesNoVerdictForTheNextOne) {
    r.Answer();
    const std::intptr_t first = Window();
    r.loop.advance(1500);
    r.End(kCancelled);
    EXPECT_GE(r.audio.cancels, 1) << "the detector is cancelled without a verdict";
    r.loop.runPending();  // the next call
    ASSERT_EQ(r.Dialed(), 2u);
    r.loop.advance(1500);
    EXPECT_EQ(r.audio.timeouts, 0) << "the first call's timer went with it";
    const std::int32_t second = r.engine->currentRow().value();
    r.Answer();
    r.Post(um::UM_AMD_RESULT, kMachine, first);  // late, from the first window
    EXPECT_EQ(r.view.Cell(second), "Voice Activity Detecting...");
    EXPECT_FALSE(r.outcome->machineRow());
    r.Post(um::UM_AMD_RESULT, kHuman, Window());
    EXPECT_EQ(r.view.Cell(second), "In Progress...");
    r.End(kFinished);
    EXPECT_EQ(r.view.written[second].cstatus, "Call Succeeded");
}

TEST(CallOutcome, HoldAndResumeCountTheDurationFromTheLastResume) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    const auto row = r.Add("5550001");
    r.engine->OnAutoButton();
    r.Answer();
    r.loop.advance(20000);
    r.Post(um::UM_CALL_CONNECTED);  // on hold
    r.loop.advance(30000);
    r.Post(um::UM_CALL_CONNECTED);  // resumed
    r.loop.advance(12400);
    r.End(kFinished);
    EXPECT_EQ(r.view.written[row].ccon, "00:00:12");
}

TEST(CallOutcome, RecordingNamesComeFromThePartnerAndTheFileIsWrittenOnlyWhenRecording) {
    EXPECT_EQ(CallOutcome::RecordingPath("/rec", "a/b", "01-02-2024_10-00-00"), "/rec/a_b_01-02-2024_10-00-00");
    EXPECT_EQ(CallOutcome::RecordingPath("/rec/", "x", "t"), "/rec/x_t");
    EXPECT_EQ(CallOutcome::DurationText(25 * 3600 + 61), "01:01:01") << "hours 0 to 23";

    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.autorec = true;
    r.settings.recfolder = "/home/u/Recordings";
    const auto row = r.Add("5550001");
    r.Add("5550002");
    r.engine->OnAutoButton();
    r.calls.oldest = {"1001", "undisclosed_pstn:+15550001"};
    r.Answer();
    ASSERT_EQ(r.audio.recordings.size(), 1u);
    EXPECT_EQ(r.audio.recordings[0], "/home/u/Recordings/undisclosed_pstn+15550001_01-31-2024_14-05-09");
    EXPECT_EQ(r.view.written[row].recfile, r.audio.recordings[0] + ".mp3");
    EXPECT_EQ(r.view.recordButton, true);
    r.End(kFinished);
    EXPECT_EQ(r.audio.stops, 1) << "the end stops the recording";

    r.loop.runPending();
    r.audio.recordResult = false;  // the file could not be made
    r.calls.oldest = {"1002", ""};
    r.calls.partner = "";
    r.Answer();
    EXPECT_EQ(r.audio.recordings.back(), "/home/u/Recordings/1002_01-31-2024_14-05-09") << "the call id names it";
    EXPECT_TRUE(r.view.written[*r.engine->currentRow()].recfile.empty());
}

TEST(CallOutcome, PlayMsgPlaysTheChosenGreetingAndReturnsWhenNothingStarted) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.greetings.Append({"promo", "/g/promo.wav"});
    r.Add("5550001");
    r.engine->OnAutoButton();
    r.Answer();
    r.view.choice = 0;
    r.Post(um::UM_PLAY_GREETING, 0, 2);
    EXPECT_EQ(r.calls.played.back(), std::make_pair(std::string("/g/promo.wav"), false));
    EXPECT_EQ(r.view.notStarted, 0);
    r.view.choice = kMachineGreeting;  // no machine greeting file set
    r.Post(um::UM_PLAY_GREETING, 0, 2);
    EXPECT_EQ(r.calls.played.size(), 1u);
    EXPECT_EQ(r.view.notStarted, 1) << "\"Play Msg\" back to its caption";
    r.Post(um::UM_STOP_GREETING);
    EXPECT_EQ(r.calls.stops, 1);
}

TEST(CallOutcome, FailuresAreWrittenAndAnInvalidNumberEndsTheAttemptOnce) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.waitforanswer = 30;
    const auto a = r.Add("5550001");
    const auto b = r.Add("5550002");
    r.engine->OnAutoButton();
    r.Post(um::UM_CALL_DIALING);
    EXPECT_EQ(r.view.Cell(a), "Connecting...");
    r.End(kCancelled);  // our wait-for-answer hang-up
    EXPECT_EQ(r.view.written[a].cstatus, "Call Failed");
    EXPECT_TRUE(r.engine->retries().Contains(a));
    r.loop.runPending();
    r.calls.attemptOpen = false;
    r.Post(um::UM_CALL_INVALID_NUMBER);
    EXPECT_EQ(r.view.written[b].cstatus, "Invalid Phone Number");
    EXPECT_EQ(r.engine->mode(), Idle);
    r.End(4);  // a second word on the same attempt changes nothing
    EXPECT_EQ(r.view.written[b].cstatus, "Invalid Phone Number");
}

TEST(CallOutcome, AManualCallWhilePausedReturnsToTheLoopWhichStaysPaused) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    const auto a = r.Add("5550001");
    r.Add("5550002");
    const auto c = r.Add("5550003");
    const auto empty = r.Add("");
    r.engine->OnAutoButton();
    EXPECT_EQ(r.outcome->RowMenu(), std::vector<std::string>{CallOutcome::kViewEdit}) << "automatic: no manual call";
    r.engine->OnPauseButton();
    EXPECT_EQ(r.outcome->RowMenu(), std::vector<std::string>{CallOutcome::kViewEdit}) << "the call is still live";
    r.End(kFinished);
    EXPECT_EQ(r.outcome->RowMenu(), (std::vector<std::string>{CallOutcome::kCallPhone, CallOutcome::kViewEdit}));

    r.outcome->ManualCall(empty);
    EXPECT_FALSE(r.outcome->manualCall()) << "an empty phone: no manual call";
    EXPECT_EQ(r.Dialed(), 1u);
    r.outcome->ManualCall(c);
    EXPECT_TRUE(r.outcome->manualCall());
    EXPECT_EQ(r.calls.dialed.back(), "+15550003");
    r.End(kBusy);
    EXPECT_EQ(r.view.written[c].cstatus, "Line is Busy");
    EXPECT_EQ(r.engine->currentRow(), a) << "the row it had before";
    EXPECT_TRUE(r.engine->retries().Contains(c));
    r.loop.advance(30000);
    EXPECT_EQ(r.Dialed(), 2u) << "still paused";
    EXPECT_EQ(r.engine->mode(), AutoPaused);

    r.calls.liveCall = true;  // a call of the user's own in the client
    r.engine->StopDialing();
    EXPECT_EQ(r.outcome->RowMenu(), std::vector<std::string>{CallOutcome::kViewEdit}) << "not over a live call";
    r.outcome->ManualCall(c);
    EXPECT_EQ(r.Dialed(), 2u);
}

TEST(CallOutcome, StoppingMidCallLeavesTheContactAsItWasAndItsEndWritesNothing) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.vad = true;
    const auto a = r.Add("5550001");
    r.engine->OnAutoButton();
    r.Answer();
    EXPECT_EQ(r.view.Cell(a), "Voice Activity Detecting...");
    r.engine->OnAutoButton();
    EXPECT_EQ(r.view.Cell(a), "") << "the cell shows what the contact holds";
    r.loop.advance(5000);
    EXPECT_EQ(r.audio.timeouts, 0) << "the detection went with the call";
    r.End(kFinished);
    EXPECT_EQ(r.view.written[a].cstatus, "");
    EXPECT_EQ(r.engine->mode(), Idle);
}

}  // namespace
}  // namespace zorvan
