#include <gtest/gtest.h>

#include "platform/virtual_event_loop.h"
#include "skype/attach_status.h"
#include "skype/audio_routing.h"
#include "skype/skype_connector.h"
#include "support/fake_skype_transport.h"

namespace zorvan {
namespace {

using Texts = std::vector<std::string>;

struct FakeInputPort final : InputPortControl {
    std::vector<std::string>* log;
    bool sockets = true;
    explicit FakeInputPort(std::vector<std::string>& l) : log(&l) {}
    bool HasSockets() override { return sockets; }
    void CloseClients() override { log->push_back("close 56127 clients"); }
    bool Open() override {
        log->push_back("open 56127");
        return true;
    }
};

struct Routing {
    VirtualEventLoop loop;
    test::FakeSkypeTransport transport{loop};
    test::EventLog notify;
    ScopedTarget target{loop, notify};
    SkypeConnector connector{loop, transport};
    Texts portLog;
    FakeInputPort port{portLog};
    CallAudioRouter router{loop, connector, &port};

    Routing() {
        connector.SetAudioRouting(&router);
        connector.Attach(target.id());
        connector.OnAttachResponse("skype", AttachSuccess);
        loop.advance(400);
        transport.TakeTexts();
    }
    ~Routing() { connector.Shutdown(); }
    // The routing commands sent since the last look.
    Texts Routed() {
        loop.advance(1000);
        Texts out;
        for (const std::string& t : transport.TakeTexts()) {
            if (t.find(" SET_") != std::string::npos) out.push_back(t);
        }
        return out;
    }
};

TEST(CallAudioRouting, CommandTextsAreExact) {
    EXPECT_EQ(CallAudioRouter::InputToSoundCard("12"), "ALTER CALL 12 SET_INPUT SOUNDCARD=\"default\"");
    EXPECT_EQ(CallAudioRouter::InputFromPort("12", "56127"), "ALTER CALL 12 SET_INPUT SOUNDCARD=\"default\" PORT=\"56127\"");
    EXPECT_EQ(CallAudioRouter::MicCopyToPort("12", "56127"), "ALTER CALL 12 SET_CAPTURE_MIC PORT=\"56127\"");
    EXPECT_EQ(CallAudioRouter::OutputToSoundCardAndPort("12", "56126"),
              "ALTER CALL 12 SET_OUTPUT SOUNDCARD=\"default\"  PORT=\"56126\"");
}

TEST(CallAudioRouting, AnsweredCallIsRoutedOnceIntoTheListWith100msPauses) {
    Routing r;
    const std::int64_t before = r.loop.now();
    r.connector.OnCopyData("skype", "CALL 12 STATUS INPROGRESS");
    EXPECT_EQ(r.loop.now() - before, 200) << "two 100 ms pauses before the state is stored";
    const Texts three{CallAudioRouter::InputToSoundCard("12"), CallAudioRouter::MicCopyToPort("12", "56127"),
                      CallAudioRouter::OutputToSoundCardAndPort("12", "56126")};
    EXPECT_EQ(r.Routed(), three);
    EXPECT_EQ(r.router.routedCallList(), "12 ");
    r.connector.OnCopyData("skype", "CALL 12 STATUS INPROGRESS");  // after a resume
    EXPECT_EQ(r.Routed(), three);
    EXPECT_EQ(r.router.routedCallList(), "12 ");
}

TEST(CallAudioRouting, TheListUsesAPlainSubstringTest) {
    Routing r;
    r.router.RouteCallAudio("123", "56127", "56126");
    r.router.RouteCallAudio("12", "56127", "56126");
    EXPECT_EQ(r.router.routedCallList(), "123 ");
    r.connector.ResetCallState();
    EXPECT_EQ(r.router.routedCallList(), "") << "every dial starts with an empty list";
}

TEST(CallAudioRouting, AClosedConnectionReroutesEveryRoutedCallOnlyWhileOneIsInProgress) {
    Routing r;
    r.router.RouteCallAudio("7", "56127", "56126");
    r.router.RouteCallAudio("8", "56127", "56126");
    r.Routed();
    r.router.RequestReroute();  // from a stream thread: no call in progress
    EXPECT_TRUE(r.Routed().empty());
    r.connector.OnCopyData("skype", "CALL 8 STATUS INPROGRESS");
    r.Routed();
    r.router.RequestReroute();
    const Texts again = r.Routed();
    ASSERT_EQ(again.size(), 6u);
    EXPECT_EQ(again[0], CallAudioRouter::InputToSoundCard("7"));
    EXPECT_EQ(again[3], CallAudioRouter::InputToSoundCard("8"));
    EXPECT_EQ(r.router.routedCallList(), "7 8 ");
}

TEST(CallAudioRouting, GreetingInputAndItsRestoreRestartTheInputPortFirst) {
    Routing r;
    std::int64_t before = r.loop.now();
    r.router.RouteGreetingInput("5", "56127");
    EXPECT_EQ(r.loop.now() - before, 100);
    EXPECT_EQ(r.portLog, (Texts{"close 56127 clients", "open 56127"}));
    EXPECT_EQ(r.Routed(), (Texts{CallAudioRouter::InputFromPort("5", "56127")}));
    r.portLog.clear();
    r.port.sockets = false;
    before = r.loop.now();
    r.router.RestoreInput("5", "56127");
    EXPECT_EQ(r.loop.now() - before, 300);
    EXPECT_EQ(r.portLog, (Texts{"open 56127"})) << "nothing to close";
    EXPECT_EQ(r.Routed(), (Texts{CallAudioRouter::InputToSoundCard("5"), CallAudioRouter::MicCopyToPort("5", "56127")}));
}

}  // namespace
}  // namespace zorvan
