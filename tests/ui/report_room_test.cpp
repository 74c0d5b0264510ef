// The export and report commands of the main window: their dialogs, the
// heading each uses, the report opened, a failing folder said, and the
// please-wait window always taken down.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include <filesystem>

#include "app/dialer_dlg.h"
#include "app/report_room.h"
#include "data/contact_list.h"
#include "platform/folders.h"
#include "platform/qt/qt_event_loop.h"
#include "support/temp_dir.h"
#include "ui/main_window_view.h"
#include "ui/status_dialogs.h"

namespace zorvan {
namespace {

using test::FakePrompts;

// The UTF-16 file's first line as UTF-8 (ASCII headings only).
std::string FirstLine(const std::string& path) {
    const std::string bytes = test::ReadFile(path);
    std::string line;
    for (std::size_t i = 2; i + 1 < bytes.size() && bytes[i] != '\r'; i += 2) line += bytes[i];
    return line;
}

TEST(ReportCommands, EachCommandWritesWithItsHeadingAndTheReportOpens) {
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, true, {}, nullptr}};
    dlg.Initialize();
    Contact ann;
    ann.id = 1;
    ann.fname = "Ann";
    ann.phone = "555 0101";
    ann.cstatus = "Call Succeeded";
    ann.ccon = "00:01:02";
    dlg.contacts()->Append(ann);

    const std::string exportPath = home / "export.csv";
    prompts.Expect(FakePrompts::SaveAs(exportPath));
    dlg.OnCommand(ui::cmd::kExportCsv);
    EXPECT_EQ(prompts.fileDialogs.back().filter, "CSV Files (*.csv)");
    EXPECT_NE(prompts.fileDialogs.back().defaultName.find("-Campaign"), std::string::npos);
    EXPECT_NE(FirstLine(exportPath).find(",Call status,"), std::string::npos) << FirstLine(exportPath);
    prompts.Expect(FakePrompts::SaveAs(home / "menu-report.csv"));
    dlg.OnCommand(ui::cmd::kCsvReport);
    EXPECT_NE(FirstLine(home / "menu-report.csv").find(",Call disposition,"), std::string::npos);
    prompts.Expect(FakePrompts::SaveAs(home / "button-report.csv"));
    dlg.OnCommand(ui::cmd::kPopupCsvReport);
    EXPECT_NE(FirstLine(home / "button-report.csv").find(",Call status,"), std::string::npos);

    // The HTML report: cancelled, nothing is written or opened; then made and opened.
    prompts.Expect(FakePrompts::SaveAs(std::nullopt));
    dlg.OnCommand(ui::cmd::kWebReport);
    EXPECT_TRUE(shell.opened.empty());
    const std::string report = home / "report.html";
    prompts.Expect(FakePrompts::SaveAs(report));
    dlg.OnCommand(ui::cmd::kWebReport);
    EXPECT_EQ(prompts.fileDialogs.back().filter, "HTML File (*.html)");
    EXPECT_TRUE(std::filesystem::exists(report));
    EXPECT_EQ(shell.opened, std::vector<std::string>{report});

    // A folder that is gone: said, and the please-wait window goes again.
    prompts.Expect(FakePrompts::SaveAs(home / "gone/x.csv"));
    dlg.OnCommand(ui::cmd::kExportCsv);
    ASSERT_FALSE(prompts.asked.empty());
    EXPECT_EQ(prompts.asked.back().text.rfind("The file could not be written:\n", 0), 0u);
    prompts.Expect(FakePrompts::SaveAs(home / "gone/r.html"));
    dlg.OnCommand(ui::cmd::kWebReport);
    EXPECT_EQ(shell.opened.size(), 1u) << "a report that was not written is not opened";
    QTest::qWait(50);
    EXPECT_EQ(dlg.busyCount(), 0);
    EXPECT_TRUE(prompts.ScriptDone());
    dlg.Shutdown();
}

}  // namespace
}  // namespace zorvan
