// The contact grid at scale, under Qt's offscreen platform: a campaign of
// 100 000 contacts from its file to a grid ready to scroll, the process's
// memory then, a rebuild after a column change and a row edit reaching the
// campaign file's document. A plain pugixml parse of the same file is
// printed beside them as the floor. Every figure next to its goal.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "app/campaign_room.h"
#include "bench_support.h"
#include "data/campaign_io.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/xml_memory.h"
#include "platform/prompts.h"
#include "platform/qt/qt_event_loop.h"
#include "ui/campaign_model.h"
#include "ui/contact_grid.h"

namespace {

namespace fs = std::filesystem;
using namespace zorvan;
using namespace zorvan::bench;


}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UseLargePagesForXml();  // as the program does
    const fs::path dir = fs::temp_directory_path() / "zorvan-grid-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    constexpr int kContacts = 100000;
    const std::string campaign = (dir / "campaign.xml").string();
    {
        // Written as text, so that making the file adds nothing to the
        // memory measured below.
        std::ofstream out(campaign);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<dialer><contacts>";
        for (int i = 0; i < kContacts; ++i) {
            const Contact c = MakeContact(i);
            out << "<c" << std::hex << c.id << std::dec << ">";
            for (const ContactField& field : kContactFields) {
                out << "<" << field.key << ">" << c.*field.member << "</" << field.key << ">";
            }
            out << "</c" << std::hex << c.id << std::dec << ">\n";
        }
        out << "</contacts></dialer>\n";
    }
    std::printf("campaign of %d contacts: %.1f MB\n", kContacts, static_cast<double>(fs::file_size(campaign)) / 1e6);

    // The floor: the same file parsed by pugixml alone.
    {
        const auto start = Clock::now();
        pugi::xml_document doc;
        doc.load_file(campaign.c_str());
        Report("pugixml parse of the file", Seconds(start), "s", 0);
    }

    QtEventLoop loop;
    NoPrompts prompts;
    ContactList contacts;
    CampaignStore::Replace();
    CampaignRoom room(CampaignRoom::Services{loop, prompts, contacts, (dir.string() + "/"), kNoTarget, {}, {}, {}, nullptr},
                      nullptr);
    ui::ContactGrid& grid = room.grid();
    grid.resize(1000, 600);
    grid.show();
    QCoreApplication::processEvents();

    // From the file to a grid ready to scroll: read on the worker, rows in
    // the model, the view laid out and scrolled to the end.
    const auto openStart = Clock::now();
    room.Open(campaign);
    while (room.rows().count() < static_cast<std::size_t>(kContacts)) QCoreApplication::processEvents();
    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    QCoreApplication::processEvents();
    Report("file to a grid ready to scroll (100 000)", Seconds(openStart), "s", 2.0);
    room.WaitForFileWork(10);
    Report("... and the file rewritten under the ids", Seconds(openStart), "s", -1);
    Report("resident memory with the campaign open", static_cast<double>(RssKb()) / 1024.0, "MB", 350);

    // A column change: every row's texts again, the ids kept.
    {
        const auto start = Clock::now();
        room.ApplyColumns(true, "11111111111111");
        QCoreApplication::processEvents();
        Report("rebuild after a column change", Seconds(start), "s", 1.0);
    }

    // A row edit, from the cell to the campaign document.
    {
        constexpr int kEdits = 2000;
        ui::CampaignModel& model = room.model();
        model.SetEdited([&room](std::int32_t id) { room.RowEdited(id); });
        const auto start = Clock::now();
        for (int i = 0; i < kEdits; ++i) {
            const std::int32_t id = room.rows().IdAt(static_cast<std::size_t>((i * 7919) % kContacts));
            model.setData(model.IndexOf(id, 0), QStringLiteral("Edited %1").arg(i), Qt::EditRole);
        }
        Report("row edit reaching the store", Seconds(start) / kEdits * 1000.0, "ms", 1.0);
    }
    CampaignStore::Destroy();
    fs::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
