// The SIP gateway in place of the Skype client, calling a real SIP user
// agent (baresip) on 127.0.0.1: the call controller through call-harness,
// with the callee's voice, its answers and what it heard.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <thread>
#include <memory>

#include "support/audio_fixtures.h"
#include "support/baresip.h"
#include "support/call_harness.h"
#include "support/campaign_file.h"
#include "support/process_support.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using namespace std::chrono_literals;

bool SkypeOnBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("com.Skype.API")).value();
}

// Ports for this process: baresip's three, then the gateway's.
unsigned BasePort() { return 21000 + static_cast<unsigned>(::getpid() % 500) * 8; }

// The gateway as a user starts it, with its settings and log in a folder
// of its own and what it says on standard error kept.
class Gateway {
public:
    explicit Gateway(const std::string& settings, bool waitForBus = true) {
        test::WriteFile(dir_ / "sip-gateway.conf", settings);
        const std::string command = "exec '" SIP_GATEWAY_BINARY "' --config '" + (dir_ / "sip-gateway.conf") +
                                    "' --log '" + log() + "' 2>'" + (dir_ / "stderr.txt") + "'";
        pid_ = test::Spawn({"/bin/sh", "-c", command}, dir_.path(), dir_.path(), true);
        if (waitForBus) {
            ready_ = test::WaitUntil(SkypeOnBus, 10000) &&
                     test::WaitUntil([this] { return test::ReadFile(log()).find("started as") != std::string::npos; },
                                     10000);
        }
    }
    ~Gateway() { Stop(); }
    int Stop() {
        if (pid_ <= 0) return exit_;
        ::kill(pid_, SIGTERM);
        exit_ = test::WaitExit(pid_, 10s);
        pid_ = -1;
        test::WaitUntil([] { return !SkypeOnBus(); }, 10000);
        return exit_;
    }
    int WaitExit() {
        exit_ = test::WaitExit(pid_, 10s);
        pid_ = -1;
        return exit_;
    }
    bool ready() const { return ready_; }
    std::string log() const { return dir_ / "log.txt"; }
    std::string Log() const { return test::ReadFile(log()); }
    std::string Errors() const { return test::ReadFile(dir_ / "stderr.txt"); }

private:
    test::TempDir dir_;
    pid_t pid_ = -1;
    int exit_ = -1;
    bool ready_ = false;
};

// The callee's recording from where the sound starts (what the gateway
// sent before the greeting is silence).
std::vector<std::int16_t> FromFirstSound(std::vector<std::int16_t> samples, int rate) {
    const auto loud = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return std::abs(s) > 400; });
    const auto start = std::max<std::ptrdiff_t>(0, (loud - samples.begin()) - rate / 20);
    samples.erase(samples.begin(), samples.begin() + start);
    return samples;
}

class SipGatewayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        voices_ = std::make_unique<test::TempDir>();
        const test::TempDir& v = *voices_;
        // Voices at 8 kHz, padded with silence: baresip hangs up when its
        // voice file ends.
        const auto speak = [&v](const std::string& name, const std::string& text, const std::string& after) {
            return test::Run("espeak-ng -w '" + (v / (name + "-raw.wav")) + "' '" + text + "' && sox -q '" +
                             (v / (name + "-raw.wav")) + "' " + after + " -r 8000 -c 1 -b 16 '" + (v / (name + ".wav")) +
                             "' pad 0.3 15");
        };
        ASSERT_TRUE(speak("person", "Hello?", ""));
        ASSERT_TRUE(test::Run("sox -q -n -r 22050 -c 1 -b 16 '" + (v / "beep.wav") + "' synth 0.5 sine 1000"));
        ASSERT_TRUE(speak("machine",
                          "Hello, you have reached the voice mail of Alex Morgan. I am not able to take your call "
                          "right now. Please leave your name and number after the tone.",
                          "'" + (v / "beep.wav") + "'"));
        ASSERT_TRUE(test::Run("espeak-ng -w '" + (v / "short-raw.wav") + "' 'Yes?' && sox -q '" +
                              (v / "short-raw.wav") + "' -r 8000 -c 1 -b 16 '" + (v / "short.wav") + "' pad 0.3 4"));
        // The dialer's greeting as the speech tool writes it (22 050 Hz), and
        // how it sounds at 8 kHz.
        ASSERT_TRUE(test::Run("espeak-ng -w '" + (v / "greeting.wav") +
                              "' 'This is a message from the clinic: your appointment is on Monday at nine.' && sox -q '" +
                              (v / "greeting.wav") + "' -r 8000 -c 1 -b 16 '" + (v / "greeting-8k.wav") + "'"));
        callee_ = std::make_unique<test::Baresip>(
            BasePort(),
            std::vector<test::BaresipAccount>{{"+15550200001", "auto", v / "person.wav", "", ""},
                                              {"+15550200002", "auto", v / "machine.wav", "", ""},
                                              {"+15550200003", "busy", "", "", ""},
                                              {"+15550200004", "manual", "", "", ""},
                                              {"+15550200005", "auto", "", "L16/8000/1", ""},
                                              {"+15550200006", "auto", v / "short.wav", "", ""}},
            v / "short.wav");
        ASSERT_TRUE(callee_->ready()) << callee_->Output();
    }
    static void TearDownTestSuite() {
        callee_.reset();
        voices_.reset();
    }
    void SetUp() override {
        ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
        ASSERT_TRUE(callee_ && callee_->ready());
    }
    static std::string Settings(unsigned domainPort) {
        return "listen = 127.0.0.1:" + std::to_string(BasePort() + 4) + "\ndomain = 127.0.0.1:" +
               std::to_string(domainPort) + "\n";
    }
    static std::string Voice(const std::string& name) { return *voices_ / name; }

    static std::unique_ptr<test::TempDir> voices_;
    static std::unique_ptr<test::Baresip> callee_;
};

std::unique_ptr<test::TempDir> SipGatewayTest::voices_;
std::unique_ptr<test::Baresip> SipGatewayTest::callee_;

TEST_F(SipGatewayTest, TheGreetingReachesTheCalleeThroughG711) {
    Gateway gateway(Settings(callee_->port()));
    ASSERT_TRUE(gateway.ready()) << gateway.Errors();
    const std::size_t closed = callee_->CountEvents("CALL_CLOSED");
    const auto run = test::RunHarness(
        {QStringLiteral("--number"), QStringLiteral("+15550200001"), QStringLiteral("--greeting"),
         QString::fromStdString(Voice("greeting.wav")), QStringLiteral("--timeout"), QStringLiteral("40")});
    EXPECT_EQ(run.exitCode, 0);
    const auto events = run.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_NE(std::find(events.begin(), events.end(), "GREETING_FINISHED"), events.end());
    EXPECT_EQ(events.back(), "ENDED 8") << "finished after the greeting";

    // What the callee heard is the greeting, through G.711 and 8 kHz.
    ASSERT_TRUE(test::WaitUntil([&] { return callee_->CountEvents("CALL_CLOSED") > closed; }, 10000));
    const auto heard = callee_->Heard();
    ASSERT_FALSE(heard.empty());
    int rate = 0;
    const auto got = FromFirstSound(test::ReadWav(heard.back(), &rate), 8000);
    const auto sent = FromFirstSound(test::ReadWav(Voice("greeting-8k.wav")), 8000);
    ASSERT_EQ(rate, 8000);
    ASSERT_GE(got.size(), sent.size() * 9 / 10);
    EXPECT_GE(test::PeakCorrelation(sent, got, 1600), 0.9);
    const std::string log = gateway.Log();
    EXPECT_NE(log.find("-> CALL 1001 STATUS ROUTING\n"), std::string::npos) << log;
    EXPECT_NE(log.find("-> CALL 1001 DURATION 2\n"), std::string::npos) << "a DURATION every second";
}

TEST_F(SipGatewayTest, TheDetectorHearsAPersonAndAMachine) {
    Gateway gateway(Settings(callee_->port()));
    ASSERT_TRUE(gateway.ready()) << gateway.Errors();
    for (const auto& [number, verdict] : {std::pair{"+15550200001", "AMD human"}, std::pair{"+15550200002", "AMD machine"}}) {
        const auto run = test::RunHarness({QStringLiteral("--number"), QString::fromLatin1(number),
                                           QStringLiteral("--detect"), QStringLiteral("--timeout"), QStringLiteral("30")});
        EXPECT_EQ(run.exitCode, 0) << number;
        EXPECT_EQ(run.Count(verdict), 1u) << number << "\n" << gateway.Log();
    }
}

TEST_F(SipGatewayTest, BusyNoAnswerUnknownAndUnplayableNumbersEndAsTheClientsDid) {
    Gateway gateway(Settings(callee_->port()));
    ASSERT_TRUE(gateway.ready()) << gateway.Errors();
    const auto call = [](const char* number, std::initializer_list<QString> more = {}) {
        QStringList args{QStringLiteral("--number"), QString::fromLatin1(number), QStringLiteral("--timeout"),
                         QStringLiteral("30")};
        for (const QString& a : more) args << a;
        return test::RunHarness(args);
    };
    EXPECT_EQ(call("+15550200003").Events().back(), "ENDED 11") << "486: BUSY";
    const std::size_t closed = callee_->CountEvents("CALL_CLOSED");
    const auto unanswered = call("+15550200004", {QStringLiteral("--wait-for-answer"), QStringLiteral("3")});
    EXPECT_EQ(unanswered.Events().back(), "ENDED 12") << "hung up while ringing: CANCELLED";
    EXPECT_TRUE(test::WaitUntil([&] { return callee_->CountEvents("CALL_CLOSED") > closed; }, 5000))
        << "the callee saw the CANCEL";
    const auto unknown = call("+15550209999");
    EXPECT_EQ(unknown.exitCode, 3);
    EXPECT_EQ(unknown.Events().back(), "INVALID_NUMBER") << "404: the client's ERROR 92";
    EXPECT_EQ(call("+15550200005").Events().back(), "ENDED 4") << "no common codec: FAILED";
    const std::string log = gateway.Log();
    EXPECT_NE(log.find("-> ERROR 92 "), std::string::npos) << log;
    EXPECT_NE(log.find("FAILUREREASON"), std::string::npos) << log;
}

TEST_F(SipGatewayTest, HoldResumeAndAKeyReachTheCallee) {
    Gateway gateway(Settings(callee_->port()));
    ASSERT_TRUE(gateway.ready()) << gateway.Errors();
    const std::size_t before = callee_->Output().size();
    const auto run = test::RunHarness({QStringLiteral("--number"), QStringLiteral("+15550200006"),
                                       QStringLiteral("--hold"), QStringLiteral("1"), QStringLiteral("--dtmf"),
                                       QStringLiteral("5"), QStringLiteral("--timeout"), QStringLiteral("30")});
    EXPECT_EQ(run.Events().back(), "ENDED 8");
    const std::string log = gateway.Log();
    const auto held = log.find("-> CALL 1001 STATUS LOCALHOLD");
    const auto resumed = log.find("-> CALL 1001 STATUS INPROGRESS", held);
    EXPECT_NE(held, std::string::npos) << log;
    EXPECT_NE(resumed, std::string::npos) << log;
    const std::string heard = callee_->Output().substr(before);
    const auto sendonly = heard.find("a=sendonly");
    ASSERT_NE(sendonly, std::string::npos) << "a re-INVITE put the callee on hold";
    EXPECT_NE(heard.find("a=sendrecv", sendonly), std::string::npos) << "and another took it off";
    EXPECT_NE(heard.find("received event: '5'"), std::string::npos) << "the key came as an RFC 4733 event";
}

TEST_F(SipGatewayTest, AnUnreachableDomainIsTheFailurePathWithAMessage) {
    Gateway gateway(Settings(BasePort() + 6));  // nobody listens there
    ASSERT_TRUE(gateway.ready()) << gateway.Errors();
    const auto run = test::RunHarness({QStringLiteral("--number"), QStringLiteral("+15550200001"),
                                       QStringLiteral("--timeout"), QStringLiteral("30")});
    EXPECT_EQ(run.Events().back(), "ENDED 4");
    gateway.Stop();
    EXPECT_NE(gateway.Errors().find("call to +15550200001: 127.0.0.1:" + std::to_string(BasePort() + 6) +
                                    " cannot be reached"),
              std::string::npos)
        << gateway.Errors();
}

TEST_F(SipGatewayTest, BadSettingsAreRefusedWithTheLineAndTheReason) {
    Gateway bad("domain = 127.0.0.1\ncodecs = G729\n", false);
    EXPECT_EQ(bad.WaitExit(), 1);
    EXPECT_NE(bad.Errors().find("line 2: codecs takes PCMU and PCMA"), std::string::npos) << bad.Errors();
    EXPECT_FALSE(SkypeOnBus());
    Gateway taken("listen = 127.0.0.1:" + std::to_string(callee_->port()) + "\ndomain = 127.0.0.1\n", false);
    EXPECT_EQ(taken.WaitExit(), 1) << "the SIP port is baresip's";
    EXPECT_NE(taken.Errors().find("cannot listen for SIP on 127.0.0.1:" + std::to_string(callee_->port())),
              std::string::npos)
        << taken.Errors();
}

// A registrar that asks for digest credentials: the right ones register, a
// wrong password is said on standard error.
TEST_F(SipGatewayTest, RegistersWithDigestCredentialsAndSaysWhenRefused) {
    test::TempDir dir;
    const unsigned port = BasePort() + 6;
    const std::string out = dir / "registrar.txt";
    const pid_t registrar = test::Spawn(
        {"/bin/sh", "-c", "exec '" SIP_REGISTRAR_BINARY "' " + std::to_string(port) + " 4420001 'pa#ss w' >'" + out + "'"},
        dir.path(), dir.path(), false);
    ASSERT_TRUE(test::WaitFor([&] { return test::ReadFile(out).find("READY") != std::string::npos; }, 10s));
    const std::string account = "registrar = 127.0.0.1:" + std::to_string(port) + "\nusername = 4420001\n";
    {
        Gateway gateway(Settings(callee_->port()) + account + "password = pa#ss w\n");
        ASSERT_TRUE(gateway.ready()) << gateway.Errors();
        EXPECT_TRUE(test::WaitUntil([&] { return gateway.Log().find("registered at 127.0.0.1:") != std::string::npos; },
                                    10000))
            << gateway.Log() << gateway.Errors();
        EXPECT_NE(test::ReadFile(out).find("REGISTERED 4420001"), std::string::npos);
    }
    {
        Gateway gateway(Settings(callee_->port()) + account + "password = wrong\n");
        ASSERT_TRUE(gateway.ready()) << gateway.Errors();
        EXPECT_TRUE(test::WaitUntil([&] { return gateway.Errors().find("registration at") != std::string::npos; }, 10000));
        EXPECT_NE(gateway.Errors().find("registration at 127.0.0.1:" + std::to_string(port) +
                                        " failed: 403 Forbidden (check username and password)"),
                  std::string::npos)
            << gateway.Errors();
    }
    ::kill(registrar, SIGTERM);
    test::WaitExit(registrar, 5s);
}

// The whole dialer, a campaign opened and dialled at once, with the gateway
// and baresip callees where the stand-in would be.
TEST_F(SipGatewayTest, ACampaignDialledThroughTheGatewayGetsEveryOutcome) {
    test::TempDir home;
    test::TempDir runtime;
    test::TempDir work;
    const std::string recordings = work / "recordings";
    std::filesystem::create_directories(recordings);
    test::WriteFile(work / "dnc.txt", "555-020-0007\n");
    const std::string campaign = work / "campaign.xml";
    test::WriteFile(campaign, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dialer><contacts>\n"
                              " <a><fname>Person</fname><phone>(555) 020-0001</phone></a>\n"
                              " <a><fname>Machine</fname><phone>+1 555 020 0002</phone></a>\n"
                              " <a><fname>Busy</fname><phone>555.020.0003</phone></a>\n"
                              " <a><fname>NoAnswer</fname><phone>5550200004</phone></a>\n"
                              " <a><fname>Failure</fname><phone>5550200005</phone></a>\n"
                              " <a><fname>Rejected</fname><phone>5550209999</phone></a>\n"
                              " <a><fname>Listed</fname><phone>5550200007</phone></a>\n"
                              " <a><fname>NoPhone</fname></a>\n"
                              "</contacts></dialer>\n");
    test::WriteFile(home / ".config/Zorvan/conf.xml",
                    test::CampaignSettings(work / "dnc.txt", Voice("greeting.wav"), recordings));
    Gateway gateway(Settings(callee_->port()));
    ASSERT_TRUE(gateway.ready()) << gateway.Errors();
    const std::size_t heardBefore = callee_->Heard().size();
    const pid_t dialer =
        test::Spawn({ZORVAN_DIALER_BINARY, "--open", campaign, "--dial", "auto"}, home.path(), runtime.path(), true);
    ASSERT_GT(dialer, 0);
    const auto finished = [&] {
        const auto w = test::ReadCampaign(campaign);
        if (w.size() != 8) return false;
        for (const char* name : {"Person", "Machine", "Busy", "NoAnswer", "Failure", "Rejected"}) {
            if (w.at(name).cstatus.empty()) return false;
        }
        return test::Count(gateway.Log(), "<- CALL ") >= 9;
    };
    const bool done = test::WaitFor(finished, 180s);
    std::this_thread::sleep_for(1s);
    ::kill(dialer, SIGTERM);
    EXPECT_EQ(test::WaitExit(dialer, 30s), 0);
    const std::string log = gateway.Log();
    ASSERT_TRUE(done) << log;

    const auto w = test::ReadCampaign(campaign);
    test::ExpectStatuses(w, {{"Person", "Call Succeeded"}, {"Machine", "Answering Machine Succeeded*"},
                             {"Busy", "Line is Busy"}, {"NoAnswer", "Call Failed"}, {"Failure", "Call Failed"},
                             {"Rejected", "Invalid Phone Number"}, {"Listed", "DNC Number"}, {"NoPhone", ""}});
    const std::map<std::string, std::size_t> calls{{"+15550200001", 1}, {"+15550200002", 1}, {"+15550200003", 2},
                                                   {"+15550200004", 2}, {"+15550200005", 2}, {"+15550209999", 1},
                                                   {"+15550200007", 0}};
    for (const auto& [number, times] : calls) EXPECT_EQ(test::Count(log, "<- CALL " + number + "\n"), times) << number;

    // The machine heard our greeting after its own; both answered calls
    // were recorded. With the dialer, the gateway and the callee on two
    // busy cores a frame may come late, so the greeting is looked for a
    // fifth of a second at a time.
    const auto sent = FromFirstSound(test::ReadWav(Voice("greeting-8k.wav")), 8000);
    double best = 0;
    const auto heard = callee_->Heard();
    for (std::size_t i = heardBefore; i < heard.size(); ++i) {
        best = std::max(best, test::PiecewiseCorrelation(sent, FromFirstSound(test::ReadWav(heard[i]), 8000), 1600, 4800));
    }
    EXPECT_GE(best, 0.9);
    test::ExpectRecordings(w, {"Person", "Machine"}, work.path());
}

}  // namespace
}  // namespace zorvan
