// The contact information window and the dial pads under Qt's offscreen
// platform, with the prompts answered from a script.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <pugixml.hpp>

#include "app/campaign_room.h"
#include "app/contact_room.h"
#include "app/dialer_dlg.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "platform/folders.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/um_events.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "ui/campaign_model.h"
#include "ui/dlg_contact_msg.h"
#include "ui/dlg_dial_pad.h"

namespace zorvan {
namespace {

using test::FakePrompts;

struct Window {
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, true, {}, nullptr}};
    std::string file;

    // A campaign of three contacts opened from its file.
    Window() {
        dlg.Initialize();
        file = home / "campaign.xml";
        std::string xml = "<?xml version=\"1.0\"?><dialer><contacts>";
        for (int i = 1; i <= 3; ++i) {
            const std::string n = std::to_string(i);
            xml += "<c" + n + "><fname>F" + n + "</fname><lname>L" + n + "</lname><phone>555" + n +
                   "</phone><email>e" + n + "@x.org</email><cstatus>Line is Busy</cstatus></c" + n + ">";
        }
        test::WriteFile(file, xml + "</contacts></dialer>");
        prompts.Expect(FakePrompts::OpenAs(file));
        dlg.OnCommand(ui::cmd::kImportCampaign);
        EXPECT_TRUE(test::WaitUntil([&] { return !dlg.campaign()->fileWorkRunning(); }, 10000));
        QCoreApplication::processEvents();
    }
    ~Window() { dlg.Shutdown(); }
    ui::CDlgContactMsg& window() { return dlg.contactRoom()->window(); }
    std::int32_t Id(std::size_t row) { return dlg.campaign()->rows().IdAt(row); }
    // The row menu's "View/Edit Contact" on a row.
    void ViewEdit(std::int32_t id) {
        prompts.Expect(FakePrompts::Choose(1));
        loop.post(dlg.target(), {um::UM_ROW_MENU, static_cast<std::uintptr_t>(id), 0});
        EXPECT_TRUE(test::WaitUntil([&] { return prompts.ScriptDone(); }, 5000));
        QCoreApplication::processEvents();
    }
    void Type(int field, const QString& text) {
        QLineEdit* edit = window().field(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void Update() {
        window().button("update")->click();
        QTest::qWait(50);
        QCoreApplication::processEvents();
    }
};

std::string FileField(const std::string& path, std::size_t index, const char* field) {
    pugi::xml_document doc;
    doc.load_file(path.c_str());
    std::size_t at = 0;
    for (pugi::xml_node c : doc.child("dialer").child("contacts").children()) {
        if (at++ == index) return c.child(field).text().get();
    }
    return {};
}

TEST(ContactWindow, ViewEditShowsTheContactAndUpdateWritesGridListAndFile) {
    Window w;
    const std::int32_t id = w.Id(1);
    w.ViewEdit(id);
    ASSERT_EQ(w.prompts.menus.back(), (std::vector<std::string>{"Call Phone", "View/Edit Contact"}));
    EXPECT_TRUE(w.window().isVisible());
    EXPECT_EQ(w.window().windowTitle(), "Contact Information");
    EXPECT_EQ(w.window().title(), "Edit Contact 'F2 L2'");
    EXPECT_EQ(w.window().field(3)->text(), "e2@x.org");
    EXPECT_FALSE(w.window().button("update")->isEnabled());
    EXPECT_FALSE(w.window().button("endCall")->isEnabled());

    w.Type(0, QStringLiteral("Fiona"));
    EXPECT_TRUE(w.window().button("update")->isEnabled());
    w.Update();
    EXPECT_EQ(w.dlg.contacts()->Find(id)->fname, "Fiona");
    EXPECT_EQ(w.dlg.contacts()->Find(id)->cstatus, "Line is Busy") << "no disposition chosen: the status stays";
    EXPECT_EQ(w.dlg.campaign()->rows().CellsOf(id)->at(0), "Fiona");
    ASSERT_TRUE(CampaignStore::Instance()->SaveIfModified());
    EXPECT_EQ(FileField(w.file, 1, "fname"), "Fiona");
    EXPECT_FALSE(w.window().button("update")->isEnabled());

    // A disposition the user chooses is what Update writes as the status.
    QComboBox* box = w.window().dispositionBox();
    ASSERT_GT(box->count(), 1);
    box->setCurrentIndex(1);
    emit box->activated(1);
    w.Update();
    EXPECT_EQ(w.dlg.contacts()->Find(id)->cstatus, box->itemText(1).toStdString());
}

TEST(ContactWindow, WhatTheUserTypedIsWrittenBackBeforeAnotherContactIsLoaded) {
    Window w;
    w.ViewEdit(w.Id(0));
    w.window().notes()->setPlainText(QStringLiteral("typed, never updated"));
    w.ViewEdit(w.Id(2));
    EXPECT_EQ(w.window().title(), "Edit Contact 'F3 L3'");
    EXPECT_EQ(w.dlg.contacts()->Find(w.Id(0))->notes, "typed, never updated");
}

TEST(ContactWindow, ADeletedContactIsNeverWrittenBackByUpdate) {
    Window w;
    const std::int32_t id = w.Id(0);
    w.ViewEdit(id);
    w.Type(1, QStringLiteral("Changed"));
    w.dlg.campaign()->model().RemoveContact(id);
    w.loop.post(w.dlg.target(), {um::UM_ROW_DELETED, static_cast<std::uintptr_t>(id), 0});
    QTRY_COMPARE(w.dlg.contacts()->Count(), std::size_t{2});
    w.Update();
    EXPECT_EQ(w.dlg.contacts()->Count(), 2u);
    ASSERT_TRUE(CampaignStore::Instance()->SaveIfModified());
    EXPECT_EQ(FileField(w.file, 0, "fname"), "F2") << "the deleted contact did not come back";
}

TEST(ContactWindow, TheCallsRecordingAndStatusGoToTheCalledContactWhateverTheWindowShows) {
    Window w;
    const std::int32_t called = w.Id(0);
    const std::int32_t viewed = w.Id(2);
    w.ViewEdit(viewed);  // the user looks at another contact during the call
    w.dlg.contactRoom()->SetCallRecording(called, "/rec/F1.mp3");
    w.dlg.contactRoom()->SetCallStatus(called, 0, "Call Succeeded");
    EXPECT_EQ(w.dlg.contacts()->Find(called)->recfile, "/rec/F1.mp3");
    EXPECT_EQ(w.dlg.contacts()->Find(called)->cstatus, "Call Succeeded");
    EXPECT_EQ(w.dlg.campaign()->rows().CellsOf(called)->at(4), "Call Succeeded");
    EXPECT_EQ(w.window().model().recordedFile(), "") << "the window shows another contact";
    // The end of the call writes the window back: the viewed contact keeps
    // its own recording and status.
    w.window().notes()->setPlainText(QStringLiteral("looked at during the call"));
    w.loop.post(w.dlg.target(), {um::UM_UPDATE_CONTACT, 0, 0});
    QTRY_COMPARE(w.dlg.contacts()->Find(viewed)->notes, std::string("looked at during the call"));
    EXPECT_EQ(w.dlg.contacts()->Find(viewed)->recfile, "");
    EXPECT_EQ(w.dlg.contacts()->Find(viewed)->cstatus, "Line is Busy");
    ASSERT_TRUE(CampaignStore::Instance()->SaveIfModified());
    EXPECT_EQ(FileField(w.file, 0, "recfile"), "/rec/F1.mp3");
    EXPECT_EQ(FileField(w.file, 0, "cstatus"), "Call Succeeded");
    EXPECT_EQ(FileField(w.file, 2, "recfile"), "");
}

TEST(ContactWindow, PhasesSetTheTitleAndTheButtons) {
    Window w;
    w.ViewEdit(w.Id(0));
    ui::CDlgContactMsg& window = w.window();
    window.SetCallPhase(CallPhase::Calling, false);
    EXPECT_EQ(window.title(), "Calling 'F1 L1' ...");
    EXPECT_TRUE(window.button("endCall")->isEnabled());
    EXPECT_FALSE(window.button("play")->isEnabled());
    window.SetCallPhase(CallPhase::Machine, true);
    EXPECT_EQ(window.title(), "Call Connected To F1 L1's Answering Machine");
    EXPECT_FALSE(window.button("record")->isEnabled()) << "autorec";
    EXPECT_TRUE(window.button("hold")->isEnabled());
    // The in-call buttons post their events and toggle their captions.
    window.button("hold")->click();
    EXPECT_EQ(window.button("hold")->text(), "Resume");
    window.button("play")->click();
    EXPECT_EQ(window.button("play")->text(), "Stop Msg");
    window.SetCallPhase(CallPhase::Finished, false);
    EXPECT_EQ(window.title(), "Call Finished With F1 L1");
    EXPECT_EQ(window.button("hold")->text(), "Hold");
    EXPECT_EQ(window.button("play")->text(), "Play Msg");
    EXPECT_FALSE(window.button("endCall")->isEnabled());
    // Enter and Escape do not close it; the close box hides it.
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST(ContactWindow, PresetNotesAndTheGreetingBox) {
    Window w;
    Settings::Instance().set(&SettingsData::notes, std::string("Call back;;Not interested"));
    GreetingList::Instance().Append({"Spring offer", "/g/spring.wav"});
    w.dlg.contactRoom()->Refill();
    ui::CDlgContactMsg& window = w.window();
    EXPECT_EQ(window.greetingBox()->count(), 1);
    EXPECT_EQ(window.greetingBox()->currentIndex(), 0) << "one entry: selected, so Play Msg plays it";
    EXPECT_EQ(window.greetingChoice(), 0);

    w.ViewEdit(w.Id(0));
    window.notes()->setPlainText(QStringLiteral("Note: "));
    w.prompts.Expect(FakePrompts::Choose(1));
    window.button("presetNotes")->click();
    EXPECT_EQ(w.prompts.menus.back(), (std::vector<std::string>{"Call back", "Not interested"}));
    EXPECT_EQ(window.notes()->toPlainText(), "Note: Not interested") << "appended without a separator";
    EXPECT_TRUE(window.button("update")->isEnabled());

    Settings::Instance().set(&SettingsData::leavemsgtotam, true);
    Settings::Instance().set(&SettingsData::msgtohuman, true);
    GreetingList::Instance().Append({"Reminder", "/g/r.wav"});
    w.dlg.contactRoom()->Refill();
    EXPECT_EQ(window.greetingBox()->count(), 4);
    EXPECT_EQ(window.greetingBox()->itemText(0), "Greeting for answering machine");
    EXPECT_EQ(window.greetingBox()->itemData(1).toInt(), 101);
}

TEST(DialPad, KeysAppendAndAPadFollowsItsOwner) {
    Window w;
    w.dlg.resize(800, 560);
    w.dlg.move(40, 30);
    w.dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.dlg));
    ui::CDlgDialPad& pad = w.dlg.contactRoom()->mainPad();
    w.dlg.OnCommand(ui::cmd::kButtonDialPad);
    EXPECT_TRUE(pad.isVisible());
    EXPECT_EQ(pad.pos(), ui::DockedPosition(w.dlg.frameGeometry(), 5, 5));
    w.dlg.move(100, 80);
    QTRY_COMPARE(pad.pos(), ui::DockedPosition(w.dlg.frameGeometry(), 5, 5));
    EXPECT_EQ(ui::DockedPosition(QRect(100, 80, 800, 560), 10, 0), QPoint(910, 80));
    for (const char key : {'1', '2', '#'}) pad.Press(key);
    EXPECT_EQ(pad.display(), "12#") << "with no call the keys only show";
    pad.ClearDisplay();
    EXPECT_EQ(pad.display(), "");
    w.dlg.OnCommand(ui::cmd::kButtonDialPad);
    EXPECT_FALSE(pad.isVisible());
}

}  // namespace
}  // namespace zorvan
