#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>
#include <thread>

#include "data/campaign_io.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/fake_skype_transport.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

Contact Person(std::int32_t id, const std::string& name) {
    Contact c;
    c.id = id;
    c.fname = name;
    c.lname = "Doe";
    c.phone = "+1 (416) 555-" + std::to_string(1000 + id);
    c.notes = "likes <b>tea</b>, & \"coffee\"";
    c.ccon = "00:01:0" + std::to_string(id % 10);
    return c;
}

// The contact elements of a campaign file, as (name, field names in order).
std::vector<std::pair<std::string, std::vector<std::string>>> Structure(const std::string& path) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(path.c_str())) << path;
    EXPECT_STREQ(doc.document_element().name(), "dialer");
    std::vector<std::pair<std::string, std::vector<std::string>>> out;
    for (pugi::xml_node c : doc.document_element().child("contacts").children()) {
        std::vector<std::string> fields;
        for (pugi::xml_node f : c.children()) fields.emplace_back(f.name());
        out.emplace_back(c.name(), fields);
    }
    return out;
}

const std::vector<std::string> kFieldOrder{"fname", "lname", "phone", "email", "website", "fax", "company",
                                           "job", "street", "city", "state", "country", "zip", "notes",
                                           "cstatus", "ctime", "ccon", "recfile", "others"};

struct Campaign {
    test::TempDir dir;
    VirtualEventLoop loop;
    test::EventLog busy;
    ScopedTarget busyTarget{loop, busy};
    test::FakePrompts prompts;
    ContactList contacts;
    std::int32_t nextId = 100;
    CampaignHooks hooks{loop, busyTarget.id(), [] {}, [this](const Contact&) { return nextId++; }, [] {}};

    Campaign() { CampaignStore::Destroy(); }
    ~Campaign() { CampaignStore::Destroy(); }
};

TEST(CampaignStore, WritesTheFileFormatAndFindsContactsById) {
    Campaign c;
    auto store = CampaignStore::Instance();
    EXPECT_TRUE(store->modified()) << "a new store starts modified";
    const std::string path = c.dir / "campaign.xml";
    store->Open(path);
    for (int id : {0x1a, 0x2b, 0x3c}) store->WriteContact(Person(id, "P" + std::to_string(id)), true);
    ASSERT_TRUE(store->SaveIfModified());
    EXPECT_FALSE(store->modified());
    EXPECT_EQ(test::ReadFile(path).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>", 0), 0u);
    const auto structure = Structure(path);
    ASSERT_EQ(structure.size(), 3u);
    EXPECT_EQ(structure[0].first, "c1a");
    EXPECT_EQ(structure[2].first, "c3c");
    for (const auto& [name, fields] : structure) EXPECT_EQ(fields, kFieldOrder) << name;
    EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0) << "xmllint accepts the file";

    EXPECT_TRUE(store->SetStatus(0x3c, "Call Succeeded"));
    EXPECT_TRUE(store->SetCallTime(0x3c, "12:00:01"));
    EXPECT_TRUE(store->SetDuration(0x3c, "00:00:42"));
    EXPECT_TRUE(store->UpdateCallInfo(0x2b, "Bo", "B", "1", "n", "s", "00:00:01"));
    Contact read;
    ASSERT_TRUE(store->ReadContact(2, read));
    EXPECT_EQ(read.cstatus, "Call Succeeded");
    EXPECT_EQ(read.ctime, "12:00:01");
    EXPECT_EQ(read.ccon, "00:00:42");
    EXPECT_EQ(read.notes, Person(0x3c, "").notes);

    ASSERT_TRUE(store->SaveIfModified());
    EXPECT_FALSE(store->SetStatus(0x99, "x")) << "an unknown id";
    EXPECT_TRUE(store->modified()) << "still marked modified";
    EXPECT_TRUE(store->DeleteContact(0x2b));
    EXPECT_FALSE(store->DeleteContact(0x2b));
    EXPECT_EQ(store->ContactCount(), 2);
}

TEST(CampaignStore, FirstElementOfANameWinsAlsoAfterADeletion) {
    Campaign c;
    auto store = CampaignStore::Instance();
    const std::string path = c.dir / "dup.xml";
    test::WriteFile(path, "<dialer><contacts><c5><fname>first</fname></c5><c5><fname>second</fname></c5></contacts></dialer>");
    ASSERT_TRUE(store->Open(path));
    ASSERT_TRUE(store->SetStatus(5, "A"));
    Contact first;
    store->ReadContact(0, first);
    EXPECT_EQ(first.cstatus, "A");
    ASSERT_TRUE(store->DeleteContact(5));
    ASSERT_TRUE(store->SetStatus(5, "B"));
    Contact second;
    store->ReadContact(0, second);
    EXPECT_EQ(second.fname, "second");
    EXPECT_EQ(second.cstatus, "B");
}

TEST(CampaignOpen, RenamesTheContactsAndRewritesTheFileWithEveryField) {
    Campaign c;
    const std::string path = c.dir / "old.xml";
    test::WriteFile(path,
                    "<?xml version=\"1.0\"?><dialer><contacts>"
                    "<contact><fname>Ann</fname><phone>111</phone><cstatus>Line is Busy</cstatus></contact>"
                    "<c1><lname>Bee</lname></c1>"
                    "</contacts></dialer>");
    ASSERT_EQ(OpenCampaign(path, c.hooks, c.contacts, c.prompts), CampaignOpenResult::Opened);
    const auto list = c.contacts.Snapshot();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, 100);
    EXPECT_EQ(list[0].fname, "Ann");
    EXPECT_EQ(list[0].cstatus, "Line is Busy");
    EXPECT_EQ(list[1].lname, "Bee");
    EXPECT_EQ(list[1].ccon, "") << "a missing field reads as empty";
    const auto structure = Structure(path);
    ASSERT_EQ(structure.size(), 2u);
    EXPECT_EQ(structure[0].first, "c64");
    EXPECT_EQ(structure[1].first, "c65");
    EXPECT_EQ(structure[1].second, kFieldOrder);
    EXPECT_EQ(c.busy.Take().size(), 0u) << "busy events wait for the loop";
    c.loop.runPending();
    EXPECT_EQ(c.busy.Take(), (std::vector<Event>{{um::UM_BUSY, 1, 0}, {um::UM_BUSY, 0, 0}}));

    // The store is bound to the file under the new ids.
    auto store = CampaignStore::Current();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->path(), path);
    EXPECT_TRUE(store->SetStatus(101, "Call Failed"));
    EXPECT_EQ(OpenCampaign(c.dir / "nothing.xml", c.hooks, c.contacts, c.prompts), CampaignOpenResult::NoFile);
    EXPECT_EQ(CampaignStore::Current(), store) << "a missing file changes nothing";
}

TEST(CampaignOpen, AnUnreadableFileIsRefusedAndLeftAlone) {
    Campaign c;
    auto store = CampaignStore::Instance();
    c.contacts.Append(Person(1, "Kept"));
    const std::string path = c.dir / "broken.xml";
    const std::string broken = "<dialer><contacts><c1><fname>Half";
    test::WriteFile(path, broken);
    EXPECT_EQ(OpenCampaign(path, c.hooks, c.contacts, c.prompts), CampaignOpenResult::Unreadable);
    EXPECT_EQ(test::ReadFile(path), broken);
    EXPECT_EQ(c.contacts.Count(), 1u);
    EXPECT_EQ(CampaignStore::Current(), store);
    ASSERT_EQ(c.prompts.asked.size(), 1u);
    EXPECT_NE(c.prompts.asked[0].text.find(path), std::string::npos);
}

TEST(CampaignOpen, AnXmlFileThatIsNoCampaignIsRefusedNotEmptied) {
    Campaign c;
    // The settings file shares the root's name; contacts without their
    // "contacts" element, a file of another program: none is a campaign,
    // and none may be rewritten as an empty one.
    const std::vector<std::string> others{
        "<?xml version=\"1.0\"?><dialer><countrycode>+1</countrycode><redial>2</redial></dialer>",
        "<dialer><contact1><phone>5550001</phone></contact1></dialer>",
        "<catalog><book>1</book></catalog>"};
    for (const std::string& text : others) {
        const std::string path = c.dir / "other.xml";
        test::WriteFile(path, text);
        const CampaignFileRead read = ReadCampaignFile(path);
        EXPECT_EQ(read.result, CampaignOpenResult::Unreadable) << text;
        EXPECT_EQ(test::ReadFile(path), text);
    }
    for (const std::string& empty : {std::string("<dialer/>"), std::string("<dialer><contacts/></dialer>")}) {
        const std::string path = c.dir / "empty.xml";
        test::WriteFile(path, empty);
        EXPECT_EQ(ReadCampaignFile(path).result, CampaignOpenResult::Opened) << empty;
        // Opened, renumbered and written back, it is still a campaign.
        EXPECT_EQ(OpenCampaign(path, c.hooks, c.contacts, c.prompts), CampaignOpenResult::Opened);
        CampaignStore::Destroy();
        EXPECT_EQ(ReadCampaignFile(path).result, CampaignOpenResult::Opened) << test::ReadFile(path);
    }
}

TEST(CampaignOpen, AReadOnlyFileStaysAndTheStoreKeepsItsChangesForLater) {
    Campaign c;
    const std::string path = c.dir / "ro.xml";
    test::WriteFile(path, "<dialer><contacts><c1><fname>Ann</fname></c1></contacts></dialer>");
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(OpenCampaign(path, c.hooks, c.contacts, c.prompts), CampaignOpenResult::NotSaved);
    EXPECT_EQ(c.contacts.Count(), 1u);
    auto store = CampaignStore::Current();
    EXPECT_EQ(store->path(), path) << "still bound to its file";
    EXPECT_TRUE(store->modified()) << "the unsaved changes are not forgotten";
    ::chmod(path.c_str(), 0644);
    EXPECT_TRUE(store->SaveIfModified());
    EXPECT_EQ(Structure(path)[0].first, "c64");
}

TEST(CampaignWriteOut, ExportKeepsWhatIsThereAndExitRewritesTheFileWhole) {
    Campaign c;
    const std::string existing = c.dir / "existing.xml";
    test::WriteFile(existing, "<dialer><contacts><c9><fname>Other</fname></c9></contacts></dialer>");
    const std::vector<Contact> list{Person(1, "A"), Person(2, "B")};
    ASSERT_TRUE(WriteOutCampaign(existing, c.hooks, list, false));
    EXPECT_EQ(Structure(existing).size(), 3u) << "the file's own contacts stay";
    EXPECT_EQ(CampaignStore::Current()->path(), existing) << "the store follows the exported file";

    const std::string fresh = c.dir / "fresh.xml";
    ASSERT_TRUE(WriteOutCampaign(fresh, c.hooks, list, false));
    ASSERT_TRUE(WriteOutCampaign(fresh, c.hooks, list, false));
    EXPECT_EQ(Structure(fresh).size(), 2u) << "twice into the same file: one element per contact";

    ASSERT_TRUE(WriteOutCampaign(existing, c.hooks, {Person(3, "C")}, true));
    EXPECT_EQ(Structure(existing).size(), 1u) << "at exit the file holds exactly the list";
    c.loop.runPending();
    EXPECT_EQ(c.busy.Take().size(), 6u) << "each export posts busy twice, the exit write-out never";
}

TEST(CampaignStore, ReplacingTheStoreWhileOtherThreadsUpdateItIsSafe) {
    Campaign c;
    const std::string path = c.dir / "busy.xml";
    CampaignStore::Instance()->Open(path);
    for (int i = 0; i < 50; ++i) CampaignStore::Instance()->WriteContact(Person(i, "x"), true);
    std::vector<Contact> list;
    for (int i = 0; i < 50; ++i) list.push_back(Person(i, "y"));

    // Each worker sets statuses on whatever store is current. It remembers
    // the ids it was told were set on the last store, once that one is known.
    constexpr int kWorkers = 3;
    std::atomic<bool> stop{false};
    std::atomic<CampaignStore*> last{nullptr};
    std::atomic<int> setOnLast[kWorkers] = {};
    std::atomic<int> accepted[kWorkers] = {};
    std::vector<std::vector<int>> idsOnLast(kWorkers);
    std::vector<std::thread> workers;
    for (int t = 0; t < kWorkers; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                const int id = (i * 7 + t) % 50;
                // Read before the change: a store known as the last one then
                // had its write-out behind it when the status was set.
                CampaignStore* const known = last.load();
                const auto store = CampaignStore::Current();
                if (!store || !store->SetStatus(id, "s" + std::to_string(t))) continue;
                ++accepted[t];
                // `store` is alive here, and so is the last store (the test
                // holds it): equal addresses mean the same store.
                if (store.get() == known) {
                    idsOnLast[static_cast<std::size_t>(t)].push_back(id);
                    ++setOnLast[t];
                }
            }
        });
    }
    int written = 0;
    for (int round = 0; round < 50; ++round) written += WriteOutCampaign(path, c.hooks, list, false) ? 1 : 0;
    const auto lastStore = CampaignStore::Current();
    ASSERT_TRUE(lastStore);
    last = lastStore.get();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto allSetOnLast = [&] {
        for (const auto& n : setOnLast) {
            if (n < 5) return false;
        }
        return true;
    };
    while (!allSetOnLast() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    stop = true;
    for (auto& w : workers) w.join();

    EXPECT_EQ(written, 50) << "every write-out reported as saved";
    for (int t = 0; t < kWorkers; ++t) {
        EXPECT_GT(accepted[t], 0) << "worker " << t << " never got a status accepted";
        EXPECT_GE(setOnLast[t], 5) << "worker " << t << " on the last store";
    }
    // Retiring the last store saves it: every status it accepted is in the
    // file, on the contact it was meant for, and the list's names are there.
    CampaignStore::Destroy();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(path.c_str()));
    const pugi::xml_node contacts = doc.document_element().child("contacts");
    EXPECT_EQ(Structure(path).size(), 50u);
    for (int i = 0; i < 50; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "c%x", i);
        EXPECT_STREQ(contacts.child(name).child_value("fname"), "y") << name;
    }
    for (int t = 0; t < kWorkers; ++t) {
        for (const int id : idsOnLast[static_cast<std::size_t>(t)]) {
            char name[16];
            std::snprintf(name, sizeof name, "c%x", id);
            const std::string status = contacts.child(name).child_value("cstatus");
            EXPECT_EQ(status.size(), 2u) << name;
            EXPECT_EQ(status[0], 's') << name << ": " << status;
        }
    }

    EXPECT_FALSE(lastStore->SetStatus(1, "late")) << "a retired store takes no more changes";
}

// The folder's entries, sorted.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CampaignWriteOut, AWriteThatFailsPartWayLeavesTheOldFileWholeAndNoTemporaryFile) {
    Campaign c;
    const std::string path = c.dir / "campaign.xml";
    std::vector<Contact> old;
    for (int i = 0; i < 200; ++i) old.push_back(Person(i, "Old" + std::to_string(i)));
    ASSERT_TRUE(WriteOutCampaign(path, c.hooks, old, true));
    CampaignStore::Destroy();
    const std::string whole = test::ReadFile(path);
    ASSERT_EQ(Structure(path).size(), 200u);

    // Ten times as many contacts; the child may not make a file even half
    // as big as the old one, so the write fails part-way, after the first
    // bytes of the new content have gone out.
    std::vector<Contact> bigger;
    for (int i = 0; i < 2000; ++i) bigger.push_back(Person(i, "New" + std::to_string(i)));
    const rlim_t limit = whole.size() / 2;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing the process
        const rlimit fileSize{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) ::_exit(3);
        const bool saved = WriteOutCampaign(path, c.hooks, bigger, true);
        ::_exit(saved ? 1 : 0);  // no destructors: the child's store must not try again
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    ASSERT_NE(WEXITSTATUS(status), 3) << "setrlimit failed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write is reported as a failure";
    EXPECT_TRUE(test::ReadFile(path) == whole) << "the old campaign file is whole";
    EXPECT_EQ(Structure(path).size(), 200u);
    EXPECT_EQ(Entries(c.dir.path()), std::vector<std::string>{"campaign.xml"}) << "no temporary file is left";

    // Without the limit the same write goes through.
    ASSERT_TRUE(WriteOutCampaign(path, c.hooks, bigger, true));
    EXPECT_EQ(Structure(path).size(), 2000u);
    EXPECT_GT(test::ReadFile(path).size(), static_cast<std::size_t>(limit));
    EXPECT_EQ(Entries(c.dir.path()), std::vector<std::string>{"campaign.xml"});
}

}  // namespace
}  // namespace zorvan
