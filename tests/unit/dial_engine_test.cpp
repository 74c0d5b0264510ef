// The dial loop in virtual time: the walk, the pauses at their boundaries,
// pause and stop, the redial phase, the do-not-call marks, the end-of-list
// question, and the waits that must never place a call.
#include <gtest/gtest.h>

#include "support/dial_rig.h"

namespace zorvan {
namespace {

using test::AnsweringPrompts;
using test::DialRig;

constexpr int kFinished = 8;
constexpr int kBusy = 11;
constexpr int kFailed = 4;

TEST(DialEngine, AutomaticPassPausesCallintervalBetweenCallsAndSkipsWhatIsNotDialable) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callinterval = 5;
    const auto a = r.Add("5550001", {}, "Ann");
    r.Add("", {}, "no phone");
    r.Add("5550002", "Call Succeeded");
    const auto d = r.Add("+445550003");
    r.engine->OnAutoButton();
    ASSERT_EQ(r.calls.dialed, (std::vector<std::string>{"+15550001"})) << "the first call at once, country code first";
    EXPECT_EQ(r.engine->mode(), AutoRunning);
    EXPECT_EQ(r.view.buttons.autoStart, "Stop Dialing");
    EXPECT_TRUE(r.view.buttons.autoPauseEnabled);
    EXPECT_FALSE(r.view.buttons.semiStartEnabled);
    EXPECT_EQ(r.view.progress.total, 2u);
    EXPECT_EQ(r.view.window, a);
    EXPECT_EQ(r.view.phases.back(), CallPhase::Calling);
    EXPECT_EQ(r.view.written[a].ctime, "14:05:09") << "the call time in local time";

    r.Answer();
    EXPECT_EQ(r.view.Cell(a), "In Progress...") << "detection off: the answer is shown";
    r.loop.advance(65000);
    r.End(kFinished);
    EXPECT_EQ(r.view.written[a].cstatus, "Call Succeeded");
    EXPECT_EQ(r.view.written[a].ccon, "00:01:05");
    r.loop.advance(4999);
    EXPECT_EQ(r.Dialed(), 1u) << "callinterval not over";
    r.loop.advance(1);
    ASSERT_EQ(r.Dialed(), 2u);
    EXPECT_EQ(r.calls.dialed[1], "+445550003") << "a number with its own country code stands as written";
    EXPECT_EQ(r.engine->currentRow(), d);
    EXPECT_EQ(r.view.progress.placed, 2u);

    r.End(kFinished);
    r.loop.advance(5000);
    EXPECT_EQ(r.engine->mode(), Idle) << "end of the pass, redial 0: dialing stops";
    EXPECT_EQ(r.view.buttons, DialButtons{});
    EXPECT_FALSE(r.view.progress.running);
}

TEST(DialEngine, PauseDuringTheIntervalHoldsTheNextCallAndResumeLetsItFollowWithinAPoll) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callinterval = 10;
    r.Add("5550001");
    r.Add("5550002");
    r.engine->OnAutoButton();
    r.End(kBusy);
    r.loop.advance(3000);
    r.engine->OnPauseButton();
    EXPECT_EQ(r.view.buttons.autoPause, "Resume Dialing");
    r.loop.advance(60000);
    EXPECT_EQ(r.Dialed(), 1u) << "paused: no call";
    r.engine->OnPauseButton();
    EXPECT_EQ(r.view.buttons.autoPause, "Pause Dialing");
    r.loop.advance(3000);
    EXPECT_EQ(r.Dialed(), 2u) << "the waiting worker goes on within its 3 s poll";
}

TEST(DialEngine, StopDuringThePauseAndShutdownPlaceNoFurtherCall) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callinterval = 10;
    for (int i = 0; i < 3; ++i) r.Add("555000" + std::to_string(i));
    r.engine->OnAutoButton();
    r.End(kFinished);
    r.loop.advance(5000);
    r.engine->OnAutoButton();  // "Stop Dialing"
    EXPECT_EQ(r.engine->mode(), Idle);
    EXPECT_GE(r.calls.resets, 1) << "stopping hangs up";
    r.loop.advance(60000);
    EXPECT_EQ(r.Dialed(), 1u);

    r.engine->OnAutoButton();  // the walk starts again and finds the next empty status
    EXPECT_EQ(r.Dialed(), 2u);
    r.End(kFinished);
    r.connected = false;  // the worker polls while Skype is offline ...
    r.loop.advance(30000);
    EXPECT_EQ(r.Dialed(), 2u);
    r.engine->Shutdown();  // ... and shutdown ends that wait at once
    r.connected = true;
    r.loop.advance(30000);
    EXPECT_EQ(r.Dialed(), 2u);
    EXPECT_FALSE(r.engine->nextWorkerRunning());
}

TEST(DialEngine, OfflineWaitsAndNoCallGoesOverAnOpenOne) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.Add("5550001");
    r.Add("5550002");
    r.engine->OnAutoButton();
    r.connected = false;
    r.End(kFinished);
    r.calls.attemptOpen = true;  // and the user's own call is still open
    r.loop.advance(9000);
    EXPECT_EQ(r.Dialed(), 1u);
    r.connected = true;
    r.loop.advance(9000);
    EXPECT_EQ(r.Dialed(), 1u) << "a call is open: no call over it";
    r.calls.attemptOpen = false;
    r.loop.advance(2999);
    EXPECT_EQ(r.Dialed(), 1u);
    r.loop.advance(1);
    EXPECT_EQ(r.Dialed(), 2u);
}

TEST(DialEngine, SemiAutomaticWaitsForDialNextAndNeverPauses) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callinterval = 30;
    r.Add("5550001");
    r.Add("5550002");
    r.engine->OnSemiButton();
    EXPECT_EQ(r.engine->mode(), SemiRunning);
    EXPECT_FALSE(r.view.buttons.autoStartEnabled);
    EXPECT_EQ(r.view.buttons.semiStart, "Stop Dialing");
    EXPECT_FALSE(r.view.buttons.semiNextEnabled);
    r.End(kFinished);
    EXPECT_TRUE(r.view.buttons.semiNextEnabled);
    r.loop.advance(60000);
    EXPECT_EQ(r.Dialed(), 1u);
    r.engine->OnDialNext();
    EXPECT_FALSE(r.view.buttons.semiNextEnabled);
    r.loop.runPending();
    EXPECT_EQ(r.Dialed(), 2u) << "no callinterval in semi-automatic dialing";
    r.End(kFinished);
    r.engine->OnDialNext();
    r.loop.runPending();
    EXPECT_EQ(r.engine->mode(), Idle);
    EXPECT_EQ(r.view.buttons, DialButtons{});
}

TEST(DialEngine, RedialPhaseCallsBusyAndFailedContactsUpToRedialMoreTimes) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.redial = 2;
    const auto busy = r.Add("5550001");
    const auto failed = r.Add("5550002");
    const auto ok = r.Add("5550003");
    r.engine->OnAutoButton();
    r.End(kBusy);
    r.loop.runPending();
    r.End(kFailed);
    r.loop.runPending();
    r.End(kFinished);
    r.loop.runPending();
    ASSERT_TRUE(r.engine->redialPhase());
    EXPECT_EQ(r.engine->retries().Count(), 2u);
    // The busy contact: busy twice more, then it leaves the list.
    EXPECT_EQ(r.engine->currentRow(), busy);
    EXPECT_EQ(r.engine->redialAttempts(), 1);
    r.End(kBusy);
    r.loop.runPending();
    EXPECT_EQ(r.engine->currentRow(), busy);
    EXPECT_EQ(r.engine->redialAttempts(), 2);
    r.End(kBusy);
    r.loop.runPending();
    EXPECT_FALSE(r.engine->retries().Contains(busy));
    // The failed one succeeds at its first retry and leaves at once.
    EXPECT_EQ(r.engine->currentRow(), failed);
    r.Answer();
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_EQ(r.engine->mode(), Idle) << "the list is empty: dialing stops";
    EXPECT_EQ(r.calls.dialed, (std::vector<std::string>{"+15550001", "+15550002", "+15550003", "+15550001",
                                                        "+15550001", "+15550002"}));
    EXPECT_EQ(r.view.written[busy].cstatus, "Line is Busy");
    EXPECT_EQ(r.view.written[failed].cstatus, "Call Succeeded");
    EXPECT_EQ(r.view.written[ok].cstatus, "Call Succeeded");
}

TEST(DialEngine, DoNotCallNumbersAreMarkedAndRetriesAreCheckedAgain) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.donotcall = true;
    r.settings.redial = 1;
    r.doNotCall.Replace({"5550002"});
    const auto first = r.Add("555-0001");
    const auto listed = r.Add("(555) 0002");
    r.Add("5550003", "Line is Busy");
    r.engine->OnAutoButton();
    EXPECT_EQ(r.calls.dialed.back(), "+15550001");
    EXPECT_EQ(r.view.progress.total, 1u) << "the listed number does not count as dialable";
    // The contact being called goes onto the list meanwhile: its retry is
    // checked again, so it is marked instead of redialled.
    r.doNotCall.Replace({"5550002", "5550001"});
    r.End(kBusy);
    EXPECT_EQ(r.view.written[listed].cstatus, "DNC Number");
    EXPECT_EQ(r.engine->mode(), Idle) << "the listed and the dialled-before are skipped; no retry is left";
    EXPECT_EQ(r.Dialed(), 1u);
    EXPECT_EQ(r.view.written[first].cstatus, "DNC Number");
}

TEST(DialEngine, EveryContactDialedAsksToClearAndYesStartsAFreshPassWithoutTheRetries) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.redial = 1;
    const auto a = r.Add("5550001", "Line is Busy");
    r.Add("5550002", "Call Succeeded");
    // A retry entry left from an earlier run.
    r.engine->OnAutoButton();
    ASSERT_EQ(prompts.texts.size(), 1u);
    EXPECT_EQ(prompts.texts[0], DialEngine::kAllDialed);
    EXPECT_EQ(r.calls.dialed, std::vector<std::string>{"+15550001"}) << "Yes: cleared and dialled afresh";
    EXPECT_FALSE(r.engine->redialPhase()) << "the fresh pass is a first pass";
    r.loop.advance(10000);
    EXPECT_EQ(r.Dialed(), 1u) << "no retry worker behind it";
    EXPECT_EQ(r.view.written[a].cstatus, "");

    r.engine->StopDialing();
    r.End(kFinished);
    prompts.answer = PromptAnswer::No;
    for (auto id = r.rows.Next(std::nullopt); id; id = r.rows.Next(id)) r.view.WriteStatus(*id, 4, "Call Succeeded");
    r.engine->OnAutoButton();
    EXPECT_EQ(r.Dialed(), 1u);
    EXPECT_EQ(prompts.texts.size(), 2u);
}

TEST(DialEngine, StartNeedsSkypeAndAFileForTheCampaign) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.engine->OnAutoButton();
    EXPECT_EQ(r.engine->mode(), Idle) << "no rows at all: nothing";
    EXPECT_TRUE(prompts.texts.empty());

    r.Add("5550001");
    r.view.hasFile = false;
    prompts.savePath.reset();
    r.engine->OnAutoButton();
    EXPECT_EQ(r.engine->mode(), Idle) << "automatic: a cancelled save abandons the start";
    ASSERT_EQ(prompts.texts.size(), 1u);
    EXPECT_EQ(prompts.texts[0], "save: 2024-01-31-Campaign");

    r.connected = false;
    prompts.savePath = "/tmp/c.xml";
    r.engine->OnSemiButton();
    EXPECT_EQ(r.view.savedAs, std::vector<std::string>{"/tmp/c.xml"});
    EXPECT_EQ(prompts.texts.back(), DialEngine::kNotConnected);
    EXPECT_EQ(r.engine->mode(), Idle);
    EXPECT_EQ(r.Dialed(), 0u);
}

TEST(DialEngine, ADeletedRowLeavesTheWalkAndTheRetriesWithoutRestartingThem) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.redial = 1;
    const auto a = r.Add("5550001");
    const auto b = r.Add("5550002");
    const auto c = r.Add("5550003");
    r.engine->OnAutoButton();
    r.End(kBusy);
    r.loop.runPending();
    ASSERT_EQ(r.engine->currentRow(), b);
    r.engine->RowRemoving(a);
    r.rows.Remove(a);
    EXPECT_FALSE(r.engine->retries().Contains(a));
    r.engine->RowRemoving(b);  // the row being dialled: the walk goes on after it
    r.rows.Remove(b);
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_EQ(r.engine->currentRow(), c);
    EXPECT_EQ(r.calls.dialed.back(), "+15550003");
    EXPECT_EQ(r.Dialed(), 3u);
}

}  // namespace
}  // namespace zorvan
