// The call path against the client as it really behaved: refusals of CALL,
// repeated statuses, calls on the account that are not the dialer's, audio
// in frames of any size, a sign-out and back, the first protocol's words.
// Each test runs the call harness against the stand-in on a private bus.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/audio_fixtures.h"
#include "support/call_harness.h"
#include "support/qt_wait.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using Lines = std::vector<std::string>;

// The dialer answered every text the stand-in sent within a second.
void ExpectNoSlowReply(const test::StandIn& sim) {
    EXPECT_EQ(test::ReadFile(sim.log()).find("slow reply"), std::string::npos) << test::ReadFile(sim.log());
}

std::size_t CountIn(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(CallFaults, ACallTheClientRefusesEndsOnceAsFailedWhateverTheError) {
    test::StandIn sim(
        "number +15550201 reject 96\n"
        "number +15550202 reject-bare 99\n"
        "number +15550203 reject 101\n"
        "number +15550204 reject-bare 92\n");
    for (const char* number : {"+15550201", "+15550202", "+15550203"}) {
        SCOPED_TRACE(number);
        const auto run = test::RunHarness({"--number", number, "--linger", "1"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.Count("ENDED"), 1u);
        EXPECT_EQ(run.Events().back(), "ENDED 4") << "a failed call, so the loop can go on";
    }
    // An invalid number without a text is still the invalid-number event.
    const auto bare = test::RunHarness({"--number", "+15550204"});
    EXPECT_EQ(bare.exitCode, 3);
    EXPECT_EQ(bare.Events().back(), "INVALID_NUMBER");
    EXPECT_EQ(bare.Count("ENDED"), 0u);
    ExpectNoSlowReply(sim);
}

TEST(CallFaults, RepeatedStatusesEndAnAnsweredCallExactlyOnce) {
    test::StandIn sim(
        "repeat-status all\n"
        "call-ids sparse\n"
        "number +15550301 ring 0.3 answer hangup-after 1\n"
        "number +15550302 ring 0.3 busy\n");
    const auto answered = test::RunHarness({"--number", "+15550301", "--linger", "1.5"});
    EXPECT_EQ(answered.Count("ENDED"), 1u);
    EXPECT_EQ(answered.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "ENDED 8"}));
    const auto busy = test::RunHarness({"--number", "+15550302", "--linger", "1.5"});
    EXPECT_EQ(busy.Count("ENDED"), 1u);
    EXPECT_EQ(busy.Events().back(), "ENDED 11");
    // Early statuses twice only: the same.
    ExpectNoSlowReply(sim);
}

TEST(CallFaults, AnIncomingCallMissedWhileOurCallRingsLeavesOurCallAlone) {
    test::StandIn sim(
        "number +15550401 ring 4 answer hangup-after 1\n"
        "at 1.2 incoming +15559999 pstn ring 0.5 missed\n"
        "at 2.5 incoming someone.else ring 0.3 refused\n");
    const auto run = test::RunHarness({"--number", "+15550401", "--linger", "1"});
    EXPECT_EQ(run.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "ENDED 8"}));
    const std::string log = test::ReadFile(sim.log());
    EXPECT_NE(log.find("-> CALL 1002 STATUS MISSED"), std::string::npos) << "the incoming call happened";
    EXPECT_EQ(log.find("<- alter call 1002"), std::string::npos) << "the dialer left it alone";
    EXPECT_EQ(log.find("<- alter call 1001 hangup"), std::string::npos) << "our call ended by the callee";
    ExpectNoSlowReply(sim);
}

// A person says a word and waits; a machine talks on.
struct Voices {
    explicit Voices(const test::TempDir& dir) {
        EXPECT_TRUE(test::Run("espeak-ng -w '" + (dir / "person.wav") + "' 'Hello?'"));
        EXPECT_TRUE(test::Run("espeak-ng -w '" + (dir / "machine.wav") +
                              "' 'Hi, you have reached the Miller family. We cannot take your call right now. "
                              "Please leave your name, your number and a short message after the tone, and we "
                              "will call you back as soon as we can.'"));
    }
};

TEST(CallFaults, TheVerdictIsTheSameWhateverSizeTheClientsWritesAre) {
    for (const char* framing : {"", "frame-bytes 640\n", "write-split random\n", "frame-bytes 640\nwrite-split random\n"}) {
        SCOPED_TRACE(framing);
        test::StandIn sim(std::string(framing) +
                          "number +15550501 ring 0.3 answer voice person.wav\n"
                          "number +15550502 ring 0.3 answer voice machine.wav\n");
        const Voices voices(sim.dir());
        const auto person = test::RunHarness({"--number", "+15550501", "--detect"});
        EXPECT_EQ(person.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "AMD human", "ENDED 8"}));
        const auto machine = test::RunHarness({"--number", "+15550502", "--detect"});
        EXPECT_EQ(machine.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "AMD machine", "ENDED 8"}));
        ExpectNoSlowReply(sim);
    }
}

// The second detection mode over the whole call path: the person, the
// machine that talks on, and a short greeting whose beep gives it away.
TEST(CallFaults, TheSecondModeJudgesOverTheRealAudioPath) {
    test::StandIn sim(
        "frame-bytes 640\nwrite-split random\n"
        "number +15550511 ring 0.3 answer voice person.wav\n"
        "number +15550512 ring 0.3 answer voice machine.wav\n"
        "number +15550513 ring 0.3 answer voice short.wav\n");
    const Voices voices(sim.dir());
    ASSERT_TRUE(test::Run("espeak-ng -w '" + (sim.dir() / "kim.wav") + "' 'Kim here. Leave it after the beep.' && " +
                          "sox -q -n -r 22050 -c 1 -b 16 '" + (sim.dir() / "beep.wav") + "' synth 0.6 sine 1100 vol 0.3 && " +
                          "sox -q '" + (sim.dir() / "kim.wav") + "' '" + (sim.dir() / "beep.wav") + "' '" +
                          (sim.dir() / "short.wav") + "' pad 0.3 3"));
    const auto person = test::RunHarness({"--number", "+15550511", "--detect", "--amd-mode", "1"});
    EXPECT_EQ(person.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "AMD human", "ENDED 8"}));
    const auto machine = test::RunHarness({"--number", "+15550512", "--detect", "--amd-mode", "1"});
    EXPECT_EQ(machine.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "AMD machine", "ENDED 8"}));
    const auto beep = test::RunHarness({"--number", "+15550513", "--detect", "--amd-mode", "1"});
    EXPECT_EQ(beep.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "AMD machine", "ENDED 8"}));
    ExpectNoSlowReply(sim);
}

TEST(CallFaults, AfterASignOutAndBackTheLinkReopensAndTheNextCallGoesOut) {
    test::StandIn sim(
        "number +15550601 ring 0.3 answer hangup-after 0.5\n"
        "at 2.5 logout\n"
        "at 3.5 login\n");
    // The second call is asked for at about 4.5 s, after the login.
    const auto run = test::RunHarness({"--number", "+15550601", "--calls", "2", "--pause", "3"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Count("ENDED 8"), 2u);
    EXPECT_GE(run.Count("ATTACHED"), 2u) << "attached again after the login";
    const std::string log = test::ReadFile(sim.log());
    EXPECT_EQ(CountIn(log, "<- CALL +15550601"), 2u);
    const auto login = log.find("-- ApiAvailable");
    ASSERT_NE(login, std::string::npos);
    EXPECT_NE(log.find("<- CALL +15550601", login), std::string::npos) << "the second CALL after the login";
    ExpectNoSlowReply(sim);
}

TEST(CallFaults, AClientThatSignsOutDuringTheCallEndsTheAttempt) {
    test::StandIn sim(
        "number +15550701 ring 0.3 answer\n"
        "at 1.5 logout\n");
    const auto run = test::RunHarness({"--number", "+15550701", "--linger", "1"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.Count("ENDED"), 1u);
    EXPECT_EQ(run.Events().back(), "ENDED 4");
}

TEST(CallFaults, ANetworkLossDuringTheCallEndsItOnceAsFailed) {
    test::StandIn sim("number +15550901 ring 0.3 answer net-loss-at 1\n");
    const auto run = test::RunHarness({"--number", "+15550901", "--linger", "1"});
    EXPECT_EQ(run.Events(), (Lines{"ATTACHED", "DIALING", "CONNECTED", "ENDED 4"}));
    EXPECT_NE(test::ReadFile(sim.log()).find("-> CALL 1001 FAILUREREASON 2"), std::string::npos);
    ExpectNoSlowReply(sim);
}

TEST(CallFaults, TheFirstProtocolsWordsGiveTheSameEvents) {
    test::StandIn sim(
        "protocol 1\n"
        "number +15550801 ring 0.3 answer hangup-after 3\n"
        "number +15550802 noanswer\n");
    const auto held = test::RunHarness({"--number", "+15550801", "--hold", "0.5"});
    // Answer, hold (ONHOLD), resume: each an update of an answered call.
    EXPECT_EQ(held.Count("CONNECTED"), 3u);
    EXPECT_EQ(held.Events().back(), "ENDED 8");
    const std::string log = test::ReadFile(sim.log());
    EXPECT_NE(log.find("-> CALL 1001 STATUS ONHOLD"), std::string::npos);
    EXPECT_NE(log.find("<- ALTER CALL 1001 RESUME"), std::string::npos);
    // Hung up before the answer, the client says FINISHED: still a
    // cancelled call, not a failed one.
    const auto unanswered = test::RunHarness({"--number", "+15550802", "--wait-for-answer", "1"});
    EXPECT_EQ(unanswered.Events().back(), "ENDED 12");
    EXPECT_NE(test::ReadFile(sim.log()).find("-> CALL 1002 STATUS FINISHED"), std::string::npos);
    ExpectNoSlowReply(sim);
}

}  // namespace
}  // namespace zorvan
