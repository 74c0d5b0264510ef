// The main window's campaign commands and grid, under Qt's offscreen
// platform, with the dialogs answered from a script.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <pugixml.hpp>

#include "app/campaign_room.h"
#include "app/dialer_dlg.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/settings.h"
#include "platform/folders.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/um_events.h"
#include "platform/virtual_event_loop.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "ui/campaign_model.h"
#include "ui/clickable_label.h"
#include "ui/contact_grid.h"
#include "ui/dlg_customize_columns.h"
#include "ui/status_dialogs.h"

namespace zorvan {
namespace {

namespace fs = std::filesystem;
using test::FakePrompts;
using test::WaitUntil;

struct Window {
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, true, {}, nullptr}};

    std::string documents() const { return home / "Documents/Zorvan/"; }
    CampaignRoom& room() { return *dlg.campaign(); }
    // Lets the window's events run until no file work is left.
    void Settle() {
        ASSERT_TRUE(WaitUntil([&] { return !room().fileWorkRunning(); }, 10000));
        QCoreApplication::processEvents();
    }
    std::string path() const { return dlg.view().campaignPath->text().trimmed().toStdString(); }
};

struct FileContact {
    std::string name;  // the element's name
    std::map<std::string, std::string> fields;
};

std::vector<FileContact> ReadContacts(const std::string& path) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(path.c_str())) << path;
    std::vector<FileContact> out;
    for (pugi::xml_node c : doc.child("dialer").child("contacts").children()) {
        FileContact contact{c.name(), {}};
        for (pugi::xml_node f : c.children()) contact.fields[f.name()] = f.text().get();
        out.push_back(contact);
    }
    return out;
}

// A campaign file with every field filled.
std::string WriteCampaign(const std::string& path, int count) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<dialer><contacts>";
    for (int i = 1; i <= count; ++i) {
        const std::string n = std::to_string(i);
        xml += "<c" + n + "><fname>Fn" + n + "</fname><lname>Ln" + n + "</lname><phone>555" + n +
               "</phone><email>e" + n + "@example.org</email><website>w" + n + "</website><fax>f" + n +
               "</fax><company>Co" + n + "</company><job>J" + n + "</job><street>S" + n + "</street><city>C" + n +
               "</city><state>St" + n + "</state><country>Ct" + n + "</country><zip>Z" + n + "</zip><notes>N" + n +
               "</notes><cstatus>Call Failed</cstatus><ctime>10:0" + n + ":00</ctime><ccon>00:00:0" + n +
               "</ccon><recfile>/rec/" + n + ".mp3</recfile><others>O" + n + "</others></c" + n + ">";
    }
    xml += "</contacts></dialer>\n";
    test::WriteFile(path, xml);
    return path;
}

void OpenFile(Window& w, const std::string& path) {
    w.prompts.Expect(FakePrompts::OpenAs(path));
    w.dlg.OnCommand(ui::cmd::kImportCampaign);
    w.Settle();
}

TEST(CampaignRoom, InsertIntoAFreshProgramMakesATempFileNamedAfterTheLocalTime) {
    Window w;
    w.dlg.Initialize();
    const auto Stamp = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
        return std::string(text);
    };
    const std::string before = Stamp();
    w.dlg.OnCommand(ui::cmd::kInsertContact);
    const std::string after = Stamp();
    const std::string path = w.path();
    const std::string name = fs::path(path).filename().string();
    ASSERT_EQ(name.rfind("Temp-", 0), 0u) << path;
    const std::string stamp = name.substr(5, 19);
    EXPECT_TRUE(stamp == before || stamp == after) << name;
    EXPECT_EQ(name.substr(24), "-Campaign.xml");
    EXPECT_EQ(fs::path(path).parent_path().string() + "/", w.documents());
    EXPECT_EQ(w.dlg.contacts()->Count(), 1u);
    EXPECT_EQ(ReadContacts(path).size(), 1u) << "the file exists and holds the new contact";
    EXPECT_EQ(CampaignStore::Instance()->path(), path);
    EXPECT_EQ(w.room().model().rowCount(), 1) << "the Campaign row";
    EXPECT_EQ(w.room().model().rowCount(w.room().model().RootIndex()), 1);
    w.dlg.Shutdown();
}

TEST(CampaignRoom, EditingCellsOfChosenColumnsKeepsTheHiddenFields) {
    Window w;
    w.dlg.Initialize();
    OpenFile(w, WriteCampaign(w.home / "edit.xml", 3));
    w.room().ApplyColumns(true, "10100000000000");  // first name and phone
    const std::int32_t id = w.room().rows().IdAt(1);
    ui::CampaignModel& model = w.room().model();
    ASSERT_TRUE(model.setData(model.IndexOf(id, 0), QStringLiteral("Zoë"), Qt::EditRole));
    ASSERT_TRUE(model.setData(model.IndexOf(id, 2), QStringLiteral("called back"), Qt::EditRole));  // notes
    QTRY_COMPARE(w.dlg.contacts()->Find(id)->fname, std::string("Zoë"));
    const Contact contact = *w.dlg.contacts()->Find(id);
    EXPECT_EQ(contact.notes, "called back");
    EXPECT_EQ(contact.lname, "Ln2") << "hidden columns are not emptied";
    EXPECT_EQ(contact.email, "e2@example.org");
    EXPECT_EQ(contact.recfile, "/rec/2.mp3");
    ASSERT_TRUE(CampaignStore::Instance()->SaveIfModified());
    const auto file = ReadContacts(w.home / "edit.xml");
    ASSERT_EQ(file.size(), 3u);
    EXPECT_EQ(file[1].fields.at("fname"), "Zoë");
    EXPECT_EQ(file[1].fields.at("lname"), "Ln2");
    EXPECT_EQ(file[1].fields.at("company"), "Co2");
    EXPECT_EQ(file[1].fields.at("recfile"), "/rec/2.mp3");
    w.dlg.Shutdown();
}

TEST(CampaignRoom, ADeletedRowLeavesTheFileAndNoLateUpdateBringsItBack) {
    Window w;
    w.dlg.Initialize();
    w.dlg.show();
    OpenFile(w, WriteCampaign(w.home / "delete.xml", 3));
    ui::ContactGrid& grid = w.room().grid();
    const std::int32_t id = w.room().rows().IdAt(0);
    grid.setCurrentIndex(w.room().model().IndexOf(id));
    // The campaign row cannot be deleted: no question is asked.
    grid.setCurrentIndex(w.room().model().RootIndex());
    grid.clearSelection();
    QTest::keyClick(&grid, Qt::Key_Delete);
    EXPECT_TRUE(w.prompts.asked.empty());
    grid.setCurrentIndex(w.room().model().IndexOf(id));
    w.prompts.Expect(FakePrompts::Answer(PromptAnswer::No));
    QTest::keyClick(&grid, Qt::Key_Delete);
    EXPECT_EQ(w.room().rows().count(), 3u) << "No keeps the row";
    w.prompts.Expect(FakePrompts::Answer(PromptAnswer::Yes));
    QTest::keyClick(&grid, Qt::Key_Delete);
    ASSERT_EQ(w.prompts.asked.size(), 2u);
    EXPECT_EQ(w.prompts.asked[1].caption, "Delete contact...");
    EXPECT_EQ(w.prompts.asked[1].text, "Are you sure you want to delete the selected item?");
    EXPECT_EQ(w.room().rows().count(), 2u);
    QTRY_COMPARE(w.dlg.contacts()->Count(), std::size_t{2});
    // A late update of the deleted contact changes nothing.
    EXPECT_FALSE(CampaignStore::Instance()->SetStatus(id, "Call Succeeded"));
    ASSERT_TRUE(CampaignStore::Instance()->SaveIfModified());
    const auto file = ReadContacts(w.home / "delete.xml");
    ASSERT_EQ(file.size(), 2u);
    for (const auto& c : file) EXPECT_NE(c.fields.at("fname"), "Fn1");
    w.dlg.Shutdown();
    EXPECT_EQ(ReadContacts(w.home / "delete.xml").size(), 2u) << "nor does the exit's write-out";
}

TEST(CampaignRoom, NewAndRemoveCurrentCampaignEmptyTheGridAndThePathLine) {
    Window w;
    w.dlg.Initialize();
    OpenFile(w, WriteCampaign(w.home / "old.xml", 2));
    EXPECT_EQ(w.path(), w.home / "old.xml");
    w.dlg.OnCommand(ui::cmd::kNewCampaign);
    EXPECT_EQ(w.path(), "");
    EXPECT_EQ(w.room().model().rowCount(), 0);
    EXPECT_EQ(w.dlg.contacts()->Count(), 0u);
    EXPECT_FALSE(CampaignStore::Instance()->hasPath());

    OpenFile(w, w.home / "old.xml");
    w.dlg.OnCommand(ui::cmd::kRemoveCampaign);
    EXPECT_EQ(w.room().model().rowCount(), 0);
    EXPECT_EQ(w.path(), "");
    EXPECT_EQ(Settings::Instance().get(&SettingsData::lastcamp), "");
    w.dlg.Shutdown();
    const std::string conf = test::ReadFile(w.home / ".config/Zorvan/conf.xml");
    EXPECT_NE(conf.find("<lastcamp"), std::string::npos);
    EXPECT_EQ(conf.find("old.xml"), std::string::npos) << "the next start opens no campaign";
}

TEST(CampaignRoom, TheLastCampaignOpensAtStartUpOnAWorker) {
    Window w;
    const std::string campaign = WriteCampaign(w.home / "last.xml", 5);
    fs::create_directories(w.home / ".config/Zorvan");
    test::WriteFile(w.home / ".config/Zorvan/conf.xml",
                    "<?xml version=\"1.0\"?><dialer><conf><lastcamp>" + campaign + "</lastcamp></conf></dialer>");
    w.dlg.Initialize();
    w.Settle();
    EXPECT_EQ(w.dlg.contacts()->Count(), 5u);
    EXPECT_EQ(w.room().rows().count(), 5u);
    EXPECT_EQ(w.path(), campaign);
    EXPECT_EQ(w.dlg.busyCount(), 0) << "the please-wait window is down again";
    w.dlg.Shutdown();
}

TEST(CampaignRoom, AColumnChangeKeepsEveryIdAndTheFilesElementNames) {
    Window w;
    w.dlg.Initialize();
    OpenFile(w, WriteCampaign(w.home / "cols.xml", 4));
    std::vector<std::int32_t> ids;
    for (std::size_t i = 0; i < w.room().rows().count(); ++i) ids.push_back(w.room().rows().IdAt(i));
    std::vector<std::string> names;
    for (const auto& c : ReadContacts(w.home / "cols.xml")) names.push_back(c.name);

    // Through the dialog: every box checked.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<ui::CDlgCustomizeDisplayColumn*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->displayBox()->setChecked(true);
        for (int i = 0; i < 14; ++i) dialog->fieldBox(i)->setChecked(true);
        dialog->accept();
    });
    w.dlg.OnCommand(ui::cmd::kCustomizeColumns);
    EXPECT_EQ(w.room().model().columnCount(), 17);
    EXPECT_EQ(Settings::Instance().get(&SettingsData::fields), "11111111111111");
    std::vector<std::int32_t> after;
    for (std::size_t i = 0; i < w.room().rows().count(); ++i) after.push_back(w.room().rows().IdAt(i));
    EXPECT_EQ(after, ids);
    EXPECT_EQ(w.room().rows().CellsAt(0)[3], "e1@example.org");
    ASSERT_TRUE(CampaignStore::Instance()->SetStatus(ids[0], "Call Succeeded")) << "single updates still find it";
    ASSERT_TRUE(CampaignStore::Instance()->SaveIfModified());
    std::vector<std::string> namesAfter;
    for (const auto& c : ReadContacts(w.home / "cols.xml")) namesAfter.push_back(c.name);
    EXPECT_EQ(namesAfter, names);
    w.dlg.Shutdown();
}

TEST(CampaignRoom, ClearedStatusesStayClearedAcrossANewCampaign) {
    Window w;
    w.dlg.Initialize();
    OpenFile(w, WriteCampaign(w.home / "clear.xml", 3));
    w.prompts.Expect(FakePrompts::Answer(PromptAnswer::Yes));
    w.dlg.OnCommand(ui::cmd::kClearStatus);
    EXPECT_TRUE(w.dlg.statusCleared());
    EXPECT_EQ(w.room().rows().CellsAt(0)[4], "");
    w.dlg.OnCommand(ui::cmd::kNewCampaign);  // the old store saves what it has
    for (const auto& c : ReadContacts(w.home / "clear.xml")) {
        EXPECT_EQ(c.fields.at("cstatus"), "");
        EXPECT_NE(c.fields.at("ccon"), "") << "only the status is cleared";
    }
    w.dlg.Shutdown();
}

TEST(CampaignRoom, ExportWritesExactlyTheCampaignAndBindsItThere) {
    Window w;
    w.dlg.Initialize();
    OpenFile(w, WriteCampaign(w.home / "source.xml", 2));
    const std::string target = WriteCampaign(w.home / "existing.xml", 6);  // the user agreed to replace it
    w.prompts.Expect(FakePrompts::SaveAs(target));
    w.dlg.OnCommand(ui::cmd::kExportCampaign);
    w.Settle();
    ASSERT_EQ(w.prompts.fileDialogs.size(), 2u);
    EXPECT_EQ(w.prompts.fileDialogs[1].filter, "XML Campaign Files (*.xml)");
    EXPECT_EQ(w.prompts.fileDialogs[1].defaultSuffix, "xml");
    EXPECT_TRUE(w.prompts.fileDialogs[1].confirmOverwrite);
    EXPECT_EQ(ReadContacts(target).size(), 2u) << "exactly the campaign, not a merge";
    EXPECT_EQ(w.path(), target);
    EXPECT_EQ(CampaignStore::Instance()->path(), target);
    w.dlg.Shutdown();
}

TEST(CampaignRoom, ThePleaseWaitWindowStaysUpUntilTheLastWorkerEnds) {
    Window w;
    w.dlg.Initialize();
    for (const std::uintptr_t busy : {1, 1, 0}) w.loop.post(w.dlg.target(), {um::UM_BUSY, busy, 0});
    QTRY_COMPARE(w.dlg.busyCount(), 1);
    EXPECT_TRUE(w.dlg.waitingMsg()->isVisible());
    w.loop.post(w.dlg.target(), {um::UM_BUSY, 0, 0});
    QTRY_COMPARE(w.dlg.busyCount(), 0);
    EXPECT_FALSE(w.dlg.waitingMsg()->isVisible());
    w.dlg.Shutdown();
}

TEST(CampaignRoom, TheStatusWindowFollowsPendingAndAttached) {
    Window w;
    w.dlg.Initialize();
    EXPECT_EQ(w.dlg.statusCheck(), nullptr) << "made on first use";
    w.loop.post(w.dlg.target(), {um::UM_SKYPE_PENDING, 0, 0});
    QTRY_VERIFY(w.dlg.statusCheck() != nullptr && w.dlg.statusCheck()->isVisible());
    w.loop.post(w.dlg.target(), {um::UM_SKYPE_ATTACHED, 0, 0});
    QTRY_VERIFY(!w.dlg.statusCheck()->isVisible());
    // Offline: the label is a link to the help page; online-like: it is not.
    w.loop.post(w.dlg.target(), {um::UM_SKYPE_USER_STATUS, 2, 0});
    QTRY_COMPARE(w.dlg.view().connection->text(), QStringLiteral("Skype is unavailable..."));
    w.loop.post(w.dlg.target(), {um::UM_SKYPE_USER_STATUS, 7, 0});
    QTRY_COMPARE(w.dlg.view().connection->text(), QStringLiteral("Connected to Skype"));
    EXPECT_TRUE(w.dlg.connected());
    w.dlg.Shutdown();
}

TEST(CampaignRoom, ARightClickOnAContactRowAsksForItsMenuAndNotOnTheCampaignRow) {
    Window w;
    w.dlg.Initialize();
    w.dlg.resize(900, 600);
    w.dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.dlg));
    OpenFile(w, WriteCampaign(w.home / "menu.xml", 2));
    std::vector<std::int32_t> asked;
    w.room().grid().SetRowMenu([&](std::int32_t id) { asked.push_back(id); });
    ui::ContactGrid& grid = w.room().grid();
    const auto RightClick = [&](const QModelIndex& index) {
        const QPoint at = grid.visualRect(index).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid.viewport(), &event);
    };
    RightClick(w.room().model().RootIndex());
    EXPECT_TRUE(asked.empty());
    const std::int32_t second = w.room().rows().IdAt(1);
    RightClick(w.room().model().IndexOf(second, 2));
    EXPECT_EQ(asked, (std::vector<std::int32_t>{second}));
    w.dlg.Shutdown();
}

TEST(ColumnDialog, ThePhoneIsAlwaysShownAndTheBoxesFollowTheFirstOne) {
    ui::CDlgCustomizeDisplayColumn dialog(false, "1101xx", nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Customize display of columns ");
    EXPECT_TRUE(dialog.fieldBox(2)->isChecked());
    EXPECT_FALSE(dialog.fieldBox(2)->isEnabled());
    EXPECT_TRUE(dialog.fieldBox(0)->isChecked());
    EXPECT_TRUE(dialog.fieldBox(3)->isChecked());
    EXPECT_FALSE(dialog.fieldBox(4)->isChecked()) << "not a digit: cleared";
    for (int i = 0; i < 14; ++i) EXPECT_FALSE(dialog.fieldBox(i)->isEnabled()) << i;
    dialog.displayBox()->setChecked(true);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(dialog.fieldBox(i)->isEnabled(), i != 2) << i;
    dialog.fieldBox(13)->setChecked(true);
    dialog.displayBox()->setChecked(false);
    EXPECT_TRUE(dialog.fieldBox(13)->isChecked()) << "greyed out, its state kept";
    EXPECT_FALSE(dialog.customize());
    EXPECT_EQ(dialog.fields(), "11110000000001");
}

TEST(StatusCheck, ShowsTheAttachAsItStandsAndRefreshesEveryTwoSeconds) {
    VirtualEventLoop loop;
    std::uint32_t status = 3;
    ui::CDlgStatusCheck dialog(loop, [&] { return status; });
    dialog.Refresh();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.mainLabel()->text(), "Connecting to Skype! Please wait...");
    status = 1;
    loop.advance(1999);
    EXPECT_TRUE(dialog.pictureLabel()->isHidden()) << "not yet refreshed";
    loop.advance(1);
    EXPECT_FALSE(dialog.pictureLabel()->isHidden());
    EXPECT_EQ(dialog.waitingLabel()->text(), "Zorvan dialer is waiting for authorization.");
    EXPECT_EQ(dialog.hintLabel()->text(),
              "Please click the \"Allow access\" button when the above message shows on Skype!");
    EXPECT_TRUE(dialog.mainLabel()->isHidden());
    status = 2;
    loop.advance(2000);
    EXPECT_NE(dialog.mainLabel()->text().indexOf("Your skype refused Zorvan dialer to access it."), -1);
    EXPECT_NE(dialog.mainLabel()->text().indexOf("AccessSkype.html"), -1);
    dialog.close();
    EXPECT_FALSE(dialog.isVisible()) << "refused: the close box hides it";
    status = 0;
    loop.advance(2000);
    EXPECT_TRUE(dialog.granted());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(loop.hasTimer(dialog.target(), ui::CDlgStatusCheck::kRefreshTimer)) << "it stops refreshing";
    // Shown again by the main window (pending once more): today's texts.
    status = 1;
    dialog.show();
    EXPECT_FALSE(dialog.pictureLabel()->isHidden());
}

}  // namespace
}  // namespace zorvan
