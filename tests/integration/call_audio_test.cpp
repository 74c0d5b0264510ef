// An answered call's audio between the real stand-in and the dialer's real
// ports, on a private session bus.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <mutex>

#include "audio/audio_stream_server.h"
#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/um_events.h"
#include "skype/audio_routing.h"
#include "skype/skype_connector.h"
#include "support/audio_fixtures.h"
#include "support/qt_wait.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using test::WaitUntil;

// One second of a pattern no silence looks like, as a 16 kHz mono WAV.
std::vector<std::int16_t> Voice() {
    std::vector<std::int16_t> v(16000);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::int16_t>(1 + (i * 37) % 20000);
    return v;
}

struct Call final : EventHandler {
    test::StandIn sim;  // the callee's voice file sits beside its scenario
    QtEventLoop loop;
    test::FakePrompts prompts;
    DBusSkypeTransport bus;
    ScopedTarget target{loop, *this};
    SkypeConnector connector{loop, bus};
    audio::AudioStreamServer audio{prompts, {0, 0}};  // any free ports
    CallAudioRouter router{loop, connector, nullptr};
    std::mutex mutex;
    std::vector<std::uint8_t> received;
    int lastState = -1;

    explicit Call(const std::string& calleeOptions)
        : sim("number +1777 ring 0.2 answer voice voice.wav " + calleeOptions + "\n") {
        // Read when the call is answered.
        test::WriteWav(sim.dir() / "voice.wav", Voice(), 16000, 1);
        audio.SetOutputTap([this](const std::uint8_t* data, std::size_t n) {
            std::lock_guard lock(mutex);
            received.insert(received.end(), data, data + n);
        });
        audio.SetRerouteRequest([this] { router.RequestReroute(); });
        connector.SetAudioRouting(&router);
        EXPECT_TRUE(audio.OpenInputPort());
        EXPECT_TRUE(audio.OpenOutputPort());
        connector.SetAudioPorts(std::to_string(audio.inputPort()), std::to_string(audio.outputPort()));
        EXPECT_TRUE(connector.Attach(target.id()));
        EXPECT_TRUE(WaitUntil([this] { return connector.linkOpen(); }, 10000));
    }
    ~Call() override {
        connector.Shutdown();
        audio.Destroy();
    }
    void OnEvent(const Event& e) override {
        const auto index = static_cast<std::intptr_t>(e.wParam);
        if (e.id == um::UM_CALL_UPDATE && e.lParam == 2 && index >= 0) {
            lastState = connector.callTable().slot(static_cast<int>(index)).state;
        }
    }
};

std::vector<std::string> Routing(const Call& call) {
    return {"ALTER CALL 1001 SET_INPUT SOUNDCARD=\"default\"",
            "ALTER CALL 1001 SET_CAPTURE_MIC PORT=\"" + call.connector.capturePort() + "\"",
            "ALTER CALL 1001 SET_OUTPUT SOUNDCARD=\"default\"  PORT=\"" + call.connector.outputPort() + "\""};
}

std::vector<std::string> RoutingIn(const std::vector<std::string>& all) {
    std::vector<std::string> out;
    for (const std::string& c : all) {
        if (c.find(" SET_") != std::string::npos) out.push_back(c);
    }
    return out;
}

TEST(CallAudio, TheCalleesVoiceArrivesWholeInOrderOnTheOutputPort) {
    Call call("hangup-after 2");
    ASSERT_TRUE(call.connector.CallNumber("+1777"));
    ASSERT_TRUE(WaitUntil([&] { return call.lastState == SkypeFinished; }, 15000));
    EXPECT_EQ(RoutingIn(call.sim.Received()), Routing(call));
    EXPECT_NE(call.connector.capturePort(), "0");

    std::lock_guard lock(call.mutex);
    const std::vector<std::int16_t> voice = Voice();
    ASSERT_GE(call.received.size(), voice.size() * 2);
    std::vector<std::int16_t> got(call.received.size() / 2);
    for (std::size_t i = 0; i < got.size(); ++i) {
        got[i] = static_cast<std::int16_t>(call.received[2 * i] | (call.received[2 * i + 1] << 8));
    }
    EXPECT_TRUE(std::equal(voice.begin(), voice.end(), got.begin())) << "the voice, sample for sample, first";
    EXPECT_TRUE(std::all_of(got.begin() + static_cast<long>(voice.size()), got.end(), [](std::int16_t s) { return s == 0; }))
        << "then silence: nothing duplicated";
    EXPECT_EQ(call.received.size() % 320, 0u);
}

TEST(CallAudio, ADroppedConnectionReroutesTheCallOnce) {
    Call call("drop-output-at 0.4 hangup-after 2");
    ASSERT_TRUE(call.connector.CallNumber("+1777"));
    ASSERT_TRUE(WaitUntil([&] { return call.lastState == SkypeFinished; }, 15000));
    std::vector<std::string> twice = Routing(call);
    const std::vector<std::string> once = twice;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(RoutingIn(call.sim.Received()), twice);
}

}  // namespace
}  // namespace zorvan
