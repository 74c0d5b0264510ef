#include <gtest/gtest.h>

#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "skype/attach_status.h"
#include "skype/skype_connector.h"
#include "support/fake_skype_transport.h"

namespace zorvan {
namespace {

using test::EventLog;
using test::FakeSkypeTransport;
using Texts = std::vector<std::string>;

const Texts kInitialCommands{"GET SKYPEVERSION", "GET CONNSTATUS", "GET USERSTATUS", "GET CURRENTUSERHANDLE"};

struct Link {
    VirtualEventLoop loop;
    FakeSkypeTransport transport{loop};
    EventLog notify;
    ScopedTarget target{loop, notify};
    SkypeConnector connector{loop, transport};

    Link() { AttachStatus() = AttachNotAvailable; }
    ~Link() { connector.Shutdown(); }

    void Attach() {
        ASSERT_TRUE(connector.Attach(target.id()));
        loop.runPending();
    }
    void Answer(std::uint32_t status, const std::string& peer = "skype") {
        connector.OnAttachResponse(peer, status);
        loop.runPending();
    }
    // Attached and open, the initial commands gone out, the logs emptied.
    void Open() {
        Attach();
        Answer(AttachSuccess);
        loop.advance(100);
        transport.TakeTexts();
        notify.Take();
    }
    bool Receive(const std::string& text, const std::string& peer = "skype") {
        const bool accepted = connector.OnCopyData(peer, text + '\0');
        loop.runPending();
        return accepted;
    }
    std::int64_t NowAfter(std::int64_t ms) {
        loop.advance(ms);
        return loop.now();
    }
};

TEST(SkypeConnector, AttachDiscoversOnceAndSuccessOpensTheLinkWithTheInitialCommands) {
    Link link;
    link.Attach();
    EXPECT_TRUE(link.connector.Attach(link.target.id())) << "a second Attach changes nothing";
    EXPECT_EQ(link.transport.discovers().size(), 1u);
    EXPECT_EQ(AttachStatus(), AttachNotAvailable);

    link.Answer(AttachSuccess);
    EXPECT_EQ(AttachStatus(), AttachSuccess);
    EXPECT_EQ(link.notify.ids(), (std::vector<std::uint32_t>{um::UM_SKYPE_LINK_OPENED, um::UM_SKYPE_ATTACHED}));
    link.loop.advance(100);
    const auto sent = link.transport.sent();
    ASSERT_EQ(sent.size(), 4u);
    std::vector<std::int64_t> times;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].text, kInitialCommands[i]);
        EXPECT_EQ(sent[i].peer, "skype");
        times.push_back(sent[i].at);
    }
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 10, 20, 30})) << "one at a time, 10 ms apart";
}

TEST(SkypeConnector, AnIdleSenderTakesANewCommandAtOnce) {
    Link link;
    link.Open();  // the sender went idle at 40 ms
    link.loop.advance(100);
    EXPECT_TRUE(link.connector.SendCommand("CALL +15551230001"));
    EXPECT_FALSE(link.connector.SendCommand("")) << "an empty command is never queued";
    link.loop.runPending();
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"CALL +15551230001"})) << "no wait for the idle poll";
    EXPECT_TRUE(link.connector.SendCommand("GET USERSTATUS"));
    EXPECT_TRUE(link.connector.SendCommand("PING"));
    link.loop.advance(10);
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"GET USERSTATUS"}));
    link.loop.advance(9);
    EXPECT_TRUE(link.transport.TakeTexts().empty()) << "still 10 ms between commands";
    link.loop.advance(1);
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"PING"}));
}

TEST(SkypeConnector, EveryCommandHasItsOwnBudgetOfFiveRetries) {
    Link link;
    link.transport.accept = [](const std::string& text) { return text != "GET USERSTATUS"; };
    link.Attach();
    link.Answer(AttachSuccess);
    link.loop.advance(2000);
    Texts expected{"GET SKYPEVERSION", "GET CONNSTATUS"};
    for (int i = 0; i < 6; ++i) expected.push_back("GET USERSTATUS");  // first try and five retries
    expected.push_back("GET CURRENTUSERHANDLE");
    EXPECT_EQ(link.transport.TakeTexts(), expected);

    // A second refused command is retried as often as the first was.
    link.transport.accept = [](const std::string& text) { return text != "PING"; };
    link.loop.advance(3400);  // the keep-alive's PING at 5 s
    const Texts pings = link.transport.TakeTexts();
    EXPECT_EQ(pings, Texts(6, "PING"));
    const auto sent = link.transport.sent();
    EXPECT_EQ(sent[sent.size() - 1].at - sent[sent.size() - 2].at, 50) << "50 ms between retries";
}

TEST(SkypeConnector, OnlyCommandsThatFitTheSendBufferGoOut) {
    Link link;
    link.Open();
    link.connector.SendCommand(std::string(1023, 'x'));
    link.connector.SendCommand(std::string(1024, 'y'));
    link.connector.SendCommand("\xC3\xA9" + std::string(1022, 'z'));  // 1024 bytes of UTF-8 for 1023 characters
    link.loop.advance(2000);
    const Texts texts = link.transport.TakeTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].size(), 1023u);
}

TEST(SkypeConnector, KeepAliveGivesTheLinkUpTwentySecondsAfterTheLastPing) {
    Link link;
    link.Open();  // SUCCESS at 0
    link.loop.advance(4899);
    EXPECT_TRUE(link.transport.TakeTexts().empty());
    link.loop.advance(1);
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"PING"})) << "the tick at 5 s pings";
    // No PONG: re-discovery at 10, 15 and 20 s, the loss at 25 s.
    link.loop.advance(19999);  // 24 999 ms
    EXPECT_EQ(link.transport.discovers(), (std::vector<std::int64_t>{0, 10000, 15000, 20000}));
    EXPECT_TRUE(link.notify.events.empty());
    EXPECT_TRUE(link.connector.linkOpen()) << "the link stays open while re-discovering";
    link.loop.advance(1);
    EXPECT_EQ(link.notify.Take(), (std::vector<Event>{{um::UM_SKYPE_USER_STATUS, 2, 0}}));
    EXPECT_FALSE(link.connector.linkOpen());
    EXPECT_FALSE(link.connector.SendCommand("PING")) << "commands are dropped once the link is lost";
    link.loop.advance(60000);
    EXPECT_EQ(link.transport.discovers().size(), 4u) << "no timer runs after the loss";

    // The client comes back: API_AVAILABLE, a new discover, and a SUCCESS that
    // opens the link in full.
    link.Answer(kApiAvailable);
    EXPECT_EQ(link.transport.discovers().size(), 5u);
    link.Answer(AttachSuccess);
    EXPECT_EQ(link.notify.ids(), (std::vector<std::uint32_t>{um::UM_SKYPE_LINK_OPENED, um::UM_SKYPE_ATTACHED}));
    link.loop.advance(400);  // the sender notices at its next poll
    EXPECT_EQ(link.transport.TakeTexts(), kInitialCommands);
}

TEST(SkypeConnector, PongInAnyLetterCaseKeepsTheLinkAliveButPongWithABlankDoesNot) {
    Link link;
    link.Open();
    link.loop.advance(5300);
    ASSERT_EQ(link.transport.TakeTexts(), (Texts{"PING"}));
    EXPECT_TRUE(link.Receive("pOnG"));
    link.loop.advance(5000);
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"PING"}));
    EXPECT_EQ(link.transport.discovers().size(), 1u);
    link.Receive("PONG ");
    link.loop.advance(5000);
    EXPECT_TRUE(link.transport.TakeTexts().empty());
    EXPECT_EQ(link.transport.discovers().size(), 2u) << "not a PONG: the tick re-discovers";
}

TEST(SkypeConnector, SuccessAnsweringARediscoveryDoesNotReopenButAnUnaskedOneDoes) {
    Link link;
    link.Open();
    link.loop.advance(10000);  // PING at 5 s, no PONG, re-discovery at 10 s
    link.transport.TakeTexts();
    link.Answer(AttachSuccess);
    EXPECT_EQ(link.notify.ids(), (std::vector<std::uint32_t>{um::UM_SKYPE_ATTACHED}));
    link.loop.advance(4999);
    EXPECT_TRUE(link.transport.TakeTexts().empty()) << "no initial commands; the timer restarted at 10 s";
    link.loop.advance(1);
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"PING"})) << "the SUCCESS counted as a sign of life";

    link.notify.Take();
    link.Answer(AttachSuccess);
    EXPECT_EQ(link.notify.ids(), (std::vector<std::uint32_t>{um::UM_SKYPE_LINK_OPENED, um::UM_SKYPE_ATTACHED}));
    link.loop.advance(400);  // the sender notices at its next poll
    EXPECT_EQ(link.transport.TakeTexts(), kInitialCommands);
}

TEST(SkypeConnector, CommandsQueuedBeforeARefusalGoOutInOrderAfterTheNextOpen) {
    Link link;
    link.Open();
    // Three at once: the sender wakes for the first, the others wait behind
    // the 10 ms between commands (the clock stands still) when the refusal
    // comes; whatever had not gone out goes first after the next open.
    link.connector.SendCommand("CALL 1");
    link.connector.SendCommand("CALL 2");
    link.connector.SendCommand("CALL 3");
    link.Answer(AttachRefused);
    EXPECT_EQ(AttachStatus(), AttachRefused);
    EXPECT_EQ(link.notify.ids(), (std::vector<std::uint32_t>{um::UM_SKYPE_REFUSED}));
    EXPECT_FALSE(link.connector.SendCommand("CALL 4"));
    link.loop.advance(2000);
    Texts before = link.transport.TakeTexts();
    EXPECT_LE(before.size(), 1u) << "at most the first went out before the refusal";

    link.Answer(kApiAvailable);
    link.Answer(AttachPendingAuthorization);
    EXPECT_EQ(AttachStatus(), AttachPendingAuthorization);
    link.Answer(AttachSuccess);
    link.loop.advance(200);
    Texts all = before;
    for (const std::string& text : link.transport.TakeTexts()) all.push_back(text);
    Texts expected{"CALL 1", "CALL 2", "CALL 3"};
    expected.insert(expected.end(), kInitialCommands.begin(), kInitialCommands.end());
    EXPECT_EQ(all, expected);
}

TEST(SkypeConnector, ShutdownEndsTheSenderThreadAlsoBeforeAnyAttachSucceeded) {
    {
        Link link;
        link.Attach();
        link.connector.Shutdown();  // the sender still waits for its start event
        EXPECT_FALSE(link.connector.started());
    }
    {
        Link link;
        link.connector.Shutdown();  // never attached
    }
    Link link;
    link.transport.openResult = false;
    EXPECT_FALSE(link.connector.Attach(link.target.id())) << "no bus: the attach fails and is not retried";
}

TEST(SkypeConnector, TextsFromOthersOrMalformedBytesNeverReachTheParserUnsafely) {
    Link link;
    link.Open();
    EXPECT_FALSE(link.Receive("USERSTATUS ONLINE", "intruder"));
    EXPECT_TRUE(link.notify.events.empty());
    EXPECT_TRUE(link.Receive(""));
    EXPECT_TRUE(link.notify.events.empty());

    // Invalid UTF-8 and a missing terminator: decoded with replacement characters.
    EXPECT_TRUE(link.connector.OnCopyData("skype", std::string_view("USERSTATUS \xFF\xFE", 13)));
    EXPECT_TRUE(link.connector.OnCopyData("skype", std::string_view("USERSTATUS AWAY", 15)));
    EXPECT_TRUE(link.connector.OnCopyData("skype", std::string_view("USERSTATUS ONLINE\0garbage", 25)));
    link.loop.runPending();
    EXPECT_EQ(link.notify.Take(), (std::vector<Event>{{um::UM_SKYPE_USER_STATUS, 0, 0},
                                                      {um::UM_SKYPE_USER_STATUS, 5, 0},
                                                      {um::UM_SKYPE_USER_STATUS, 3, 0}}));
}

TEST(SkypeCommands, BuildersQueueTheirTextsAndPauseWhereTheyMust) {
    Link link;
    link.Open();
    const std::int64_t before = link.loop.now();
    EXPECT_TRUE(link.connector.HoldCall("1234"));
    EXPECT_EQ(link.loop.now() - before, 200) << "HoldCall returns after a 200 ms pause";
    EXPECT_TRUE(link.connector.ResumeCall("1234"));
    EXPECT_EQ(link.loop.now() - before, 400);
    EXPECT_TRUE(link.connector.SendDtmf("1234", "5"));
    EXPECT_TRUE(link.connector.CallNumber("+15551230001"));
    link.connector.SetSilentMode();
    link.loop.advance(1000);
    EXPECT_EQ(link.transport.TakeTexts(), (Texts{"ALTER CALL 1234 HOLD", "ALTER CALL 1234 RESUME",
                                                 "alter call 1234 dtmf 5", "CALL +15551230001",
                                                 "SET SILENT_MODE ON"}));
}

}  // namespace
}  // namespace zorvan
