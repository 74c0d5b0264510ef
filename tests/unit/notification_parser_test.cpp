#include <gtest/gtest.h>

#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "skype/attach_status.h"
#include "skype/call_audio_routing.h"
#include "skype/skype_connector.h"
#include "support/fake_skype_transport.h"

namespace zorvan {
namespace {

using test::EventLog;
using test::FakeSkypeTransport;
using Texts = std::vector<std::string>;
constexpr auto kNone = static_cast<std::uintptr_t>(-1);

struct RoutingLog final : CallAudioRouting {
    std::vector<std::string> calls;
    void RouteCallAudio(const std::string& id, const std::string& capture, const std::string& output) override {
        calls.push_back(id + " " + capture + " " + output);
    }
    void ClearRoutedCalls() override { calls.push_back("clear"); }
};

// An open link whose sender delivers everything; each notification is
// parsed, then the commands it queued are collected.
struct Parser {
    VirtualEventLoop loop;
    FakeSkypeTransport transport{loop};
    EventLog notify;
    ScopedTarget target{loop, notify};
    SkypeConnector connector{loop, transport};
    RoutingLog routing;
    SkypeCallTable& table = connector.callTable();

    Parser() {
        connector.SetAudioRouting(&routing);
        connector.Attach(target.id());
        connector.OnAttachResponse("skype", AttachSuccess);
        loop.advance(100);
        transport.TakeTexts();
        notify.Take();
    }
    ~Parser() { connector.Shutdown(); }

    // Parses one text; returns the commands it queued (the keep-alive's
    // PINGs left out).
    Texts Feed(const std::string& text) {
        connector.OnCopyData("skype", text);
        loop.advance(400);
        Texts texts = transport.TakeTexts();
        std::erase(texts, "PING");
        return texts;
    }
    std::vector<Event> Events() { return notify.Take(); }
};

Event Update(std::intptr_t slot, std::intptr_t what) {
    return {um::UM_CALL_UPDATE, static_cast<std::uintptr_t>(slot), what};
}

TEST(NotificationParser, LowerCaseRingingTakesASlotLikeTheUpperCaseForm) {
    Parser p;
    EXPECT_EQ(p.Feed("call 42 status ringing"), (Texts{"GET CALL 42 TYPE", "get call 42 partner_handle"}));
    EXPECT_EQ(p.Events(), (std::vector<Event>{Update(0, 2)}));
    EXPECT_EQ(p.table.StateOf("42"), SkypeRinging);
    EXPECT_TRUE(p.table.HasLiveCall());
    EXPECT_FALSE(p.table.HasActiveCall());
}

TEST(NotificationParser, MalformedTextsAreIgnoredSilently) {
    Parser p;
    for (const char* text : {"CALL 42 STATUS", "CALL 42", "CALL", "NOBLANK", "   ", "CALL 42 DTMF 12",
                             "ALTER CALL 42 HANGUP", "USER echo123 FULLNAME Echo", "SILENT_MODE MAYBE"}) {
        EXPECT_TRUE(p.Feed(text).empty()) << text;
        EXPECT_TRUE(p.Events().empty()) << text;
    }
}

TEST(NotificationParser, FinishedDependsOnWhetherTheCallWasAnswered) {
    Parser p;
    p.Feed("CALL 1 STATUS RINGING");
    p.Feed("CALL 1 STATUS INPROGRESS");
    p.Feed("CALL 2 STATUS RINGING");
    p.Events();
    p.Feed("CALL 1 STATUS FINISHED");
    p.Feed("CALL 2 STATUS FINISHED");
    p.Feed("CALL 3 STATUS FINISHED");
    EXPECT_EQ(p.Events(), (std::vector<Event>{Update(0, 2), Update(1, 2), Update(-1, 2)}));
    EXPECT_EQ(p.table.StateOf("1"), SkypeFinished);
    EXPECT_EQ(p.table.StateOf("2"), SkypeFailed);
    EXPECT_EQ(p.table.Find("3"), -1) << "a call first seen ended never enters the table";

    // An unknown status is stored as 0 for a known call, and still reported.
    p.Feed("CALL 2 STATUS VM_BUFFERING_GREETING");
    EXPECT_EQ(p.table.StateOf("2"), SkypeOther);
    EXPECT_EQ(p.Events(), (std::vector<Event>{Update(1, 2)}));
    p.Feed("CALL 4 STATUS UNPLACED");
    EXPECT_EQ(p.table.Find("4"), -1);
}

TEST(NotificationParser, InProgressRoutesTheAudioBeforeItsQueriesAndMakesTheCallCurrent) {
    Parser p;
    p.Feed("CALL 7 STATUS ROUTING");
    EXPECT_EQ(p.Feed("CALL 7 STATUS INPROGRESS"),
              (Texts{"GET CALL 7 TYPE", "GET CALL 7 TARGET_IDENTITY", "GET CALL 7 PARTNER_HANDLE"}));
    EXPECT_EQ(p.routing.calls, (Texts{"7 56127 56126"}));
    EXPECT_EQ(p.table.CurrentCallId(), "7");
    p.Feed("CALL 8 STATUS INPROGRESS");
    EXPECT_EQ(p.table.CurrentCallId(), "7") << "the first answered call stays current";
    p.Feed("CALL 7 STATUS LOCALHOLD");
    EXPECT_EQ(p.table.StateOf("7"), SkypeOnHold);
    EXPECT_TRUE(p.table.HasActiveCall());
}

TEST(NotificationParser, PartnerHandleDtmfAndErrors) {
    Parser p;
    EXPECT_EQ(p.Feed("CALL 5 PARTNER_HANDLE echo123"), (Texts{"get call 5 partner_handle", "GET USER echo123 FULLNAME"}));
    EXPECT_EQ(p.Events(), (std::vector<Event>{Update(0, 1)}));
    EXPECT_EQ(p.table.PartnerOf("5"), "echo123");
    EXPECT_TRUE(p.Feed("CALL 5 PARTNER_HANDLE    ").empty()) << "a blank handle asks for no name";
    p.Events();

    p.Feed("CALL 5 DTMF 7");
    p.Feed("CALL 5 DTMF \xC3\xA9");  // one character, two bytes
    EXPECT_EQ(p.Events(), (std::vector<Event>{{um::UM_CALL_DTMF, 0, '7'}, {um::UM_CALL_DTMF, 0, 0xE9}}));

    p.Feed("ERROR 92 CALL: Number is not valid");
    p.Feed("ERROR 91 x");
    p.Feed("ERROR 94 x");
    p.Feed("ERROR 90 x");
    p.Feed("ERROR 95 x");
    p.Feed("ERROR 92");  // the client may send the number alone
    p.Feed("ERROR 96 CALL: an outgoing call exists in ROUTING/RINGING/EARLYMEDIA state");
    p.Feed("ERROR 101");
    const Event invalid{um::UM_CALL_INVALID_NUMBER, 0, 0};
    EXPECT_EQ(p.Events(), (std::vector<Event>{invalid, invalid, invalid, {um::UM_SKYPE_ERROR, 90, 0},
                                              {um::UM_SKYPE_ERROR, 95, 0}, invalid, {um::UM_SKYPE_ERROR, 96, 0},
                                              {um::UM_SKYPE_ERROR, 101, 0}}));
}

TEST(NotificationParser, PresenceAndLoggedOut) {
    Parser p;
    p.Feed("CONNSTATUS CONNECTING");
    p.Feed("USERSTATUS dnd");
    p.Feed("USERSTATUS LOGGEDOUT");
    EXPECT_TRUE(p.connector.linkOpen()) << "USERSTATUS never touches the link";
    p.Feed("CONNSTATUS LOGGEDOUT");
    EXPECT_EQ(p.Events(), (std::vector<Event>{{um::UM_SKYPE_USER_STATUS, 0, 0},
                                              {um::UM_SKYPE_USER_STATUS, 7, 0},
                                              {um::UM_SKYPE_USER_STATUS, 1, 0},
                                              {um::UM_SKYPE_USER_STATUS, 1, 0}}));
    EXPECT_FALSE(p.connector.linkOpen());
    p.connector.SendCommand("CALL +1555");
    p.loop.advance(1000);
    EXPECT_TRUE(p.transport.TakeTexts().empty()) << "nothing goes out while logged out";

    p.connector.OnAttachResponse("skype", AttachSuccess);
    p.loop.advance(400);
    const Texts after = p.transport.TakeTexts();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), "GET SKYPEVERSION") << "the next attach opens the link again";
}

TEST(NotificationParser, UntrackedCallsAndConferenceQueries) {
    Parser p;
    EXPECT_EQ(p.Feed("CALL 9 DURATION 12"),
              (Texts{"GET CALL 9 PARTNER_HANDLE", "GET CALL 9 TYPE", "GET CALL 9 STATUS",
                     "GET CALL 9 CONF_PARTICIPANTS_COUNT", "GET CALL 9 VIDEO_RECEIVE_STATUS",
                     "GET CALL 9 VIDEO_SEND_STATUS"}));
    EXPECT_TRUE(p.Feed("CALL 9 CONF_PARTICIPANTS_COUNT 2").empty()) << "no known call yet";
    p.Feed("CALL 9 STATUS INPROGRESS");
    EXPECT_TRUE(p.Feed("CALL 9 DURATION 13").empty()) << "a known call asks nothing";
    EXPECT_TRUE(p.Feed("CALL 9 CONF_PARTICIPANTS_COUNT 1").empty());
    EXPECT_EQ(p.Feed("CALL 9 CONF_PARTICIPANTS_COUNT 3"),
              (Texts{"GET CALL 9 CONF_PARTICIPANT 0", "GET CALL 9 CONF_PARTICIPANT 1"}));
    p.Events();
    p.Feed("CALL 9 TYPE INCOMING_P2P");
    p.Feed("CALL 9 TYPE INCOMING_PSTN");
    p.Feed("CALL 9 TYPE incoming_pstn");
    p.Feed("SILENT_MODE on");
    p.Feed("SILENT_MODE OFF");
    p.Feed("SKYPEVERSION 8.99");
    p.Feed("CURRENTUSERHANDLE someone");
    EXPECT_EQ(p.Events(), (std::vector<Event>{{um::UM_CALL_INCOMING_P2P, 0, 0}, {um::UM_CALL_INCOMING_PSTN, 0, 0},
                                              {um::UM_SILENT_MODE_ON, 0, 0}, {um::UM_SILENT_MODE_OFF, 0, 0},
                                              {um::UM_SKYPE_VERSION, 0, 0}, {um::UM_SKYPE_USER_HANDLE, 0, 0}}));
    p.Feed("CALL 9 PSTN_STATUS 10404 PSTN connection FAILURE");
    EXPECT_EQ(p.table.StateOf("9"), SkypeFailed);
}

TEST(SkypeCallTable, SlotsOldestActiveCallHangUpAndReset) {
    Parser p;
    p.Feed("CALL 1 STATUS INPROGRESS");
    p.Feed("CALL 2 STATUS INPROGRESS");  // taken in the same second as call 1
    EXPECT_EQ(p.table.OldestActiveCall(), (std::pair<std::string, std::string>{"2", ""}))
        << "on equal times the higher slot wins";
    p.loop.advance(1000);
    p.Feed("CALL 3 STATUS RINGING");
    p.Feed("CALL 4 STATUS BUSY");
    EXPECT_EQ(p.table.KnownCallCount(), 3);

    const std::int64_t before = p.loop.now();
    p.table.HangUpAll();
    EXPECT_EQ(p.loop.now() - before, 200);
    EXPECT_TRUE(p.table.CurrentCallId().empty());
    p.loop.advance(500);
    EXPECT_EQ(p.transport.TakeTexts(), (Texts{"alter call 1 hangup", "alter call 2 hangup", "alter call 3 hangup"}));
    EXPECT_EQ(p.table.StateOf("1"), SkypeInProgress) << "hanging up does not change the slots";

    p.routing.calls.clear();
    p.connector.ResetCallState();
    EXPECT_EQ(p.routing.calls, (Texts{"clear"}));
    EXPECT_EQ(p.table.KnownCallCount(), 0);

    for (int id = 100; id < 120; ++id) EXPECT_EQ(p.table.FindOrAdd(std::to_string(id)), id - 100);
    EXPECT_EQ(p.table.FindOrAdd("120"), -1) << "the 21st call id gets no slot";
    EXPECT_EQ(p.table.FindOrAdd(" 105 "), 5) << "ids are trimmed";
    EXPECT_EQ(p.table.SetState("121", SkypeRinging), -1);
    EXPECT_EQ(p.table.FindOrAdd(""), -1);
}

}  // namespace
}  // namespace zorvan
