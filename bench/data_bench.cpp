// Campaign data at scale: a campaign of 100 000 contacts, a CSV file of
// 100 000 rows and a do-not-call file of 1 000 000 numbers. Prints every
// figure next to its goal.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "data/campaign_io.h"
#include "data/campaign_store.h"
#include "data/do_not_call.h"
#include "data/text_file.h"
#include "data/xml_memory.h"
#include "platform/virtual_event_loop.h"

namespace {

namespace fs = std::filesystem;
using namespace zorvan;
using namespace zorvan::bench;

}  // namespace

int main() {
    UseLargePagesForXml();  // as the program does
    const fs::path dir = fs::temp_directory_path() / "zorvan-data-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    constexpr int kContacts = 100000;
    std::vector<Contact> contacts;
    contacts.reserve(kContacts);
    for (int i = 0; i < kContacts; ++i) contacts.push_back(MakeContact(i));
    VirtualEventLoop loop;
    CampaignHooks hooks{loop, kNoTarget, {}, {}, {}};
    const std::string campaign = (dir / "campaign.xml").string();
    WriteOutCampaign(campaign, hooks, contacts, true);
    CampaignStore::Destroy();
    std::printf("campaign of %d contacts: %.1f MB\n", kContacts, static_cast<double>(fs::file_size(campaign)) / 1e6);

    {
        const long before = RssKb();
        auto start = Clock::now();
        auto store = std::make_shared<CampaignStore>();
        store->Open(campaign);
        const int count = store->ContactCount();
        Contact c;
        for (int i = 0; i < count; ++i) store->ReadContact(i, c);
        Report("open 100 000 contacts (parse, read each)", Seconds(start), "s", 1.5);
        Report("memory of the open store", static_cast<double>(RssKb() - before) / 1024.0, "MB", 200);

        constexpr int kRounds = 20000;
        start = Clock::now();
        for (int i = 0; i < kRounds; ++i) store->SetStatus(kContacts, i % 2 ? "Line is Busy" : "Call Failed");
        Report("SetStatus on the last contact", Seconds(start) / kRounds * 1e6, "us", 50);
    }

    {
        const auto start = Clock::now();
        WriteOutCampaign(campaign, hooks, contacts, true);
        Report("whole write-out of 100 000 contacts", Seconds(start), "s", 1.0);
        CampaignStore::Destroy();
    }

    {
        const std::string csv = (dir / "contacts.csv").string();
        CCSVFile out = CCSVFile::CreateForWriting(csv);
        for (const Contact& c : contacts) out.WriteRow({c.fname, c.lname, c.phone, c.email, c.company, c.city, c.notes});
        out.Close();
        const auto start = Clock::now();
        CCSVFile in = CCSVFile::OpenForReading(csv);
        std::vector<std::string> row;
        std::size_t rows = 0;
        while (in.ReadRow(row)) ++rows;
        Report("read a 100 000-row CSV file", Seconds(start), "s", 1.0);
        if (rows != contacts.size()) std::printf("  (read %zu rows!)\n", rows);
    }

    {
        constexpr int kNumbers = 1000000;
        const std::string file = (dir / "dnc.csv").string();
        std::mt19937 random(1);
        std::vector<std::string> numbers;
        {
            std::ofstream out(file);
            for (int i = 0; i < kNumbers; ++i) {
                const std::string area = std::to_string(200 + random() % 800);
                const std::string local = std::to_string(1000000 + random() % 9000000);
                out << area << ',' << local << "\r\n";
                if (i % 100 == 0) numbers.push_back(area + "-" + local);
            }
        }
        auto start = Clock::now();
        DoNotCallList list;
        list.Replace(ReadDoNotCallFile(file));
        Report("load 1 000 000 do-not-call numbers", Seconds(start), "s", 1.5);

        std::vector<double> times;
        for (int i = 0; i < 20000; ++i) {
            const std::string phone = (i % 2 == 0) ? "+1 " + numbers[static_cast<std::size_t>(i / 2) % numbers.size()]
                                                   : "+1 (" + std::to_string(200 + random() % 800) + ") " +
                                                         std::to_string(1000000 + random() % 9000000);
            start = Clock::now();
            volatile bool hit = list.Contains(phone);
            static_cast<void>(hit);
            times.push_back(Seconds(start) * 1e6);
        }
        std::nth_element(times.begin(), times.begin() + static_cast<long>(times.size() / 2), times.end());
        Report("Contains, median", times[times.size() / 2], "us", 20);
    }
    fs::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
