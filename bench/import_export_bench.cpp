// A 100 000-row CSV file imported into the grid of a campaign with a file,
// and the CSV export and the HTML report of 100 000 contacts, each next to
// its goal (Qt offscreen for the grid).
#include <QApplication>
#include <QScrollBar>

#include <filesystem>
#include <vector>

#include "app/campaign_room.h"
#include "bench_support.h"
#include "data/campaign_convert.h"
#include "data/campaign_store.h"
#include "data/contact_import.h"
#include "data/contact_list.h"
#include "data/exports.h"
#include "data/text_file.h"
#include "data/xml_memory.h"
#include "platform/prompts.h"
#include "platform/qt/qt_event_loop.h"
#include "ui/contact_grid.h"

namespace {

namespace fs = std::filesystem;
using namespace zorvan;
using namespace zorvan::bench;


}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UseLargePagesForXml();
    const fs::path dir = fs::temp_directory_path() / "zorvan-import-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    constexpr int kContacts = 100000;

    // The file to import, as a spreadsheet saves it (UTF-16 with a header).
    const std::string csv = dir / "contacts.csv";
    {
        CCSVFile file = CCSVFile::CreateForWriting(csv);
        file.WriteRow({"First Name", "Last Name", "Phone Number", "Email", "Company", "City", "Notes", "Source"});
        for (int i = 0; i < kContacts; ++i) {
            const Contact c = MakeContact(i);
            file.WriteRow({c.fname, c.lname, c.phone, c.email, c.company, c.city, c.notes, "fair 2026"});
        }
        file.Close();
    }
    std::printf("CSV of %d rows: %.1f MB\n", kContacts, static_cast<double>(fs::file_size(csv)) / 1e6);

    QtEventLoop loop;
    NoPrompts prompts;
    ContactList contacts;
    CampaignStore::Replace()->Bind(dir / "campaign.xml");
    CampaignRoom room(CampaignRoom::Services{loop, prompts, contacts, (dir.string() + "/"), kNoTarget, {}, {}, {}, nullptr},
                      nullptr);
    ui::ContactGrid& grid = room.grid();
    grid.resize(1000, 600);
    grid.show();
    QCoreApplication::processEvents();

    const auto start = Clock::now();
    std::vector<std::vector<std::string>> rows = ReadCsvRows(csv);
    const double read = Seconds(start);
    const ImportMapping mapping = DetectHeader(rows.front());
    rows.erase(rows.begin());
    std::vector<Contact> converted = ConvertRows(std::move(rows), mapping);
    const double convert = Seconds(start) - read;
    const auto intoGrid = Clock::now();
    room.ImportContacts(std::move(converted));
    const double imported = Seconds(intoGrid);
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    QCoreApplication::processEvents();
    Report("CSV file read (100 000 rows, UTF-16)", read, "s", -1);
    Report("rows converted to contacts", convert, "s", -1);
    Report("contacts into the grid and the list", imported, "s", -1);
    Report("CSV import into the grid and the campaign (100 000)", Seconds(start), "s", 2.0);

    const std::vector<Contact> all = contacts.Snapshot();
    {
        const auto t = Clock::now();
        WriteCsvExport(dir / "export.csv", all, CsvHeading::CallStatus);
        Report("CSV export of 100 000 contacts", Seconds(t), "s", 1.0);
    }
    {
        const auto t = Clock::now();
        WriteHtmlReport(dir / "report.html", all);
        Report("HTML report of 100 000 contacts", Seconds(t), "s", 1.0);
    }
    room.WaitForFileWork(10);
    fs::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
