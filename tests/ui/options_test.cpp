// The Options dialog on the offscreen platform with scripted prompts: the
// number boxes and their messages, the enabling rules of every page, the
// preset lists, the threshold dialog, and what OK does to the settings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>

#include "app/dialer_dlg.h"
#include "data/disposition_list.h"
#include "data/do_not_call.h"
#include "data/greeting_list.h"
#include "data/settings.h"
#include "platform/folders.h"
#include "platform/qt/qt_event_loop.h"
#include "support/temp_dir.h"
#include "ui/dlg_options.h"
#include "ui/dlg_preset_settings.h"
#include "ui/dlg_vad_settings.h"

namespace zorvan {
namespace {

struct Options {
    test::FakePrompts prompts;
    test::FakeShell shell;
    DispositionList dispositions;
    GreetingList greetings;
    SettingsData values;
    int threshold = 2;
    std::unique_ptr<ui::CDlgOptions> dialog;
    Options() {
        dispositions.AppendDefaults();
        values.donotcallfile = "/data/DNC.csv";
        Open();
    }
    void Open() {
        dialog = std::make_unique<ui::CDlgOptions>(
            ui::CDlgOptions::Services{prompts, shell, dispositions, greetings, nullptr, [this] { return threshold; },
                                      [this](int t) { threshold = t; }},
            values);
    }
    QLineEdit* Edit(const char* name) { return dialog->edit(QString::fromUtf8(name)); }
    QCheckBox* Check(const char* name) { return dialog->check(QString::fromUtf8(name)); }
};

TEST(OptionsDialog, ANumberBoxThatDoesNotFitKeepsTheDialogOpenOnItsPage) {
    Options o;
    o.dialog->tabs()->setCurrentIndex(4);
    o.Edit("redial")->setText("11");
    o.dialog->accept();
    EXPECT_NE(o.dialog->result(), QDialog::Accepted);
    ASSERT_EQ(o.prompts.asked.size(), 1u);
    EXPECT_EQ(o.prompts.asked[0].text, "Enter an integer between 0 and 10.");
    EXPECT_EQ(o.dialog->tabs()->currentIndex(), 0) << "back on the General page";
    o.Edit("redial")->setText("2");
    o.Edit("waitforanswer")->setText("soon");
    o.dialog->accept();
    EXPECT_EQ(o.prompts.asked.back().text, "Enter an integer.");
    o.Edit("waitforanswer")->setText("0");
    o.dialog->accept();
    EXPECT_EQ(o.prompts.asked.back().text, "Enter an integer between 1 and 86400.") << "an answer needs a second";
    o.Edit("waitforanswer")->setText(" 30 ");
    o.Edit("callinterval")->setText("5");
    o.Edit("countrycode")->setText("+44");
    o.dialog->accept();
    EXPECT_EQ(o.dialog->result(), QDialog::Accepted);
    EXPECT_EQ(o.dialog->values().waitforanswer, 30);
    EXPECT_EQ(o.dialog->values().redial, 2);
    EXPECT_EQ(o.dialog->values().callinterval, 5);
    EXPECT_EQ(o.dialog->values().countrycode, "+44");
}

TEST(OptionsDialog, CallingHoursAndRetrySpacingAreCheckedOnlyWhereTheyApply) {
    Options o;
    EXPECT_FALSE(o.Edit("callfrom")->isEnabled()) << "calling hours off at the start";
    EXPECT_EQ(o.Edit("callfrom")->text(), "08:00");
    EXPECT_EQ(o.Edit("callto")->text(), "21:00");
    EXPECT_EQ(o.Edit("redialdelay")->text(), "0");
    o.Edit("redialdelay")->setText("-3");
    o.dialog->accept();
    ASSERT_EQ(o.prompts.asked.size(), 1u);
    EXPECT_EQ(o.prompts.asked[0].text, "Enter an integer between 0 and 10080.");
    o.Edit("redialdelay")->setText("30");
    o.Check("callhours")->click();
    EXPECT_TRUE(o.Edit("callto")->isEnabled());
    o.Edit("callto")->setText("9pm");
    o.dialog->tabs()->setCurrentIndex(3);
    o.dialog->accept();
    EXPECT_NE(o.dialog->result(), QDialog::Accepted);
    EXPECT_EQ(o.prompts.asked.back().text, "Enter a time from 00:00 to 23:59, such as 08:00.");
    EXPECT_EQ(o.dialog->tabs()->currentIndex(), 0);
    EXPECT_TRUE(o.Edit("callto")->hasSelectedText() || o.Edit("callto")->text().isEmpty());
    o.Edit("callto")->setText("8:00");
    o.dialog->accept();
    EXPECT_EQ(o.prompts.asked.back().text, "The calling hours must end at another time than they start.");
    o.Edit("callfrom")->setText("9:30");
    o.Edit("callto")->setText("20:00");
    o.dialog->accept();
    ASSERT_EQ(o.dialog->result(), QDialog::Accepted);
    const SettingsData v = o.dialog->values();
    EXPECT_TRUE(v.callhours);
    EXPECT_EQ(v.callfrom, "09:30");
    EXPECT_EQ(v.callto, "20:00");
    EXPECT_EQ(v.redialdelay, 30);
    Settings stored;
    ui::StoreOptions(v, stored);
    EXPECT_EQ(stored.values().callfrom, "09:30");
    EXPECT_EQ(stored.values().redialdelay, 30);

    // A hand-edited file with hours that do not read, and hours off: OK
    // still closes and stores the default hours.
    Options edited;
    edited.values.callfrom = "soon";
    edited.Open();
    edited.dialog->accept();
    EXPECT_EQ(edited.dialog->result(), QDialog::Accepted);
    EXPECT_EQ(edited.dialog->values().callfrom, "08:00");
}

TEST(OptionsDialog, EveryPageFollowsItsEnablingRulesAndOkCollectsIt) {
    Options o;
    EXPECT_FALSE(o.Edit("donotcallfile")->isEnabled()) << "do-not-call off at the start";
    o.Check("donotcall")->click();
    EXPECT_TRUE(o.Edit("donotcallfile")->isEnabled());
    EXPECT_TRUE(o.dialog->button(QStringLiteral("browseDoNotCall"))->isEnabled());
    o.prompts.Expect(test::FakePrompts::OpenAs("/data/dnc.csv"));
    o.dialog->button(QStringLiteral("browseDoNotCall"))->click();
    EXPECT_EQ(o.prompts.fileDialogs.back().filter, "CSV Files (*.csv)");

    EXPECT_FALSE(o.Edit("recfolder")->isEnabled());
    o.Check("autorec")->click();
    EXPECT_TRUE(o.dialog->button(QStringLiteral("openFolder"))->isEnabled());
    o.prompts.Expect(test::FakePrompts::Folder("/home/u/Calls"));
    o.dialog->button(QStringLiteral("browseFolder"))->click();
    o.Check("donotpopcinfo")->click();
    EXPECT_FALSE(o.Check("popbconn")->isEnabled());

    ui::CDlgVADsettings& vad = *o.dialog->vadPage();
    EXPECT_FALSE(vad.check(QStringLiteral("leavemsgtotam"))->isEnabled()) << "detection off: all off";
    EXPECT_FALSE(vad.button(QStringLiteral("thresholdButton"))->isEnabled());
    EXPECT_FALSE(vad.combo(QStringLiteral("amdmode"))->isEnabled());
    EXPECT_EQ(vad.combo(QStringLiteral("amdmode"))->currentIndex(), 0);
    vad.check(QStringLiteral("vad"))->click();
    EXPECT_TRUE(vad.combo(QStringLiteral("amdmode"))->isEnabled());
    vad.combo(QStringLiteral("amdmode"))->setCurrentIndex(1);
    EXPECT_TRUE(vad.check(QStringLiteral("leavemsgtotam"))->isEnabled());
    EXPECT_FALSE(vad.button(QStringLiteral("recordMachine"))->isEnabled()) << "follows its check box";
    vad.check(QStringLiteral("hangupamline"))->click();
    vad.check(QStringLiteral("leavemsgtotam"))->click();
    EXPECT_FALSE(vad.check(QStringLiteral("hangupamline"))->isChecked()) << "never both";
    EXPECT_TRUE(vad.button(QStringLiteral("recordMachine"))->isEnabled());
    vad.check(QStringLiteral("hangupamline"))->click();
    EXPECT_FALSE(vad.check(QStringLiteral("leavemsgtotam"))->isChecked());
    vad.check(QStringLiteral("msgtohuman"))->click();
    EXPECT_TRUE(vad.check(QStringLiteral("autohnafmsg"))->isEnabled());

    o.dialog->accept();
    ASSERT_EQ(o.dialog->result(), QDialog::Accepted);
    const SettingsData& r = o.dialog->values();
    EXPECT_TRUE(r.donotcall);
    EXPECT_EQ(r.donotcallfile, "/data/dnc.csv");
    EXPECT_TRUE(r.autorec);
    EXPECT_EQ(r.recfolder, "/home/u/Calls");
    EXPECT_TRUE(r.donotpopcinfo);
    EXPECT_TRUE(r.vad);
    EXPECT_TRUE(r.hangupamline);
    EXPECT_FALSE(r.leavemsgtotam);
    EXPECT_TRUE(r.msgtohuman);
    EXPECT_EQ(r.amdmode, 1);
    Settings stored;
    ui::StoreOptions(r, stored);
    EXPECT_EQ(stored.values().amdmode, 1) << "stored with the page's other settings";

    // A file edited by hand with both machine options on opens with one;
    // a mode it does not know opens as the silence count.
    Options both;
    both.values.amdmode = 7;
    both.values.vad = both.values.leavemsgtotam = both.values.hangupamline = true;
    both.Open();
    EXPECT_FALSE(both.dialog->vadPage()->check(QStringLiteral("hangupamline"))->isChecked());
    EXPECT_TRUE(both.dialog->vadPage()->button(QStringLiteral("browseMachine"))->isEnabled());
    EXPECT_EQ(both.dialog->vadPage()->combo(QStringLiteral("amdmode"))->currentIndex(), 0);
}

TEST(OptionsDialog, PresetListsTakeNewCodesAndActOnTheSelectedRow) {
    Options o;
    ui::CDlgPresetSettings& page = *o.dialog->presetPage();
    std::optional<std::pair<std::string, std::string>> answer;
    page.SetAskEntry([&](int, const std::string&, const std::string&, bool) { return answer; });
    answer = std::make_pair(std::string("Interested"), std::string("Wants an offer"));
    page.AddDisposition();
    answer = std::make_pair(std::string("Call back"), std::string("Later today"));
    page.AddDisposition();
    auto codes = [&] {
        std::vector<int> out;
        for (const Disposition& d : o.dispositions.Entries()) out.push_back(d.status);
        return out;
    };
    EXPECT_EQ(codes().back(), 12);
    QTreeWidget& list = *page.dispositionList();
    list.setCurrentItem(list.topLevelItem(3));
    EXPECT_FALSE(page.button(QStringLiteral("delDisposition"))->isEnabled()) << "a built-in code stays";
    list.setCurrentItem(list.topLevelItem(11));
    EXPECT_TRUE(page.button(QStringLiteral("delDisposition"))->isEnabled());
    o.prompts.Expect(test::FakePrompts::Answer(PromptAnswer::Yes));
    page.DeleteDisposition();
    EXPECT_EQ(o.dispositions.NameOf(11), std::nullopt);
    EXPECT_TRUE(list.selectedItems().isEmpty()) << "nothing selected after a deletion";
    EXPECT_FALSE(page.button(QStringLiteral("editDisposition"))->isEnabled());
    answer = std::make_pair(std::string("Wrong number"), std::string("Not this person"));
    page.AddDisposition();
    EXPECT_EQ(codes().back(), 13) << "never a code already used";

    answer = std::make_pair(std::string("/g/promo.wav"), std::string("Spring promotion"));
    page.AddGreeting();
    answer = std::make_pair(std::string("/g/closed.wav"), std::string("Office closed"));
    page.AddGreeting();
    page.greetingList()->setCurrentItem(page.greetingList()->topLevelItem(0));
    answer = std::make_pair(std::string("/g/promo2.wav"), std::string("Summer promotion"));
    page.EditGreeting();
    ASSERT_EQ(o.greetings.Count(), 2u);
    EXPECT_EQ(o.greetings.Entries()[0], (GreetingFile{"Summer promotion", "/g/promo2.wav"}));
    page.greetingList()->setCurrentItem(page.greetingList()->topLevelItem(1));
    o.prompts.Expect(test::FakePrompts::Answer(PromptAnswer::Yes));
    page.DeleteGreeting();
    EXPECT_EQ(o.greetings.Entries(), (std::vector<GreetingFile>{{"Summer promotion", "/g/promo2.wav"}}));

    // The add/edit dialog's checks.
    ui::CDlgAddEditGreeting dialog(o.prompts, "", "", 1, false);
    EXPECT_EQ(dialog.windowTitle(), "Add New Greeting File");
    EXPECT_FALSE(dialog.Save());
    EXPECT_EQ(o.prompts.asked.back().text, "The file path can not be empty!");
    dialog.firstEdit()->setText("/g/a.wav");
    dialog.descriptionEdit()->setText("   ");
    EXPECT_FALSE(dialog.Save());
    EXPECT_EQ(o.prompts.asked.back().text, "The file description can not be empty!");
    ui::CDlgAddEditGreeting disposition(o.prompts, "", "x", 2, true);
    EXPECT_EQ(disposition.windowTitle(), "Edit Call Disposition");
    EXPECT_FALSE(disposition.Save());
    EXPECT_EQ(o.prompts.asked.back().text, "The call disposition can not be empty!");
}

TEST(OptionsDialog, CancelKeepsEveryPagesValues) {
    Options o;
    const SettingsData before = o.values;
    o.Edit("countrycode")->setText("+49");
    o.Edit("redial")->setText("4");
    o.Check("donotcall")->click();
    o.Check("autorec")->click();
    o.dialog->vadPage()->check(QStringLiteral("vad"))->click();
    o.dialog->reject();
    EXPECT_EQ(o.dialog->result(), QDialog::Rejected);
    EXPECT_EQ(o.dialog->values(), before) << "nothing of the pages is taken";
}

TEST(OptionsDialog, TheThresholdDialogNamesEachPosition) {
    ui::CDlgVADValueConfig dialog(2);
    EXPECT_EQ(dialog.windowTitle(), "Adjust VAD Threshold Value");
    EXPECT_EQ(dialog.text(), "This value is recommended for general usage.");
    dialog.slider()->setValue(3);
    EXPECT_EQ(dialog.text(), "This value is usually used to detect the answering machine.");
    dialog.slider()->setValue(1);
    EXPECT_EQ(dialog.text(), "This value to make the system more responsive to human pick up.");
    EXPECT_EQ(dialog.position(), 1);
}

TEST(OptionsDialog, RecordChangesTheGreetingOnlyWhenARecordingIsConfirmed) {
    Options o;
    o.values.vad = o.values.leavemsgtotam = true;
    o.values.leavemsgtotamfile = "/g/old.wav";
    o.Open();
    o.prompts.Expect(test::FakePrompts::SaveAs("/g/new.wav"));
    o.dialog->vadPage()->Record(true);  // no microphone here
    EXPECT_EQ(o.prompts.asked.back().text, "NO Microphone Devices Found..");
    EXPECT_EQ(o.dialog->vadPage()->edit(QStringLiteral("leavemsgtotamfile"))->text(), "/g/old.wav");
    EXPECT_EQ(o.prompts.fileDialogs.back().defaultName, "LeaveMsg");
}

TEST(OptionsDialog, OkStoresSavesAndLoadsTheDoNotCallListAlsoWithAnUnchangedPath) {
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    test::FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, true, {}, nullptr}};
    dlg.Initialize();
    const std::string dnc = home / "dnc.csv";
    test::WriteFile(dnc, "416,5550100\n416,5550101\n");
    Settings::Instance().set(&SettingsData::donotcallfile, dnc);
    SettingsData values = Settings::Instance().values();
    values.donotcall = true;  // turned on, the path as it was
    values.redial = 3;
    values.threshold = 1;  // not the options' to store
    dlg.ApplyOptions(values);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.doNotCall()->Count() == 2; }, 5000));
    const std::string conf = test::ReadFile(home / ".config/Zorvan/conf.xml");
    EXPECT_NE(conf.find("<redial>3</redial>"), std::string::npos);
    EXPECT_NE(conf.find("<donotcall>true</donotcall>"), std::string::npos);
    EXPECT_EQ(Settings::Instance().get(&SettingsData::threshold), 2);
    dlg.Shutdown();
}

// Each page as a picture, when the screenshot script asks.
TEST(OptionsDialog, Screenshots) {
    const char* folder = std::getenv("ZORVAN_SCREENSHOT_DIR");
    if (folder == nullptr) GTEST_SKIP() << "ZORVAN_SCREENSHOT_DIR not set";
    Options o;
    o.values.vad = o.values.leavemsgtotam = o.values.msgtohuman = true;
    o.values.leavemsgtotamfile = "/home/ann/Greetings/LeaveMsg.wav";
    o.values.msgtohumanfile = "/home/ann/Greetings/MsgToHuman.wav";
    o.values.notes = "Interested;Call back later;Wrong person";
    o.greetings.Append({"Spring promotion", "/home/ann/Greetings/promo.wav"});
    o.Open();
    o.dialog->show();
    const char* names[] = {"general", "do-not-call", "detection", "preset", "advanced"};
    for (int i = 0; i < 5; ++i) {
        o.dialog->tabs()->setCurrentIndex(i);
        QCoreApplication::processEvents();
        EXPECT_TRUE(o.dialog->grab().save(QString::fromUtf8(folder) + QStringLiteral("/options-") +
                                          QString::fromUtf8(names[i]) + QStringLiteral(".png")));
    }
}

}  // namespace
}  // namespace zorvan
