// The real program, started as a user would start it, in a home folder of
// its own under Qt's offscreen platform.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <map>
#include <pugixml.hpp>

#include "support/conf_checks.h"
#include "support/process_support.h"
#include "support/temp_dir.h"

extern char** environ;

namespace zorvan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Spawn;
using test::Start;
using test::WaitExit;
using test::WaitFor;

std::size_t CountEntries(const std::string& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(folder)) ++n;
    return n;
}

TEST(Program, FirstStartWritesTheSettingsAtSigtermAndASecondStartOnlyActivatesIt) {
    test::TempDir home;
    test::TempDir runtime;
    const pid_t first = Start(home.path(), runtime.path());
    ASSERT_GT(first, 0);
    // The documents sub-folder is made during the window's start-up.
    ASSERT_TRUE(WaitFor([&] { return fs::is_directory(home / "Documents/Zorvan"); }, 20s));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(runtime / ("ZORVANDIALER-" + std::to_string(::getuid()))); }, 20s));

    test::TempDir secondHome;
    const auto started = std::chrono::steady_clock::now();
    const pid_t second = Start(secondHome.path(), runtime.path());
    ASSERT_GT(second, 0);
    EXPECT_EQ(WaitExit(second, 10s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(CountEntries(secondHome.path()), 0u) << "the second start creates nothing";

    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(::kill(first, SIGTERM), 0);
    EXPECT_EQ(WaitExit(first, 20s), 0) << "SIGTERM runs the orderly shutdown";

    const std::string conf = home / ".config/Zorvan/conf.xml";
    ASSERT_TRUE(fs::exists(conf));
    test::ExpectFirstStartConf(test::ReadFile(conf), home / "Documents/Zorvan/", true);
    std::size_t inConfig = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(home / ".config/Zorvan")) ++inConfig;
    EXPECT_EQ(inConfig, 1u) << "only conf.xml: no temporary file is left";
}

TEST(Program, SigintEndsTheProgramLikeExit) {
    test::TempDir home;
    test::TempDir runtime;
    const pid_t pid = Start(home.path(), runtime.path());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::is_directory(home / "Documents/Zorvan"); }, 20s));
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    EXPECT_EQ(WaitExit(pid, 20s), 0);
    EXPECT_TRUE(fs::exists(home / ".config/Zorvan/conf.xml"));
}

// The contacts of a campaign file: each one's fields by name, in file order.
std::vector<std::map<std::string, std::string>> Contacts(const std::string& path) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(path.c_str())) << path;
    std::vector<std::map<std::string, std::string>> out;
    for (pugi::xml_node c : doc.child("dialer").child("contacts").children()) {
        std::map<std::string, std::string> fields;
        for (pugi::xml_node f : c.children()) fields[f.name()] = f.text().get();
        out.push_back(fields);
    }
    return out;
}

TEST(Program, TheLastCampaignOpensAtStartAndTheExitWritesTheSameContactsBack) {
    test::TempDir home;
    test::TempDir runtime;
    fs::create_directories(home / "Documents/Zorvan");
    fs::create_directories(home / ".config/Zorvan");
    const std::string campaign = home / "Documents/Zorvan/Kampagne März.xml";
    // A file edited by hand: fields in another order, some missing, other
    // element names, names beyond ASCII, a contact without a phone.
    test::WriteFile(campaign,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dialer>\n <contacts>\n"
                    "  <contact><phone>+49 30 555 0101</phone><fname>Jürgen</fname><lname>Weiß</lname>"
                    "<notes>Rückruf &amp; Angebot</notes><cstatus>Call Succeeded</cstatus><ccon>00:02:10</ccon>"
                    "<ctime>09:15:00</ctime><recfile>/rec/j.mp3</recfile><email>j@example.de</email>"
                    "<website>w</website><fax>f</fax><company>Bäckerei</company><job>Chef</job><street>Hauptstr. 1"
                    "</street><city>Köln</city><state>NRW</state><country>DE</country><zip>50667</zip>"
                    "<others>x ,y</others></contact>\n"
                    "  <c7><fname>山田</fname><lname>太郎</lname><phone></phone><notes>no number yet</notes></c7>\n"
                    "  <c2><lname>Ó Súilleabháin</lname><fname>Siobhán</fname><phone>(416) 555-0107</phone></c2>\n"
                    " </contacts>\n</dialer>\n");
    test::WriteFile(home / ".config/Zorvan/conf.xml",
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dialer><conf><lastcamp>" + campaign +
                        "</lastcamp></conf></dialer>");
    auto before = Contacts(campaign);
    ASSERT_EQ(before.size(), 3u);
    const pid_t pid = Start(home.path(), runtime.path());
    ASSERT_GT(pid, 0);
    // Opening rewrites the file under the contacts' ids.
    ASSERT_TRUE(WaitFor([&] { return test::ReadFile(campaign).find("<c1>") != std::string::npos; }, 20s));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitExit(pid, 20s), 0);
    const auto after = Contacts(campaign);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].size(), 19u) << "every field written";
        for (const auto& [key, value] : after[i]) {
            const auto it = before[i].find(key);
            EXPECT_EQ(value, it == before[i].end() ? std::string() : it->second) << "contact " << i << " " << key;
        }
    }
    EXPECT_NE(test::ReadFile(home / ".config/Zorvan/conf.xml").find(campaign), std::string::npos);
}

// Needs a session bus: ctest runs it inside dbus-run-session.
TEST(ProgramOnBus, AttachesToTheStandInAndKeepsTheLinkAlive) {
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    test::TempDir home;
    test::TempDir runtime;
    const std::string log = home / "skype-sim.log";
    const pid_t sim = Spawn({SKYPE_SIM_BINARY, "--log", log}, home.path(), runtime.path(), true);
    ASSERT_GT(sim, 0);
    ASSERT_TRUE(WaitFor([&] { return test::ReadFile(log).find("started as") != std::string::npos; }, 10s));
    const pid_t dialer = Start(home.path(), runtime.path(), true);
    ASSERT_GT(dialer, 0);
    // The four questions at once, then a PING on the first keep-alive tick.
    EXPECT_TRUE(WaitFor([&] { return test::ReadFile(log).find("<- PING") != std::string::npos; }, 20s));
    const std::string received = test::ReadFile(log);
    std::size_t at = 0;
    for (const char* command : {"<- GET SKYPEVERSION", "<- GET CONNSTATUS", "<- GET USERSTATUS",
                                "<- GET CURRENTUSERHANDLE", "<- PING"}) {
        at = received.find(command, at);
        EXPECT_NE(at, std::string::npos) << command << "\n" << received;
    }
    ::kill(dialer, SIGTERM);
    EXPECT_EQ(WaitExit(dialer, 20s), 0);
    ::kill(sim, SIGTERM);
    WaitExit(sim, 10s);
}

}  // namespace
}  // namespace zorvan
