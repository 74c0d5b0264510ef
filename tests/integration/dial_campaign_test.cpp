// A whole campaign dialled by the real program, started with --open and
// --dial auto under the offscreen platform, against the real stand-in on a
// private session bus: every outcome written to its contact, the redials,
// the recordings, and the machine greeting the callee heard.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

#include "dial/calling_hours.h"
#include "support/audio_fixtures.h"
#include "support/campaign_file.h"
#include "support/process_support.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Count;
using test::ReadCampaign;

// Seconds between two of the stand-in's notes about a call, from its log.
double Between(const std::string& log, const std::string& from, const std::string& to) {
    const auto Stamp = [&log](const std::string& text) {
        const auto at = log.find(text);
        if (at == std::string::npos) return -1.0;
        const auto line = log.rfind('\n', at);
        return std::stod(log.substr(line == std::string::npos ? 0 : line + 1));
    };
    return Stamp(to) - Stamp(from);
}

int Seconds(const std::string& span) {
    int h = 0, m = 0, s = 0;
    if (std::sscanf(span.c_str(), "%d:%d:%d", &h, &m, &s) != 3) return -1;
    return h * 3600 + m * 60 + s;
}

TEST(DialCampaign, OpenAndDialAutoWritesEveryOutcomeAndRedialsAsTheRuleAllows) {
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    test::TempDir home;
    test::TempDir runtime;
    test::TempDir work;
    const std::string heard = work / "heard";
    const std::string recordings = work / "recordings";
    fs::create_directories(heard);

    // The voices: a person says hello and waits; a machine speaks its long
    // greeting and beeps. The dialer's machine greeting is the speech tool's
    // own 22 050 Hz output.
    ASSERT_TRUE(test::Run("espeak-ng -w '" + (work / "p.wav") + "' 'Hello?' && sox -q '" + (work / "p.wav") +
                          "' -r 16000 '" + (work / "person.wav") + "' pad 0.3 0"));
    ASSERT_TRUE(test::Run("espeak-ng -w '" + (work / "m.wav") +
                          "' 'Hello, you have reached the voice mail of Alex Morgan. I am not able to take your "
                          "call right now. Please leave your name and number after the tone.' && sox -q -n -r 22050 "
                          "-c 1 -b 16 '" + (work / "beep.wav") + "' synth 0.5 sine 1000 && sox -q '" +
                          (work / "m.wav") + "' '" + (work / "beep.wav") + "' '" + (work / "machine.wav") + "'"));
    const std::string greeting = work / "leave-message.wav";
    ASSERT_TRUE(test::Run("espeak-ng -w '" + greeting +
                          "' 'This is a message from the clinic: your appointment is on Monday at nine.' && sox -q '" +
                          greeting + "' -r 16000 -c 1 -b 16 '" + (work / "reference.wav") + "'"));
    test::WriteFile(work / "dnc.txt", "555-010-0007\n");

    const std::string scenario = work / "scenario.txt";
    test::WriteFile(scenario, "attach immediate\n"
                              "number +15550100001 ring 1 answer voice " + (work / "person.wav") + " hangup-after 6\n"
                              "number +15550100002 ring 1 answer voice " + (work / "machine.wav") + "\n"
                              "number +15550100003 ring 1 busy\n"
                              "number +15550100004 noanswer\n"
                              "number +15550100005 ring 1 fail 4\n"
                              "number +15550100006 reject 92\n"
                              "number default ring 1 answer hangup-after 1\n");
    // As a user edits a campaign by hand: any element names, some fields missing.
    const std::string campaign = work / "campaign.xml";
    test::WriteFile(campaign, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dialer><contacts>\n"
                              " <a><fname>Person</fname><phone>(555) 010-0001</phone></a>\n"
                              " <a><fname>Machine</fname><phone>+1 555 010 0002</phone></a>\n"
                              " <a><fname>Busy</fname><phone>555.010.0003</phone></a>\n"
                              " <a><fname>NoAnswer</fname><phone>5550100004</phone></a>\n"
                              " <a><fname>Failure</fname><phone>5550100005</phone></a>\n"
                              " <a><fname>Rejected</fname><phone>5550100006</phone></a>\n"
                              " <a><fname>Listed</fname><phone>5550100007</phone></a>\n"
                              " <a><fname>Done</fname><phone>5550100008</phone><cstatus>Call Succeeded</cstatus></a>\n"
                              " <a><fname>NoPhone</fname></a>\n"
                              " <a><fname>Abroad</fname><phone>0044 (20) 7946-0958</phone></a>\n"
                              " <a><fname>Typo</fname><phone>1-2</phone></a>\n"
                              "</contacts></dialer>\n");
    test::WriteFile(home / ".config/Zorvan/conf.xml", test::CampaignSettings(work / "dnc.txt", greeting, recordings));
    fs::create_directories(recordings);

    const std::string log = work / "sim.log";
    const pid_t sim = test::Spawn({SKYPE_SIM_BINARY, "--scenario", scenario, "--log", log, "--heard", heard},
                                  home.path(), runtime.path(), true);
    ASSERT_GT(sim, 0);
    ASSERT_TRUE(test::WaitFor([&] { return test::ReadFile(log).find("started as") != std::string::npos; }, 10s));
    const pid_t dialer =
        test::Spawn({ZORVAN_DIALER_BINARY, "--open", campaign, "--dial", "auto"}, home.path(), runtime.path(), true);
    ASSERT_GT(dialer, 0);

    // Every outcome reaches the file (the autosave writes within 10 s).
    const auto finished = [&] {
        const auto w = ReadCampaign(campaign);
        return w.size() == 11 && !w.at("Person").cstatus.empty() && !w.at("Machine").cstatus.empty() &&
               w.at("Busy").cstatus == "Line is Busy" && !w.at("Rejected").cstatus.empty() &&
               !w.at("Failure").cstatus.empty() && !w.at("NoAnswer").cstatus.empty() &&
               !w.at("Abroad").cstatus.empty() && Count(test::ReadFile(log), "<- CALL ") >= 10;
    };
    const bool done = test::WaitFor(finished, 150s);
    std::this_thread::sleep_for(1s);  // nothing more may follow
    ::kill(dialer, SIGTERM);
    EXPECT_EQ(test::WaitExit(dialer, 30s), 0);
    ::kill(sim, SIGTERM);
    test::WaitExit(sim, 10s);
    const std::string sims = test::ReadFile(log);
    ASSERT_TRUE(done) << sims;

    const auto w = ReadCampaign(campaign);
    test::ExpectStatuses(w, {{"Person", "Call Succeeded"}, {"Machine", "Answering Machine Succeeded*"},
                             {"Busy", "Line is Busy"}, {"NoAnswer", "Call Failed"}, {"Failure", "Call Failed"},
                             {"Rejected", "Invalid Phone Number"}, {"Listed", "DNC Number"}, {"Done", "Call Succeeded"},
                             {"NoPhone", ""}, {"Abroad", "Call Succeeded"}});
    EXPECT_EQ(w.at("Typo").cstatus, "Invalid Phone Number") << "no number the network could read";
    EXPECT_EQ(w.at("Typo").ctime, "") << "never called";
    EXPECT_EQ(w.at("Listed").ctime, "") << "never called";
    EXPECT_EQ(w.at("Done").ctime, "");
    for (const char* name : {"Person", "Machine", "Busy", "NoAnswer", "Failure", "Rejected"}) {
        EXPECT_TRUE(std::regex_match(w.at(name).ctime, std::regex("\\d\\d:\\d\\d:\\d\\d"))) << name;
    }

    // Dialled as often as the redial rule allows: busy and failed twice.
    const std::map<std::string, std::size_t> calls{{"+15550100001", 1}, {"+15550100002", 1}, {"+15550100003", 2},
                                                   {"+15550100004", 2}, {"+15550100005", 2}, {"+15550100006", 1},
                                                   {"+15550100007", 0}, {"+15550100008", 0},
                                                   {"+442079460958", 1}};
    for (const auto& [number, times] : calls) EXPECT_EQ(Count(sims, "<- CALL " + number + "\n"), times) << number;
    EXPECT_EQ(Count(sims, "<- CALL "), 10u) << "every number in E.164 form, and none for the typo";

    // Durations as the stand-in saw the answered calls last, within a second.
    const double person = Between(sims, "-> CALL 1001 STATUS INPROGRESS", "-> CALL 1001 STATUS FINISHED");
    const double machine = Between(sims, "-> CALL 1002 STATUS INPROGRESS", "-> CALL 1002 STATUS FINISHED");
    EXPECT_NEAR(Seconds(w.at("Person").ccon), person, 1.0);
    EXPECT_NEAR(Seconds(w.at("Machine").ccon), machine, 1.0);
    EXPECT_EQ(w.at("Busy").ccon, "") << "only answered calls have a duration";

    // The machine's greeting ended before ours went in, and we hung up after it.
    const auto routed = sims.find("<- ALTER CALL 1002 SET_INPUT SOUNDCARD=\"default\" PORT=\"");
    ASSERT_NE(routed, std::string::npos) << sims;
    const auto hangup = sims.find("<- alter call 1002 hangup", routed);
    EXPECT_NE(hangup, std::string::npos) << "hung up after the greeting";
    // The message goes in as the machine's beep ends (its greeting and the
    // beep are the whole of machine.wav), not seconds of silence later.
    int rate = 0;
    const double beepEnd = static_cast<double>(test::ReadWav(work / "machine.wav", &rate).size()) / rate;
    const double messageAt =
        Between(sims, "-> CALL 1002 STATUS INPROGRESS", "<- ALTER CALL 1002 SET_INPUT SOUNDCARD=\"default\" PORT");
    EXPECT_GT(beepEnd, 7.0);
    EXPECT_GE(messageAt, beepEnd - 0.3) << "not before the beep has ended";
    EXPECT_LE(messageAt, beepEnd + 1.0) << "the beep, not two seconds of silence, ends the wait";
    const auto sent = test::ReadWav(work / "reference.wav");
    const auto got = test::ReadWav(heard + "/heard-1002.wav");
    ASSERT_FALSE(sent.empty());
    ASSERT_GE(got.size(), sent.size() * 9 / 10);
    EXPECT_GE(test::PeakCorrelation(sent, got, 3200), 0.9);

    // The recordings of the answered calls: present, named for the contact,
    // decodable, as long as the calls.
    for (const char* name : {"Person", "Machine"}) EXPECT_EQ(w.at(name).recfile.rfind(recordings + "/", 0), 0u) << name;
    test::ExpectRecordings(w, {"Person", "Machine"}, work.path());
    EXPECT_EQ(w.at("Busy").recfile, "");
}

TEST(DialCampaign, ASecondStartHandsOpenAndDialToTheRunningDialer) {
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    test::TempDir home;
    test::TempDir runtime;
    test::TempDir work;
    const std::string scenario = work / "scenario.txt";
    test::WriteFile(scenario, "attach immediate\nnumber default ring 0.5 busy\n");
    const std::string log = work / "sim.log";
    const pid_t sim = test::Spawn({SKYPE_SIM_BINARY, "--scenario", scenario, "--log", log}, home.path(),
                                  runtime.path(), true);
    ASSERT_GT(sim, 0);
    ASSERT_TRUE(test::WaitFor([&] { return test::ReadFile(log).find("started as") != std::string::npos; }, 10s));
    const pid_t first = test::Spawn({ZORVAN_DIALER_BINARY}, home.path(), runtime.path(), true);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(test::WaitFor([&] { return test::ReadFile(log).find("<- GET CURRENTUSERHANDLE") != std::string::npos; },
                              20s));

    // A relative path, as typed in a shell: the running dialer gets it whole.
    test::WriteFile(work / "later.xml", "<?xml version=\"1.0\"?><dialer><contacts><c1><fname>Mia</fname>"
                                        "<phone>555 3000</phone></c1></contacts></dialer>");
    const std::string cwd = fs::current_path();
    fs::current_path(work.path());
    const pid_t second =
        test::Spawn({ZORVAN_DIALER_BINARY, "--open", "later.xml", "--dial", "auto"}, home.path(), runtime.path(), true);
    fs::current_path(cwd);
    ASSERT_GT(second, 0);
    EXPECT_EQ(test::WaitExit(second, 10s), 0);
    EXPECT_TRUE(test::WaitFor([&] { return test::ReadFile(log).find("<- CALL +15553000") != std::string::npos; }, 30s));
    EXPECT_TRUE(test::WaitFor(
        [&] { return test::ReadFile(work / "later.xml").find("<cstatus>Line is Busy</cstatus>") != std::string::npos; },
        30s));
    ::kill(first, SIGTERM);
    EXPECT_EQ(test::WaitExit(first, 30s), 0);
    ::kill(sim, SIGTERM);
    test::WaitExit(sim, 10s);
}

TEST(DialCampaign, OnlyContactsInsideTheirCallingHoursAreCalledAndNumbersGoOutAsE164) {
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    test::TempDir home;
    test::TempDir runtime;
    test::TempDir work;
    // Hours around London's present time: London is inside them, Tokyo
    // (eight or nine hours ahead) and New York (five behind) are not.
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const int london = calling_hours::LocalMinute("Europe/London", now);
    const auto clock = [](int minute) {
        minute = (minute + 1440) % 1440;
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d", minute / 60, minute % 60);
        return std::string(text);
    };
    const std::string scenario = work / "scenario.txt";
    test::WriteFile(scenario, "attach immediate\nnumber default ring 0.5 answer hangup-after 1\n");
    const std::string campaign = work / "hours.xml";
    test::WriteFile(campaign, "<?xml version=\"1.0\"?><dialer><contacts>"
                              "<c1><fname>Tokyo</fname><phone>+81 3-1234-5678</phone></c1>"
                              "<c2><fname>London</fname><phone>020 7946 0958</phone></c2>"
                              "<c3><fname>Typo</fname><phone>12</phone></c3>"
                              "<c4><fname>NewYork</fname><phone>+1 212 555 0123</phone></c4>"
                              "<c5><fname>Manchester</fname><phone>0161 496 0000</phone></c5>"
                              "</contacts></dialer>");
    test::WriteFile(home / ".config/Zorvan/conf.xml",
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dialer><conf><countrycode>+44</countrycode>"
                    "<waitforanswer>5</waitforanswer><callinterval>0</callinterval><donotpopcinfo>true</donotpopcinfo>"
                    "<callhours>true</callhours><callfrom>" + clock(london - 60) + "</callfrom><callto>" +
                        clock(london + 60) + "</callto></conf></dialer>");
    const std::string log = work / "sim.log";
    const pid_t sim = test::Spawn({SKYPE_SIM_BINARY, "--scenario", scenario, "--log", log}, home.path(),
                                  runtime.path(), true);
    ASSERT_GT(sim, 0);
    ASSERT_TRUE(test::WaitFor([&] { return test::ReadFile(log).find("started as") != std::string::npos; }, 10s));
    const pid_t dialer =
        test::Spawn({ZORVAN_DIALER_BINARY, "--open", campaign, "--dial", "auto"}, home.path(), runtime.path(), true);
    ASSERT_GT(dialer, 0);
    const bool called = test::WaitFor(
        [&] {
            const auto w = ReadCampaign(campaign);
            return w.size() == 5 && !w.at("London").cstatus.empty() && !w.at("Manchester").cstatus.empty() &&
                   !w.at("Typo").cstatus.empty();
        },
        60s);
    std::this_thread::sleep_for(2s);  // nothing more may follow
    const std::string sims = test::ReadFile(log);
    const auto w = ReadCampaign(campaign);
    ::kill(dialer, SIGTERM);
    EXPECT_EQ(test::WaitExit(dialer, 30s), 0);
    ::kill(sim, SIGTERM);
    test::WaitExit(sim, 10s);
    ASSERT_TRUE(called) << sims;
    EXPECT_EQ(Count(sims, "<- CALL +442079460958\n"), 1u) << sims;
    EXPECT_EQ(Count(sims, "<- CALL +441614960000\n"), 1u);
    EXPECT_EQ(Count(sims, "<- CALL "), 2u) << "Tokyo and New York wait for their hours";
    EXPECT_EQ(w.at("Typo").cstatus, "Invalid Phone Number");
    EXPECT_EQ(w.at("Tokyo").cstatus, "");
    EXPECT_EQ(w.at("NewYork").cstatus, "");
    EXPECT_EQ(w.at("London").cstatus, "Call Succeeded");
}

TEST(DialCampaign, TheCommandLineFollowsTheUsualConventions) {
    test::TempDir home;
    test::TempDir runtime;
    const auto run = [&](const std::string& args) {
        const std::string out = home / "out.txt";
        const std::string err = home / "err.txt";
        const int status = std::system(("env -i HOME='" + home.path() + "' XDG_RUNTIME_DIR='" + runtime.path() +
                                        "' QT_QPA_PLATFORM=offscreen '" ZORVAN_DIALER_BINARY "' " + args + " >'" +
                                        out + "' 2>'" + err + "'")
                                           .c_str());
        return std::make_tuple(WEXITSTATUS(status), test::ReadFile(out), test::ReadFile(err));
    };
    auto [code, out, err] = run("--help");
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("--open FILE"), std::string::npos);
    EXPECT_NE(out.find("--dial auto|semi"), std::string::npos);
    std::tie(code, out, err) = run("--version");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.rfind("zorvan-dialer ", 0), 0u);
    std::tie(code, out, err) = run("--dial sometimes");
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(err.find("'--dial' takes 'auto' or 'semi'"), std::string::npos) << err;
    std::tie(code, out, err) = run("--open /nonexistent/campaign.xml");
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("/nonexistent/campaign.xml"), std::string::npos) << err;
    std::tie(code, out, err) = run("--frobnicate");
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("unknown option '--frobnicate'"), std::string::npos) << err;
    std::tie(code, out, err) = run("--open");
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("needs a value"), std::string::npos) << err;
}

}  // namespace
}  // namespace zorvan
