#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

#include "app/dialer_dlg.h"
#include "app/single_instance.h"
#include "ui/clickable_label.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "data/settings.h"
#include "platform/folders.h"
#include "platform/qt/qt_event_loop.h"
#include "support/conf_checks.h"
#include "support/temp_dir.h"
#include "update/update_check.h"

namespace zorvan {
namespace {

namespace fs = std::filesystem;

struct Window {
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    test::FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    CDialerDlg dlg;
    explicit Window(std::optional<bool> tray = true)
        : dlg(DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, tray, {}, nullptr}) {}
    std::string conf() const { return home / ".config/Zorvan/conf.xml"; }
};

QStringList MenuTitles(QMenuBar& bar) {
    QStringList titles;
    for (QAction* a : bar.actions()) titles << a->text();
    return titles;
}

QStringList Items(QMenuBar& bar, const QString& title) {
    QStringList items;
    for (QAction* a : bar.actions()) {
        if (a->text() != title) continue;
        for (QAction* item : a->menu()->actions()) items << item->text();
    }
    return items;
}

TEST(DialerDlg, MainWindowShowsItsTitleMenusAndButtons) {
    Window w;
    w.dlg.Initialize();
    EXPECT_EQ(w.dlg.windowTitle(), "Zorvan Dialer for Skype");
    EXPECT_EQ(w.dlg.minimumSize(), QSize(720, 522));
    QMenuBar& bar = *w.dlg.menuBar();
    EXPECT_EQ(MenuTitles(bar), (QStringList{"File", "Import", "Export", "Tools", "Report", "Help"}));
    EXPECT_EQ(Items(bar, "File"),
              (QStringList{"New Campaign", "Insert One Contact", "Remove Current Campaign", "Exit"}));
    EXPECT_EQ(Items(bar, "Tools"), (QStringList{"Options", "Customize Display of Columns", "Skype Silent Mode",
                                                "Clear Calls Status"}));
    EXPECT_EQ(Items(bar, "Help"), (QStringList{"Online Help", "About"}));

    QStringList captions;
    for (QPushButton* b : w.dlg.view().toolbar) captions << b->text();
    EXPECT_EQ(captions, (QStringList{"New...", "Import...", "Export...", "Options...", "Report...", "Help...",
                                     "Connecting to Skype...", "Dial Pad"}));
    EXPECT_EQ(w.dlg.view().automatic->title(), "Automatic Dialing");
    EXPECT_EQ(w.dlg.view().semiAutomatic->title(), "Semi-Automatic Dialing");
    EXPECT_TRUE(w.dlg.view().autoStart->isEnabled());
    EXPECT_FALSE(w.dlg.view().autoPause->isEnabled());
    EXPECT_FALSE(w.dlg.view().semiNext->isEnabled());
    EXPECT_EQ(w.dlg.view().connection->text(), "Connecting to Skype...");
    w.dlg.Shutdown();
}

TEST(DialerDlg, AboutBoxGoesThroughThePrompts) {
    Window w;
    w.dlg.Initialize();
    ui::FindCommand(w.dlg, ui::cmd::kAbout)->trigger();
    ASSERT_EQ(w.prompts.asked.size(), 1u);
    EXPECT_EQ(w.prompts.asked[0].caption, "About Zorvan Dialer");
    EXPECT_EQ(w.prompts.asked[0].text.rfind("Version 1.2.5.21", 0), 0u);
    w.dlg.Shutdown();
}

TEST(DialerDlg, CloseBoxHidesOrMinimisesAndActivationBringsTheWindowBack) {
    for (const bool tray : {true, false}) {
        Window w(tray);
        w.dlg.Initialize();
        w.dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.dlg));
        w.dlg.close();
        EXPECT_FALSE(w.dlg.closing()) << "the close box never ends the program";
        if (tray) {
            EXPECT_FALSE(w.dlg.isVisible());
        } else {
            EXPECT_TRUE(w.dlg.isVisible()) << "without a tray the window could not be found again";
            EXPECT_TRUE(w.dlg.isMinimized());
        }
        // A left click on the tray icon arrives as UM_TRAY_NOTIFY.
        w.loop.post(w.dlg.target(), {0x501, 1, 0x202});
        QTRY_VERIFY(w.dlg.isVisible() && !w.dlg.isMinimized());
        w.dlg.Shutdown();
    }
}

TEST(DialerDlg, BothExitCommandsAskToEndTheProgram) {
    Window w;
    w.dlg.Initialize();
    QSignalSpy spy(&w.dlg, &CDialerDlg::exitRequested);
    ui::FindCommand(w.dlg, ui::cmd::kExit)->trigger();
    ui::FindCommand(w.dlg, ui::cmd::kTrayExit)->trigger();
    EXPECT_EQ(spy.count(), 2);
    w.dlg.Shutdown();
}

TEST(DialerDlg, StartUpCreatesTheFoldersAndShutdownWritesTheSettingsWithThePosition) {
    Window w;
    w.dlg.Initialize();
    EXPECT_TRUE(fs::is_directory(w.home / "Documents/Zorvan"));
    EXPECT_TRUE(fs::is_directory(w.home / ".config/Zorvan"));
    EXPECT_FALSE(fs::exists(w.conf())) << "nothing is written before the exit";
    EXPECT_EQ(Settings::Instance().get(&SettingsData::recfolder), w.home / "Documents/Zorvan/");
    w.dlg.setGeometry(40, 30, 800, 560);
    w.dlg.Shutdown();
    EXPECT_TRUE(w.dlg.closing());
    EXPECT_FALSE(Settings::HasInstance());
    const std::string xml = test::ReadFile(w.conf());
    test::ExpectFirstStartConf(xml, w.home / "Documents/Zorvan/", true);
    EXPECT_NE(xml.find("<pos>40,30,840,590</pos>"), std::string::npos) << xml;
    w.dlg.Shutdown();  // runs once
}

TEST(DialerDlg, ExitWritesTheOpenCampaignAndRemembersItOnlyWhenItHasAFile) {
    {
        Window w;
        w.dlg.Initialize();
        w.dlg.Shutdown();
        EXPECT_NE(test::ReadFile(w.conf()).find("<lastcamp/>"), std::string::npos) << "no file: lastcamp stays empty";
    }
    Window w;
    w.dlg.Initialize();
    const std::string campaign = w.home / "Documents/Zorvan/mine.xml";
    CampaignStore::Current()->Open(campaign);
    Contact contact;
    contact.id = 3;
    contact.fname = "Ann";
    w.dlg.contacts()->Append(contact);
    w.dlg.Shutdown();
    EXPECT_NE(test::ReadFile(w.conf()).find("<lastcamp>" + campaign + "</lastcamp>"), std::string::npos);
    EXPECT_NE(test::ReadFile(campaign).find("<c3><fname>Ann</fname>"), std::string::npos);
    EXPECT_EQ(CampaignStore::Current(), nullptr);
}

TEST(DialerDlg, SavedPositionIsRestoredAndABadOneCentres) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const auto& [pos, restored] : std::vector<std::pair<std::string, bool>>{
             {"20,30,760,580", true}, {"0,0,0,0", false}, {"", false}, {"5000,5000,6000,6000", false}}) {
        Window w;
        fs::create_directories(w.home / ".config/Zorvan");
        test::WriteFile(w.conf(), "<dialer><conf><pos>" + pos + "</pos></conf></dialer>");
        w.dlg.Initialize();
        const QRect g = w.dlg.geometry();
        if (restored) {
            EXPECT_EQ(g, QRect(20, 30, 740, 550)) << pos;
        } else {
            EXPECT_LE(std::abs(g.center().x() - area.center().x()), 1) << pos;
            EXPECT_LE(std::abs(g.center().y() - area.center().y()), 1) << pos;
        }
        w.dlg.Shutdown();
    }
}

TEST(DialerDlg, ConnectionDisplayFollowsTheUserStatus) {
    Window w;
    w.dlg.Initialize();
    ui::ClickableLabel& label = *w.dlg.view().connection;
    const auto status = [&](std::uintptr_t code) {
        w.loop.post(w.dlg.target(), {0x5F9, code, 0});
        QCoreApplication::processEvents();
    };
    status(2);
    EXPECT_EQ(label.text(), "Skype is unavailable...");
    EXPECT_FALSE(w.dlg.connected());
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(w.shell.opened, (std::vector<std::string>{"https://zorvan-dialer.example/help/AccessSkype.html"}));

    for (const std::uintptr_t online : {3u, 5u, 7u, 8u}) {
        status(online);
        EXPECT_TRUE(w.dlg.connected()) << online;
    }
    EXPECT_EQ(label.text(), "Connected to Skype");
    EXPECT_EQ(w.dlg.view().skypeState->text(), "Skype silent mode");
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(w.shell.opened.size(), 1u) << "clicking while connected does nothing";
    status(9);
    EXPECT_TRUE(w.dlg.connected()) << "statuses above 8 are ignored";
    status(0);
    EXPECT_FALSE(w.dlg.connected());

    w.loop.post(w.dlg.target(), {0x600, 0, 0});  // UM_SKYPE_REFUSED
    QCoreApplication::processEvents();
    ASSERT_EQ(w.prompts.asked.size(), 1u);
    EXPECT_EQ(w.prompts.asked[0].caption, "Zorvan Dialer");
    EXPECT_EQ(w.prompts.asked[0].text,
              "Your Skype refused Zorvan Dialer to access it.\nPlease visit the page "
              "(https://zorvan-dialer.example/help/AccessSkype.html) to resolve the issue!");
    EXPECT_EQ(w.shell.opened.size(), 2u);
    w.dlg.Shutdown();
}

class PublishedVersion final : public HttpGet {
public:
    explicit PublishedVersion(std::string text) : text_(std::move(text)) {}
    HttpReply Get(const std::string&, std::int64_t, std::size_t, const WaitEvent*) override {
        return {true, 200, text_};
    }

private:
    std::string text_;
};

TEST(DialerDlg, ANewerVersionIsOfferedOnceAndOkOpensTheUpgradePage) {
    qputenv("ZORVAN_UPDATE_ROOT", "http://updates.test");
    for (const bool newer : {true, false}) {
        test::TempDir home;
        FixedFolders folders{home / "Documents", home / ".config"};
        test::FakePrompts prompts;
        test::FakeShell shell;
        QtEventLoop loop(1000.0);  // the 36 s wait in 36 ms
        PublishedVersion http(newer ? "12520" : "12519");
        CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, nullptr, std::nullopt, true, {}, &http}};
        dlg.Initialize();
        QTest::qWait(600);
        if (newer) {
            ASSERT_EQ(prompts.asked.size(), 1u);
            EXPECT_EQ(prompts.asked[0].text, "New version Zorvan Dialer is available! Click 'OK' to update Now!");
            EXPECT_EQ(prompts.asked[0].buttons, PromptButtons::OkCancel);
            EXPECT_EQ(shell.opened, std::vector<std::string>{"http://updates.test/upgrade.html"});
        } else {
            EXPECT_TRUE(prompts.asked.empty()) << "the same version asks nothing";
            EXPECT_TRUE(shell.opened.empty());
        }
        dlg.Shutdown();
    }
    qunsetenv("ZORVAN_UPDATE_ROOT");
}

TEST(SingleInstance, SecondClaimActivatesTheFirst) {
    test::TempDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    {
        SingleInstance first;
        ASSERT_EQ(first.claim(), SingleInstance::Role::First);
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        SingleInstance second;
        EXPECT_EQ(second.claim(), SingleInstance::Role::Second);
        QTRY_COMPARE(activations.count(), 1);
    }
    // With the first gone its lock is free again.
    SingleInstance again;
    EXPECT_EQ(again.claim(), SingleInstance::Role::First);
    qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
}  // namespace zorvan
