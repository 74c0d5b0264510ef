// The whole call path outside the unit tests: the call harness places calls
// with the call controller through the real stand-in on a private session
// bus, over the real audio ports.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/audio_fixtures.h"
#include "support/call_harness.h"
#include "support/qt_wait.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using test::WaitUntil;

struct CallPath {
    // What the callee heard goes to the stand-in's folder.
    test::StandIn sim{
        "attach immediate\n"
        "number +15550001 ring 0.3 answer\n"
        "number +15550002 ring 0.3 busy\n"
        "number +15550003 noanswer\n"
        "number +15550004 reject 92\n"};
    const test::TempDir& dir = sim.dir();

    // Runs the harness; returns its event lines, each line once in a row.
    std::vector<std::string> Call(const QStringList& arguments, int* exitCode = nullptr) {
        const test::HarnessRun run = test::RunHarness(arguments);
        if (exitCode != nullptr) *exitCode = run.exitCode;
        return run.Events();
    }
};

std::vector<std::int16_t> WavSamples(const std::string& path) { return test::ReadWav(path); }

TEST(CallPath, APersonAnswersHearsTheGreetingAndTheCallEndsAfterIt) {
    CallPath path;
    // The speech tool's own output, at its 22 050 Hz; sox makes the 16 kHz
    // reference of what the callee should hear.
    const std::string greeting = path.dir / "greeting.wav";
    const std::string reference = path.dir / "reference.wav";
    ASSERT_TRUE(test::Run("espeak-ng -w '" + greeting +
                          "' 'Good morning. This is a message from the dialer, played into the call.' && sox -q '" +
                          greeting + "' -r 16000 -c 1 -b 16 '" + reference + "'"));
    int rate = 0;
    ASSERT_FALSE(test::ReadWav(greeting, &rate).empty());
    ASSERT_EQ(rate, 22050);
    int exitCode = -1;
    const auto events = path.Call({"--number", "+15550001", "--greeting", QString::fromStdString(greeting)}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"ATTACHED", "DIALING", "CONNECTED", "GREETING_STARTED",
                                                "GREETING_FINISHED", "ENDED 8"}));
    const auto sent = WavSamples(reference);
    const auto heard = WavSamples(path.dir / "heard-1001.wav");
    ASSERT_FALSE(sent.empty());
    ASSERT_GE(heard.size(), sent.size() * 9 / 10) << "the callee heard the greeting, not a part of it";
    EXPECT_GE(test::PeakCorrelation(sent, heard, 1600), 0.9);
    // The routing: into the call from the greeting port, and back.
    const std::string log = test::ReadFile(path.sim.log());
    const auto routed = log.find("<- ALTER CALL 1001 SET_INPUT SOUNDCARD=\"default\" PORT=\"");
    const auto restored = log.find("<- ALTER CALL 1001 SET_INPUT SOUNDCARD=\"default\"\n", routed);
    const auto hangup = log.find("<- alter call 1001 hangup", restored);
    EXPECT_NE(routed, std::string::npos);
    EXPECT_NE(restored, std::string::npos);
    EXPECT_NE(hangup, std::string::npos);
}

TEST(CallPath, BusyUnansweredAndRejectedNumbersEndAsTheClientSays) {
    CallPath path;
    EXPECT_EQ(path.Call({"--number", "+15550002"}).back(), "ENDED 11");
    // Never answered: hung up when the wait runs out, ended as cancelled.
    const auto unanswered = path.Call({"--number", "+15550003", "--wait-for-answer", "2"});
    EXPECT_EQ(unanswered.back(), "ENDED 12");
    EXPECT_NE(test::ReadFile(path.sim.log()).find("<- alter call 1002 hangup"), std::string::npos);
    int exitCode = -1;
    EXPECT_EQ(path.Call({"--number", "+15550004"}, &exitCode).back(), "INVALID_NUMBER");
    EXPECT_EQ(exitCode, 3);
}

}  // namespace
}  // namespace zorvan
