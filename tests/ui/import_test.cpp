// "Import Contacts" and the import into the open campaign: the proposed
// mapping, the phone column by a header click, the message without one,
// and ids that stay in step with the campaign file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QSpinBox>
#include <QTreeWidget>

#include "app/campaign_room.h"
#include "app/dialer_dlg.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "platform/folders.h"
#include "platform/qt/qt_event_loop.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "ui/dlg_import_contacts.h"
#include "ui/main_window_view.h"

namespace zorvan {
namespace {

using test::FakePrompts;

TEST(ImportDialog, ProposesTheHeadersMappingAndTakesAClickedColumn) {
    FakePrompts prompts;
    test::FakeShell shell;
    const std::vector<std::vector<std::string>> rows{
        {"First Name", "Account Number", "Phone", "Fax Number", "Notes"},
        {"Ann", "A-1", "555 0101", "555 0199", "VIP"},
        {"Bob", "A-2"}};
    ui::CDlgImportContacts dialog(rows, prompts, &shell);
    EXPECT_EQ(dialog.windowTitle(), "Import Contacts");
    EXPECT_EQ(dialog.phoneBox()->value(), 2);
    EXPECT_EQ(dialog.markedColumn(), 2);
    EXPECT_EQ(dialog.preview()->headerItem()->text(4), "Column 4");
    ASSERT_EQ(dialog.preview()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.preview()->topLevelItem(0)->text(0), "First Name") << "the first row on top";
    EXPECT_EQ(dialog.preview()->topLevelItem(0)->childCount(), 2);
    EXPECT_FALSE(dialog.showMapping()->isChecked());
    ImportMapping m = dialog.mapping();
    EXPECT_EQ(m.fname, 0);
    EXPECT_EQ(m.fax, 3);
    EXPECT_EQ(m.notes, 4);

    emit dialog.preview()->header()->sectionClicked(1);
    EXPECT_EQ(dialog.phoneBox()->value(), 1);
    EXPECT_EQ(dialog.markedColumn(), 1) << "the mark follows";
    dialog.fieldBox(0)->setValue(-1);  // no first name after all
    dialog.skipDuplicates()->setChecked(true);
    m = dialog.mapping();
    EXPECT_EQ(m.phone, 1);
    EXPECT_EQ(m.fname, -1);
    EXPECT_TRUE(m.skipDuplicates);

    dialog.phoneBox()->setValue(-1);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, "Please specify the phone number column index!");
    dialog.phoneBox()->setValue(2);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ImportIntoCampaign, NewContactsGetIdsNoElementOfTheFileHasAndTheFileHoldsThem) {
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    const std::string campaign = home / "Documents/c.xml";
    test::WriteFile(campaign, "<?xml version=\"1.0\"?><dialer><contacts><c1><fname>Old</fname><phone>1</phone></c1>"
                              "</contacts></dialer>");
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, true, campaign, nullptr}};
    dlg.Initialize();
    ASSERT_TRUE(test::WaitUntil([&] { return dlg.contacts()->Count() == 1 && !dlg.campaign()->fileWorkRunning(); },
                                10000));
    Contact a;
    a.fname = "New A";
    a.phone = "555 0101";
    Contact b;
    b.fname = "New B";
    b.phone = "555 0102";
    dlg.campaign()->ImportContacts({a, b});
    const auto contacts = dlg.contacts()->Snapshot();
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_NE(contacts[1].id, contacts[0].id);
    EXPECT_NE(contacts[2].id, contacts[1].id);
    EXPECT_EQ(dlg.campaign()->rows().count(), 3u);
    dlg.campaign()->WaitForFileWork(10);  // the file follows on a worker

    // A file that cannot be read is said, and the campaign stays as it was.
    prompts.Expect(FakePrompts::OpenAs(home / "gone.csv"));
    dlg.OnCommand(ui::cmd::kImportCsv);
    ASSERT_FALSE(prompts.asked.empty());
    EXPECT_EQ(prompts.asked.back().caption, "Zorvan Dialer");
    EXPECT_EQ(prompts.asked.back().text.rfind("The file could not be read:\n", 0), 0u);
    EXPECT_EQ(dlg.contacts()->Count(), 3u);
    const std::string file = test::ReadFile(campaign);
    for (const Contact& c : contacts) {
        char element[16];
        std::snprintf(element, sizeof element, "<c%x>", static_cast<unsigned>(c.id));
        EXPECT_NE(file.find(std::string(element) + "<fname>" + c.fname), std::string::npos) << file;
    }
    dlg.Shutdown();
}

}  // namespace
}  // namespace zorvan
