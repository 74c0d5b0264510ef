// The dial loop with numbers read as the network reads them, calling hours
// in the callee's own zone and spaced-out retries, in virtual wall time.
#include <gtest/gtest.h>

#include <chrono>

#include "support/dial_rig.h"

namespace zorvan {
namespace {

using test::AnsweringPrompts;
using test::DialRig;
using test::kBusy;
using test::kFinished;

constexpr std::int64_t kMinute = 60000;

std::chrono::system_clock::time_point Utc(int y, int mo, int d, int h, int mi) {
    using namespace std::chrono;
    return sys_days{year{y} / mo / d} + hours{h} + minutes{mi};
}

TEST(DialHours, ImpossibleNumbersAreWrittenWithoutACallAndNationalOnesGoOutAsE164) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.countrycode = "+44";
    const auto tooShort = r.Add("12");
    const auto london = r.Add("020 7946 0958");
    const auto words = r.Add("ask reception");
    const auto berlin = r.Add("0049 30 901820");
    r.engine->OnAutoButton();
    ASSERT_EQ(r.calls.dialed, (std::vector<std::string>{"+442079460958"}));
    EXPECT_EQ(r.view.written[tooShort].cstatus, "Invalid Phone Number");
    EXPECT_EQ(r.view.written[tooShort].ctime, "") << "never called";
    EXPECT_EQ(r.view.progress.total, 3u) << "counted before the walk found it impossible";
    EXPECT_EQ(r.engine->currentRow(), london);
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_EQ(r.view.written[words].cstatus, "Invalid Phone Number");
    ASSERT_EQ(r.calls.dialed.size(), 2u);
    EXPECT_EQ(r.calls.dialed[1], "+4930901820");
    EXPECT_EQ(r.engine->currentRow(), berlin);
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_EQ(r.engine->mode(), Idle);

    // The row menu's own call of an impossible number: written, not called.
    const auto typo = r.Add("0");
    r.outcome->ManualCall(typo);
    EXPECT_EQ(r.calls.dialed.size(), 2u);
    EXPECT_EQ(r.view.written[typo].cstatus, "Invalid Phone Number");
    EXPECT_FALSE(r.engine->currentRow()) << "the loop's row (none) is given back";
}

TEST(DialHours, ANumberOutsideItsHoursWaitsForItsOwnEightAndIsCalledThen) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callhours = true;
    r.loop.setWallTime(Utc(2026, 1, 15, 13, 30));  // 08:30 in New York, 05:30 in Los Angeles
    const auto la = r.Add("(310) 555-0123", {}, "Los Angeles");
    const auto ny = r.Add("(212) 555-0123", {}, "New York");
    const auto nowhere = r.Add("555 010 0001", {}, "no zone: this computer's 13:30 (UTC)");
    r.engine->OnAutoButton();
    ASSERT_EQ(r.calls.dialed, (std::vector<std::string>{"+12125550123"}));
    EXPECT_EQ(r.view.written[la].cstatus, "") << "passed over without a status";
    EXPECT_EQ(r.engine->currentRow(), ny);
    r.End(kFinished);
    r.loop.runPending();
    ASSERT_EQ(r.calls.dialed.size(), 2u);
    EXPECT_EQ(r.engine->currentRow(), nowhere);
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_EQ(r.engine->mode(), AutoRunning) << "the pass ended with a contact left to call";
    EXPECT_EQ(r.engine->waitingUntil(), std::chrono::duration_cast<std::chrono::milliseconds>(
                                            Utc(2026, 1, 15, 16, 0).time_since_epoch()).count());
    EXPECT_EQ(r.view.progress.waiting, "Waiting for calling hours: next call at 16:00");

    r.loop.advance(150 * kMinute - 1);  // 15:59:59.999
    EXPECT_EQ(r.calls.dialed.size(), 2u);
    r.loop.advance(1);
    ASSERT_EQ(r.calls.dialed.size(), 3u);
    EXPECT_EQ(r.calls.dialed[2], "+13105550123");
    EXPECT_EQ(r.engine->currentRow(), la);
    EXPECT_EQ(r.view.progress.waiting, "");
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_EQ(r.engine->mode(), Idle);
}

TEST(DialHours, TheWaitFollowsADaylightSavingChangeAndAStopEndsIt) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callhours = true;
    // Midnight in New York on the night clocks go forward: 08:00 comes at
    // 12:00 UTC, an hour earlier than the evening's offset would say.
    r.loop.setWallTime(Utc(2026, 3, 8, 5, 0));
    r.Add("212 555 0123");
    r.engine->OnAutoButton();
    EXPECT_TRUE(r.calls.dialed.empty());
    EXPECT_EQ(r.engine->mode(), AutoRunning);
    EXPECT_EQ(r.view.progress.waiting, "Waiting for calling hours: next call at 12:00");
    r.loop.advance(7 * 60 * kMinute - 1);
    EXPECT_TRUE(r.calls.dialed.empty());
    r.loop.advance(1);
    EXPECT_EQ(r.calls.dialed.size(), 1u);

    // Stopped during a wait: nothing follows.
    DialRig s(prompts);
    s.settings.callhours = true;
    s.loop.setWallTime(Utc(2026, 3, 8, 5, 0));
    s.Add("212 555 0123");
    s.engine->OnAutoButton();
    s.engine->OnAutoButton();
    EXPECT_EQ(s.engine->mode(), Idle);
    EXPECT_FALSE(s.engine->waitingUntil());
    s.loop.advance(24 * 60 * kMinute);
    EXPECT_TRUE(s.calls.dialed.empty());
}

TEST(DialHours, SemiAutomaticDialingSaysSoOnDialNext) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.callhours = true;
    r.settings.callfrom = "09:00";
    r.settings.callto = "17:00";
    r.loop.setWallTime(Utc(2026, 1, 15, 13, 30));
    const auto la = r.Add("310 555 0123");
    r.engine->OnSemiButton();
    EXPECT_TRUE(r.calls.dialed.empty());
    ASSERT_FALSE(prompts.texts.empty());
    EXPECT_EQ(prompts.texts.back(), "Waiting for calling hours: next call at 17:00");
    EXPECT_EQ(r.engine->mode(), SemiRunning);
    EXPECT_TRUE(r.view.buttons.semiNextEnabled);
    r.engine->OnDialNext();
    r.loop.runPending();
    EXPECT_TRUE(r.calls.dialed.empty());
    EXPECT_EQ(prompts.texts.size(), 2u) << "said again";
    r.loop.advance(210 * kMinute);  // 17:00 UTC, 09:00 in Los Angeles
    r.engine->OnDialNext();
    r.loop.runPending();
    ASSERT_EQ(r.calls.dialed, (std::vector<std::string>{"+13105550123"}));
    EXPECT_EQ(r.engine->currentRow(), la);
}

TEST(DialHours, RetriesWaitTheirSpacingAndADueOneGoesBeforeOneThatIsNot) {
    AnsweringPrompts prompts;
    DialRig r(prompts);
    r.settings.redial = 2;
    r.settings.redialdelay = 5;
    r.loop.setWallTime(Utc(2026, 1, 15, 10, 0));
    const auto a = r.Add("212 555 0101");
    const auto b = r.Add("212 555 0102");
    r.engine->OnAutoButton();
    r.End(kBusy);  // a ends 10:00
    r.loop.runPending();
    ASSERT_EQ(r.engine->currentRow(), b);
    r.loop.advance(2 * kMinute);
    r.End(kBusy);  // b ends 10:02
    r.loop.runPending();
    EXPECT_TRUE(r.engine->redialPhase());
    EXPECT_EQ(r.Dialed(), 2u);
    EXPECT_EQ(r.view.progress.waiting, "Waiting to redial: next call at 10:05");

    r.loop.advance(3 * kMinute - 1);
    EXPECT_EQ(r.Dialed(), 2u) << "five minutes less a millisecond";
    r.loop.advance(1);
    ASSERT_EQ(r.Dialed(), 3u);
    EXPECT_EQ(r.engine->currentRow(), a);
    r.End(kBusy);  // a's next retry is due at 10:10, b's first at 10:07
    r.loop.runPending();
    r.loop.advance(2 * kMinute);
    ASSERT_EQ(r.Dialed(), 4u);
    EXPECT_EQ(r.engine->currentRow(), b) << "the due entry goes before the one that is not";
    r.End(kFinished);
    r.loop.runPending();
    EXPECT_FALSE(r.engine->retries().Contains(b));
    r.loop.advance(3 * kMinute - 1);
    EXPECT_EQ(r.Dialed(), 4u);
    r.loop.advance(1);
    ASSERT_EQ(r.Dialed(), 5u);
    EXPECT_EQ(r.engine->currentRow(), a);
    EXPECT_EQ(r.engine->redialAttempts(), 2) << "its count survived b's turn";
    r.End(kBusy);
    r.loop.runPending();
    EXPECT_FALSE(r.engine->retries().Contains(a)) << "two retries: done";
    EXPECT_EQ(r.engine->mode(), Idle);
    EXPECT_EQ(r.calls.dialed, (std::vector<std::string>{"+12125550101", "+12125550102", "+12125550101",
                                                        "+12125550102", "+12125550101"}));
}

}  // namespace
}  // namespace zorvan

namespace zorvan {
namespace {

TEST(DialHours, ANumberWhoseZonesHoursNeverMeetIsLeftAndTheLoopEndsWithoutAsking) {
    test::AnsweringPrompts prompts;
    test::DialRig r(prompts);
    r.settings.callhours = true;
    r.settings.callfrom = "09:00";
    r.settings.callto = "10:00";
    r.loop.setWallTime(Utc(2026, 1, 15, 13, 30));
    // A mobile number: every zone of the country, from Christmas Island
    // (UTC+7) to Lord Howe (UTC+11): no hour is inside all of them.
    const auto mobile = r.Add("+61 412 345 678");
    r.engine->OnAutoButton();
    EXPECT_TRUE(r.calls.dialed.empty());
    EXPECT_EQ(r.engine->mode(), Idle);
    EXPECT_TRUE(prompts.texts.empty()) << "not the all-dialed question";
    EXPECT_EQ(r.view.written[mobile].cstatus, "") << "still dialable";
}

}  // namespace
}  // namespace zorvan
