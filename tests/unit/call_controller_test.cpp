// The call controller in virtual time, between a fake Skype client and the
// main window's messages.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "audio/greeting/greeting_player.h"
#include "audio/input_port_sink.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "skype/attach_status.h"
#include "skype/audio_routing.h"
#include "skype/call_controller.h"
#include "skype/skype_connector.h"
#include "support/audio_fixtures.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using Texts = std::vector<std::string>;

struct NoPort final : InputPortControl {
    bool HasSockets() override { return true; }
    void CloseClients() override {}
    bool Open() override { return true; }
};

struct CountingSink final : audio::InputPortSink {
    std::mutex mutex;
    std::size_t bytes = 0;
    bool SendToInputPort(const std::uint8_t*, std::size_t length) override {
        std::lock_guard lock(mutex);
        bytes += length;
        return true;
    }
};

// The main window: keeps what it is told and can act while it is told.
struct MainWindow final : EventHandler {
    std::vector<Event> events;
    std::function<void(const Event&)> onEvent;
    void OnEvent(const Event& e) override {
        events.push_back(e);
        if (onEvent) onEvent(e);
    }
    std::vector<std::uint32_t> Take() {
        std::vector<std::uint32_t> ids;
        for (const Event& e : events) ids.push_back(e.id);
        events.clear();
        return ids;
    }
};

struct Controller {
    test::TempDir dir;
    VirtualEventLoop loop;
    test::FakeSkypeTransport transport{loop};
    MainWindow main;
    ScopedTarget mainTarget{loop, main};
    SkypeConnector connector{loop, transport};
    NoPort port;
    CallAudioRouter router{loop, connector, &port};
    CountingSink sink;
    test::FakePrompts prompts;
    int waitForAnswer = 45;
    std::function<bool()> inputReady;  // whether the client is on the greeting port; unset: at once
    CallController controller{{loop, connector, router, sink, prompts, [this] { return waitForAnswer; },
                               [this] { return !inputReady || inputReady(); }},
                              mainTarget.id()};

    explicit Controller(bool attach = true) {
        connector.SetAudioRouting(&router);
        if (attach) {
            connector.OnAttachResponse("skype", AttachSuccess);
            loop.advance(400);
        }
        transport.TakeTexts();
        main.Take();
    }
    ~Controller() { controller.Shutdown(); }
    // A notification from the client, and whatever follows from it now.
    void Client(const std::string& text) {
        connector.OnCopyData("skype", text);
        loop.runPending();
    }
    // Time passes on a live link: the client answers every keep-alive PING.
    void Pass(std::int64_t ms) {
        for (std::int64_t done = 0; done < ms;) {
            const std::int64_t step = std::min<std::int64_t>(1000, ms - done);
            loop.advance(step);
            done += step;
            for (const auto& sent : transport.sent()) {
                if (sent.text == "PING" && sent.at > lastPing) {
                    lastPing = sent.at;
                    connector.OnCopyData("skype", "PONG");
                }
            }
        }
    }
    std::int64_t lastPing = -1;
    // The commands sent since the last look (after the sender has had time).
    Texts Sent() {
        loop.advance(500);
        return transport.TakeTexts();
    }
    // A call placed and answered, with what that sent and posted taken.
    void Answered(const std::string& id) {
        controller.Dial("5550100");
        Client("CALL " + id + " STATUS ROUTING");
        Client("CALL " + id + " STATUS INPROGRESS");
        Sent();
        main.Take();
    }
    static bool Has(const Texts& texts, const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
};

using um::UM_CALL_CONNECTED;
using um::UM_CALL_DIALING;
using um::UM_CALL_ENDED;

TEST(CallController, TheTypicalCallMessageByMessage) {
    Controller c;
    ASSERT_TRUE(c.controller.Dial("+1 (555) 0100"));
    EXPECT_EQ(c.controller.state(), StateDialing);
    EXPECT_TRUE(c.main.Take().empty()) << "nothing is posted before the first status";
    EXPECT_TRUE(Controller::Has(c.Sent(), "CALL +15550100"));

    c.Client("CALL 1234 STATUS UNPLACED");
    EXPECT_TRUE(c.main.Take().empty()) << "a call without a slot is ignored";
    c.Client("CALL 1234 STATUS ROUTING");
    EXPECT_EQ(c.main.Take(), std::vector<std::uint32_t>{UM_CALL_DIALING});
    c.Client("CALL 1234 PARTNER_HANDLE +15550100");
    EXPECT_TRUE(c.main.Take().empty()) << "a partner-handle update never reaches the main window";
    c.Client("CALL 1234 STATUS RINGING");
    EXPECT_EQ(c.main.Take(), std::vector<std::uint32_t>{UM_CALL_DIALING});
    c.Client("CALL 1234 STATUS INPROGRESS");
    EXPECT_EQ(c.main.Take(), std::vector<std::uint32_t>{UM_CALL_CONNECTED});
    EXPECT_EQ(c.controller.state(), StateConnected);
    EXPECT_FALSE(c.loop.hasTimer(c.controller.target(), CallController::kWaitForAnswerTimer)) << "the answer stops the wait";
    c.Client("CALL 1234 DURATION 1");
    EXPECT_TRUE(c.main.Take().empty());
    c.Client("CALL 1234 STATUS ONHOLD");
    EXPECT_EQ(c.main.Take(), std::vector<std::uint32_t>{UM_CALL_CONNECTED}) << "every update of an answered call";
    c.Client("CALL 1234 STATUS INPROGRESS");
    c.main.Take();
    c.Client("CALL 1234 STATUS FINISHED");
    ASSERT_EQ(c.main.events.size(), 1u);
    EXPECT_EQ(c.main.events[0].id, UM_CALL_ENDED);
    EXPECT_EQ(c.main.events[0].wParam, 8u) << "finished after an answer";
    EXPECT_EQ(c.controller.state(), StateIdle);
    EXPECT_EQ(c.connector.callTable().CurrentCallId(), "");
}

TEST(CallController, ASecondCallEndingWhileTheFirstIsAnsweredPostsNothing) {
    Controller c;
    c.controller.Dial("1234");
    c.Client("CALL 1 STATUS ROUTING");
    c.Client("CALL 1 STATUS INPROGRESS");
    c.Client("CALL 2 STATUS ROUTING");
    c.main.Take();
    c.Client("CALL 2 STATUS REFUSED");
    EXPECT_TRUE(c.main.Take().empty());
    EXPECT_EQ(c.controller.state(), StateConnected) << "not reset";
    EXPECT_EQ(c.connector.callTable().CurrentCallId(), "1");
}

TEST(CallController, RingingRestartsTheWaitAndTheExpiryHangsUpWithoutAMessage) {
    Controller c;
    c.controller.Dial("5550100");
    c.Client("CALL 77 STATUS ROUTING");
    c.Pass(30000);
    c.Client("CALL 77 STATUS RINGING");
    c.transport.TakeTexts();
    c.Pass(44999);
    EXPECT_FALSE(Controller::Has(c.transport.TakeTexts(), "alter call 77 hangup")) << "not 45 s after Dial";
    EXPECT_EQ(c.controller.state(), StateDialing);
    c.Pass(1);
    EXPECT_TRUE(Controller::Has(c.Sent(), "alter call 77 hangup")) << "45 s after the RINGING";
    EXPECT_EQ(c.controller.state(), StateIdle);
    EXPECT_EQ(c.main.Take(), (std::vector<std::uint32_t>{UM_CALL_DIALING, UM_CALL_DIALING}))
        << "the expiry posts nothing";
    c.Client("CALL 77 STATUS CANCELLED");
    ASSERT_EQ(c.main.events.size(), 1u);
    EXPECT_EQ(c.main.events[0].id, UM_CALL_ENDED);
    EXPECT_EQ(c.main.events[0].wParam, 12u);
}

TEST(CallController, AHangUpTheClientNeverAnswersStillEndsTheAttemptOnce) {
    Controller c;
    c.controller.Dial("5550100");
    c.Client("CALL 78 STATUS ROUTING");
    c.Client("CALL 78 STATUS RINGING");
    c.Pass(45000);
    EXPECT_TRUE(Controller::Has(c.Sent(), "alter call 78 hangup"));
    c.main.Take();
    // The client goes silent: no status for the hung-up call.
    c.Client("CALL 78 STATUS RINGING");  // a late repeat does not restart the wait
    c.main.Take();
    c.Pass(CallController::kHangUpGraceMs - 600);
    EXPECT_TRUE(c.main.Take().empty());
    c.Pass(100);
    ASSERT_EQ(c.main.events.size(), 1u);
    EXPECT_EQ(c.main.events[0].id, UM_CALL_ENDED);
    EXPECT_EQ(c.main.events[0].wParam, 12u) << "our hang-up of an unanswered call";
    c.main.Take();
    c.Client("CALL 78 STATUS CANCELLED");
    c.Pass(60000);
    EXPECT_TRUE(c.main.Take().empty()) << "once";
}

TEST(CallController, FinishedWithoutAnAnswerEndsWithFour) {
    Controller c;
    c.controller.Dial("5550100");
    c.Client("CALL 5 STATUS ROUTING");
    c.Client("CALL 5 STATUS RINGING");
    c.main.Take();
    c.Client("CALL 5 STATUS FINISHED");
    ASSERT_EQ(c.main.events.size(), 1u);
    EXPECT_EQ(c.main.events[0].wParam, 4u);
}

TEST(CallController, ADialOnAClosedLinkEndsAsAFailedCallWhenTheWaitRunsOut) {
    Controller c(false);
    EXPECT_FALSE(c.controller.Dial("5550100"));
    EXPECT_TRUE(c.loop.hasTimer(c.controller.target(), CallController::kWaitForAnswerTimer));
    c.loop.advance(44999);
    EXPECT_TRUE(c.main.Take().empty());
    c.loop.advance(1);
    EXPECT_EQ(c.controller.state(), StateIdle);
    ASSERT_EQ(c.main.events.size(), 1u) << "the attempt ends, once";
    EXPECT_EQ(c.main.events[0].id, UM_CALL_ENDED);
    EXPECT_EQ(c.main.events[0].wParam, static_cast<std::uintptr_t>(SkypeFailed));
    c.loop.advance(100000);
    EXPECT_EQ(c.main.events.size(), 1u);
}

TEST(CallController, EveryAttemptEndsOnceWhateverTheClientRepeatsOrRefuses) {
    Controller c;
    // Every status twice, the terminal one included.
    c.controller.Dial("5550100");
    for (const char* status : {"ROUTING", "ROUTING", "RINGING", "RINGING", "INPROGRESS", "INPROGRESS", "FINISHED",
                               "FINISHED"}) {
        c.Client(std::string("CALL 61 STATUS ") + status);
    }
    c.loop.advance(60000);
    std::vector<std::uintptr_t> ends;
    for (const Event& e : c.main.events) {
        if (e.id == UM_CALL_ENDED) ends.push_back(e.wParam);
    }
    EXPECT_EQ(ends, (std::vector<std::uintptr_t>{8}));
    c.main.Take();
    // A refusal of the CALL, with or without a text: one failed end, and
    // the wait-for-answer timer adds none.
    for (const char* error : {"ERROR 96 CALL: an outgoing call exists in ROUTING/RINGING/EARLYMEDIA state",
                              "ERROR 101"}) {
        c.controller.Dial("5550100");
        c.Client(error);
        c.loop.advance(60000);
        ASSERT_EQ(c.main.events.size(), 1u) << error;
        EXPECT_EQ(c.main.events[0].id, UM_CALL_ENDED);
        EXPECT_EQ(c.main.events[0].wParam, static_cast<std::uintptr_t>(SkypeFailed));
        c.main.Take();
    }
}

TEST(CallController, CallsTheDialerDidNotPlaceAreLeftAlone) {
    Controller c;
    // Somebody calls in; then the dialer dials, and the incoming call rings on.
    c.Client("CALL 70 STATUS RINGING");
    c.Client("CALL 70 TYPE INCOMING_PSTN");
    c.Sent();
    c.controller.Dial("5550100");
    EXPECT_FALSE(Controller::Has(c.Sent(), "alter call 70 hangup")) << "not the dialer's to hang up";
    c.Client("CALL 71 STATUS ROUTING");
    c.Client("CALL 71 STATUS RINGING");
    const std::int64_t ringingAt = c.loop.now();
    c.Pass(30000);
    c.main.Take();
    // The incoming call is missed, another answered elsewhere ends: nothing
    // of it reaches the main window, and our wait goes on from our RINGING.
    c.Client("CALL 70 STATUS MISSED");
    c.Client("CALL 72 STATUS RINGING");
    c.Client("CALL 72 TYPE INCOMING_P2P");
    c.Client("CALL 72 STATUS INPROGRESS");
    c.Client("CALL 72 STATUS FINISHED");
    EXPECT_TRUE(c.main.Take().empty());
    EXPECT_EQ(c.controller.ownCallId(), "71");
    c.Pass(20000);
    std::int64_t hungUpAt = -1;
    for (const auto& sent : c.transport.sent()) {
        EXPECT_NE(sent.text, "alter call 72 hangup");
        EXPECT_NE(sent.text, "alter call 70 hangup");
        if (sent.text == "alter call 71 hangup") hungUpAt = sent.at;
    }
    ASSERT_GE(hungUpAt, 0);
    // The command goes out at the sender's next turn after the expiry.
    EXPECT_GE(hungUpAt, ringingAt + 45000) << "45 s after our own RINGING, not restarted by the others";
    EXPECT_LT(hungUpAt, ringingAt + 45000 + 400);
    c.Client("CALL 71 STATUS CANCELLED");
    EXPECT_EQ(c.main.Take(), std::vector<std::uint32_t>{UM_CALL_ENDED});
}

TEST(CallController, ConnectionMessagesAreRelayedAndOthersAreNot) {
    Controller c;
    const auto relay = [&](std::uint32_t id, std::uintptr_t w, std::intptr_t l) {
        c.loop.post(c.controller.target(), Event{id, w, l});
        c.loop.runPending();
    };
    relay(um::UM_SKYPE_USER_STATUS, 3, 7);
    relay(um::UM_GREETING_PROGRESS, 42, 0);
    relay(um::UM_SKYPE_REFUSED, 5, 5);
    relay(um::UM_CALL_INVALID_NUMBER, 9, 9);
    relay(um::UM_CALL_DTMF, 1, 1);
    relay(um::UM_SKYPE_VERSION, 1, 1);
    relay(um::UM_CALL_UPDATE, 0, 1);
    relay(um::UM_CALL_UPDATE, static_cast<std::uintptr_t>(-1), 2);
    ASSERT_EQ(c.main.events.size(), 4u);
    EXPECT_EQ(c.main.events[0].wParam, 3u);
    EXPECT_EQ(c.main.events[0].lParam, 7);
    EXPECT_EQ(c.main.events[1].id, um::UM_GREETING_PROGRESS);
    EXPECT_EQ(c.main.events[1].wParam, 42u);
    EXPECT_EQ(c.main.events[2].id, um::UM_SKYPE_REFUSED);
    EXPECT_EQ(c.main.events[2].wParam, 0u) << "relayed with 0, 0";
    EXPECT_EQ(c.main.events[3].id, um::UM_CALL_INVALID_NUMBER);
}

TEST(CallController, HoldAndResumeNeedAnAnsweredCall) {
    Controller c;
    c.controller.HoldOrResume(true);
    EXPECT_TRUE(c.Sent().empty());
    c.Answered("9");
    c.controller.HoldOrResume(true);
    EXPECT_TRUE(Controller::Has(c.Sent(), "ALTER CALL 9 HOLD"));
    c.controller.HoldOrResume(false);
    EXPECT_TRUE(Controller::Has(c.Sent(), "ALTER CALL 9 RESUME"));
}

TEST(CallController, AGreetingIsRoutedPlayedRestoredAndTheCallHungUpAfterIt) {
    Controller c;
    test::WriteWav(c.dir / "greeting.wav", test::Tone(16000, 1, 0.5), 16000, 1);
    EXPECT_FALSE(c.controller.PlayGreeting(c.dir / "greeting.wav", true)) << "no answered call";
    c.Answered("31");

    // A second request while the first is being started is refused.
    int secondResult = -1;
    c.main.onEvent = [&](const Event& e) {
        if (e.id == um::UM_OPTIONS_CHANGED) secondResult = c.controller.PlayGreeting(c.dir / "greeting.wav", false);
    };
    c.loop.post(c.mainTarget.id(), Event{um::UM_OPTIONS_CHANGED, 0, 0});
    const std::int64_t before = c.loop.now();
    ASSERT_TRUE(c.controller.PlayGreeting(c.dir / "greeting.wav", true));
    EXPECT_EQ(c.loop.now() - before, 600) << "300 ms, the routing (with its 100 ms), 200 ms";
    EXPECT_EQ(secondResult, 0);
    EXPECT_EQ(c.controller.state(), StateGreeting);
    EXPECT_TRUE(c.controller.hangUpAfterGreeting());
    c.loop.runPending();
    std::vector<std::uint32_t> ids = c.main.Take();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), um::UM_GREETING_STARTED), 1);
    EXPECT_FALSE(c.controller.PlayGreeting(c.dir / "greeting.wav", false)) << "the player is busy";

    // The player ends: the input goes back, the main window hears of it,
    // and every live call is hung up.
    c.loop.settle();
    c.loop.advance(500);
    c.loop.settle();
    c.loop.runPending();
    ids = c.main.Take();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), um::UM_GREETING_FINISHED), 1);
    const Texts after = c.Sent();
    const auto routed = std::find(after.begin(), after.end(), CallAudioRouter::InputFromPort("31", "56127"));
    ASSERT_NE(routed, after.end());
    const auto restore = std::find(after.begin(), after.end(), CallAudioRouter::InputToSoundCard("31"));
    const auto hangup = std::find(after.begin(), after.end(), "alter call 31 hangup");
    ASSERT_NE(restore, after.end());
    ASSERT_NE(hangup, after.end());
    EXPECT_LT(routed, restore);
    EXPECT_LT(restore, hangup) << "the input is restored before the hang-up";
    EXPECT_EQ(c.controller.state(), StateIdle);
    EXPECT_FALSE(c.controller.hangUpAfterGreeting());
    {
        std::lock_guard lock(c.sink.mutex);
        EXPECT_EQ(c.sink.bytes, 16000u) << "the whole half second went out";
    }
}

TEST(CallController, AGreetingWaitsForTheClientOnTheGreetingPortWithinTwoSeconds) {
    Controller c;
    test::WriteWav(c.dir / "greeting.wav", test::Tone(16000, 1, 0.3), 16000, 1);
    c.Answered("4");
    // The client connects 700 ms after the routing has gone out.
    std::int64_t routedAt = -1;
    c.inputReady = [&] {
        if (routedAt < 0) {
            for (const auto& sent : c.transport.sent()) {
                if (sent.text == CallAudioRouter::InputFromPort("4", "56127")) routedAt = sent.at;
            }
        }
        return routedAt >= 0 && c.loop.now() >= routedAt + 700;
    };
    ASSERT_TRUE(c.controller.PlayGreeting(c.dir / "greeting.wav", false));
    ASSERT_GE(routedAt, 0);
    EXPECT_GE(c.loop.now(), routedAt + 700 + 200) << "the player starts once the client is there";
    EXPECT_LT(c.loop.now(), routedAt + 700 + 200 + 20);
    c.loop.settle();
    c.loop.advance(1000);
    c.loop.settle();
    c.loop.runPending();
    c.main.Take();
    c.Sent();

    // A client that never comes: the greeting starts after the bound anyway.
    c.inputReady = [] { return false; };
    const std::int64_t second = c.loop.now();
    ASSERT_TRUE(c.controller.PlayGreeting(c.dir / "greeting.wav", false));
    EXPECT_EQ(c.loop.now() - second, 300 + 100 + 2000 + 200);
    // However far the player has got, stopping it does not wait on time.
    EXPECT_TRUE(c.controller.StopGreeting());
}

TEST(CallController, StoppingAGreetingRestoresTheInputAndKeepsTheCall) {
    Controller c;
    test::WriteWav(c.dir / "long.wav", test::Tone(16000, 1, 3.0), 16000, 1);
    c.Answered("8");
    ASSERT_TRUE(c.controller.PlayGreeting(c.dir / "long.wav", false));
    c.loop.settle();
    c.Sent();
    c.main.Take();
    const std::int64_t before = c.loop.now();
    EXPECT_TRUE(c.controller.StopGreeting());
    EXPECT_EQ(c.loop.now() - before, 300) << "only the routing's own pauses, none of the player's";
    EXPECT_EQ(c.controller.state(), StateGreetingDone);
    const Texts sent = c.Sent();
    EXPECT_TRUE(Controller::Has(sent, CallAudioRouter::InputToSoundCard("8")));
    EXPECT_FALSE(Controller::Has(sent, "alter call 8 hangup"));
    c.loop.advance(2000);
    EXPECT_TRUE(c.main.Take().empty()) << "a stopped greeting reports no end";
}

TEST(CallController, AGreetingStoppedTheMomentItStartsSendsNothingMore) {
    Controller c;
    test::WriteWav(c.dir / "long.wav", test::Tone(16000, 1, 3.0), 16000, 1);
    c.Answered("9");
    ASSERT_TRUE(c.controller.PlayGreeting(c.dir / "long.wav", false));
    EXPECT_TRUE(c.controller.StopGreeting());
    const std::size_t atStop = [&] {
        std::lock_guard lock(c.sink.mutex);
        return c.sink.bytes;
    }();
    EXPECT_LE(atStop, 102u * 320u) << "at most the first burst";
    c.loop.advance(5000);
    std::lock_guard lock(c.sink.mutex);
    EXPECT_EQ(c.sink.bytes, atStop);
}

TEST(CallController, AGreetingThePlayerCannotPlayChangesNothing) {
    Controller c;
    c.Answered("12");
    test::WriteFile(c.dir / "notes.txt", "not audio");
    for (const std::string& path : {std::string(), c.dir / "notes.txt", c.dir / "missing.mp3"}) {
        SCOPED_TRACE(path);
        const std::int64_t before = c.loop.now();
        EXPECT_FALSE(c.controller.PlayGreeting(path, true));
        EXPECT_EQ(c.loop.now(), before) << "no pauses, nothing routed";
        EXPECT_EQ(c.controller.state(), StateConnected);
        EXPECT_FALSE(c.controller.hangUpAfterGreeting());
        EXPECT_TRUE(c.Sent().empty());
        EXPECT_TRUE(c.main.Take().empty());
    }
    ASSERT_EQ(c.prompts.asked.size(), 3u) << "each refusal is explained";
    EXPECT_EQ(c.prompts.asked[0].text, "The greeting '' cannot be played.\nNo greeting file is chosen.");
    EXPECT_NE(c.prompts.asked[1].text.find("not a WAV file"), std::string::npos);
    // Nothing sticks: a playable greeting still plays.
    test::WriteWav(c.dir / "ok.wav", test::Tone(16000, 1, 0.3), 16000, 1);
    ASSERT_TRUE(c.controller.PlayGreeting(c.dir / "ok.wav", false));
    c.loop.runPending();
    const auto posted = c.main.Take();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.front(), um::UM_GREETING_STARTED);
    EXPECT_TRUE(Controller::Has(c.Sent(), CallAudioRouter::InputFromPort("12", "56127")));
}

}  // namespace
}  // namespace zorvan
