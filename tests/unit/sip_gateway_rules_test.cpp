// The SIP gateway's settings file and the statuses it gives the dialer for
// SIP event sequences recorded from real calls (libre against baresip).
#include <gtest/gtest.h>

#include <cerrno>

#include "gateway_settings.h"
#include "status_map.h"

namespace zorvan::gateway {
namespace {

TEST(GatewaySettings, ReadsAnAccountAsAUserWritesIt) {
    std::string error;
    const auto settings = ParseGatewaySettings("# my provider\n"
                                               "listen = 0.0.0.0:5080\n"
                                               "domain=sip.example.net   # where numbers go\n"
                                               "registrar = sip.example.net\n"
                                               "username = 4420001\n"
                                               "password = s3cret#1 # and a comment\n"
                                               "outbound-proxy = [2001:db8::1]:5061\n"
                                               "codecs = pcma, PCMU, PCMA\r\n",
                                               error);
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->listen.host, "0.0.0.0");
    EXPECT_EQ(settings->listen.port, 5080u);
    EXPECT_EQ(settings->RequestUri("+442079460958"), "sip:+442079460958@sip.example.net");
    EXPECT_EQ(settings->FromUri(), "sip:4420001@sip.example.net");
    EXPECT_EQ(settings->password, "s3cret#1") << "a # inside a value is part of it";
    ASSERT_TRUE(settings->outboundProxy);
    EXPECT_EQ(FormatHostPort(*settings->outboundProxy), "[2001:db8::1]:5061");
    EXPECT_EQ(settings->codecs, (std::vector<std::string>{"PCMA", "PCMU"}));

    const auto least = ParseGatewaySettings("domain = 127.0.0.1:5071\n", error);
    ASSERT_TRUE(least) << error;
    EXPECT_EQ(FormatHostPort(least->listen), "0.0.0.0") << "found when the gateway starts, on any port";
    const auto route = RouteAddress(least->domain, error);
    ASSERT_TRUE(route) << error;
    EXPECT_EQ(*route, "127.0.0.1");
    EXPECT_EQ(least->RequestUri("5550100"), "sip:5550100@127.0.0.1:5071");
    EXPECT_FALSE(least->registrar);
}

TEST(GatewaySettings, SaysWhichLineIsWrongAndWhy) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", "\"domain\" is missing"},
        {"domain = a\nlisten = 127.0.0.1:70000\n", "line 2: listen must be a host or address"},
        {"domain = a\nlisten = 127.0.0.1:\n", "line 2: listen"},
        {"domain = sip example\n", "line 1: domain must be"},
        {"domain = a\nproxy = b\n", "line 2: unknown key \"proxy\""},
        {"domain = a\ndomain = b\n", "line 2: \"domain\" is set twice"},
        {"domain = a\ncodecs = PCMU, G729\n", "line 2: codecs takes PCMU and PCMA"},
        {"domain = a\ncodecs =\n", "line 2: codecs"},
        {"domain a\n", "line 1: expected \"key = value\""},
        {"domain = a\nregistrar = a\n", "\"registrar\" is set but \"username\" is not"},
        {"domain = a\nusername = me@there\n", "line 2: username must not hold"},
        {"domain = [::1\n", "line 1: domain must be"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(ParseGatewaySettings(text, error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << text << " gave: " << error;
    }
}

// Replays events and collects what the dialer is told.
struct Replay {
    CallState state;
    std::vector<std::string> said;
    void operator()(const SipEvent& event) {
        const ClientSays says = MapSipEvent(event, state);
        if (says.refuseNumber) said.push_back("ERROR 92");
        for (std::size_t i = 0; i < says.statuses.size(); ++i) {
            if (says.failureReason && i + 1 == says.statuses.size()) said.push_back("FAILUREREASON");
            said.push_back(says.statuses[i]);
        }
    }
};

SipEvent Progress(int code) {
    SipEvent e;
    e.kind = code == 183 ? SipEvent::Kind::EarlyMedia : SipEvent::Kind::Ringing;
    e.code = code;
    return e;
}
SipEvent Answered() {
    SipEvent e;
    e.kind = SipEvent::Kind::Answered;
    e.code = 200;
    return e;
}

TEST(GatewayStatuses, RecordedCallsGiveTheClientsStatuses) {
    using Said = std::vector<std::string>;
    // Answered, then the callee's BYE, which libre reports as a reset.
    Replay answered;
    for (const SipEvent& e : {Progress(180), Progress(180), Answered(), EndedEvent(1, ECONNRESET, false, false, 0, "")}) {
        answered(e);
    }
    EXPECT_EQ(answered.said, (Said{"ROUTING", "RINGING", "INPROGRESS", "FINISHED"}));

    Replay early;  // a provider's announcement before the answer
    for (const SipEvent& e : {Progress(183), Progress(183), Answered()}) early(e);
    EXPECT_EQ(early.said, (Said{"ROUTING", "EARLYMEDIA", "INPROGRESS"}));

    Replay busy;  // baresip's hang-up of a ringing call
    for (const SipEvent& e : {Progress(180), EndedEvent(1, 0, true, false, 486, "Rejected")}) busy(e);
    EXPECT_EQ(busy.said, (Said{"ROUTING", "RINGING", "BUSY"}));

    Replay unknown;  // no account for the number: 404 straight away
    unknown(EndedEvent(1, 0, true, false, 404, "Not Found"));
    EXPECT_EQ(unknown.said, (Said{"ERROR 92"}));

    Replay lateUnknown;  // after ringing, a 404 can no longer be a refusal of the number
    for (const SipEvent& e : {Progress(180), EndedEvent(1, 0, true, false, 404, "Not Found")}) lateUnknown(e);
    EXPECT_EQ(lateUnknown.said, (Said{"ROUTING", "RINGING", "FAILUREREASON", "FAILED"}));

    Replay codec;  // no common codec
    codec(EndedEvent(1, 0, true, false, 488, "Not Acceptable Here"));
    EXPECT_EQ(codec.said, (Said{"ROUTING", "FAILUREREASON", "FAILED"}));

    Replay away;  // nothing at all came back
    away(EndedEvent(1, ETIMEDOUT, false, false, 0, ""));
    EXPECT_EQ(away.said, (Said{"ROUTING", "FAILUREREASON", "FAILED"}));

    Replay declined;
    for (const SipEvent& e : {Progress(180), EndedEvent(1, 0, true, false, 603, "Decline")}) declined(e);
    EXPECT_EQ(declined.said, (Said{"ROUTING", "RINGING", "REFUSED"}));

    Replay everywhereBusy;
    everywhereBusy(EndedEvent(1, 0, true, false, 600, "Busy Everywhere"));
    EXPECT_EQ(everywhereBusy.said, (Said{"ROUTING", "BUSY"}));
}

TEST(GatewayStatuses, HowLibreReportsAnEnd) {
    const SipEvent bye = EndedEvent(7, ECONNRESET, false, false, 0, "");
    EXPECT_TRUE(bye.byRemote);
    EXPECT_EQ(bye.call, 7);
    EXPECT_TRUE(EndedEvent(7, 0, true, true, 0, "").byRemote) << "the BYE request itself";
    const SipEvent timeout = EndedEvent(7, ETIMEDOUT, false, false, 0, "");
    EXPECT_FALSE(timeout.byRemote);
    EXPECT_EQ(timeout.error, ETIMEDOUT);
    const SipEvent rejected = EndedEvent(7, 0, true, false, 480, "Temporarily Unavailable");
    EXPECT_EQ(rejected.code, 480);
    EXPECT_EQ(rejected.reason, "Temporarily Unavailable");
}

}  // namespace
}  // namespace zorvan::gateway
