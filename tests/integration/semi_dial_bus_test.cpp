// Semi-automatic dialing in the real main window against the stand-in on a
// private bus: the first call at once, "Dial Next" for the second, the
// buttons and the progress line on the way, the grid's statuses after.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <cstdlib>

#include "app/campaign_room.h"
#include "app/dial_room.h"
#include "app/dialer_dlg.h"
#include "data/campaign_store.h"
#include "data/contact_list.h"
#include "platform/folders.h"
#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "skype/skype_connector.h"
#include "support/qt_wait.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"
#include "ui/main_window_view.h"

namespace zorvan {
namespace {

using test::WaitUntil;

std::size_t Calls(const test::StandIn& sim) {
    std::size_t n = 0;
    for (const std::string& c : sim.Received()) n += c.rfind("CALL ", 0) == 0;
    return n;
}

TEST(SemiDialOnBus, DialNextPlacesTheSecondCallAndTheEndOfTheListStops) {
    test::StandIn sim("number +15552000 ring 0.3 answer hangup-after 1\n"
                      "number +15552001 ring 0.3 busy\n");
    test::TempDir home;
    const std::string campaign = home / "Documents/semi.xml";
    test::WriteFile(campaign, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dialer><contacts>"
                              "<c1><fname>Ingrid</fname><lname>Olsen</lname><phone>555 2000</phone></c1>"
                              "<c2><fname>Kenji</fname><lname>Sato</lname><phone>555 2001</phone></c2>"
                              "</contacts></dialer>");
    FixedFolders folders{home / "Documents", home / ".config"};
    test::FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    DBusSkypeTransport bus;
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, &bus, audio::AudioStreamServer::Ports{0, 0}, true,
                                  campaign, nullptr}};
    dlg.Initialize();
    ASSERT_TRUE(WaitUntil([&] { return dlg.connected(); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return dlg.contacts()->Count() == 2 && !dlg.campaign()->fileWorkRunning(); }, 10000));
    const ui::MainWindowView& view = dlg.view();

    view.semiStart->click();
    EXPECT_EQ(view.semiStart->text(), "Stop Dialing");
    EXPECT_FALSE(view.autoStart->isEnabled());
    EXPECT_FALSE(view.semiNext->isEnabled());
    EXPECT_TRUE(view.progressText->isVisible() || !dlg.isVisible());
    EXPECT_EQ(dlg.dialRoom()->progressText(), "Dialed 1 of 2 \xC2\xB7 Ingrid Olsen (555 2000)");
    ASSERT_TRUE(WaitUntil([&] { return view.semiNext->isEnabled(); }, 15000)) << "the first call has ended";
    EXPECT_EQ(dlg.contacts()->At(0)->cstatus, "Call Succeeded");
    WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(Calls(sim), 1u) << "semi-automatic: nothing before Dial Next";

    view.semiNext->click();
    EXPECT_FALSE(view.semiNext->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return Calls(sim) == 2; }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return dlg.contacts()->At(1)->cstatus == "Line is Busy"; }, 15000));
    if (const char* folder = std::getenv("ZORVAN_SCREENSHOT_DIR")) {
        dlg.resize(900, 560);
        dlg.show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(dlg.grab().save(QString::fromUtf8(folder) + QStringLiteral("/main-window-dialing.png")));
    }
    // Redial 0: the end of the list ends the dialing.
    view.semiNext->click();
    ASSERT_TRUE(WaitUntil([&] { return view.semiStart->text() == "Start Dialing"; }, 5000));
    EXPECT_TRUE(view.autoStart->isEnabled());
    EXPECT_FALSE(view.semiNext->isEnabled());
    EXPECT_FALSE(view.progressText->isVisible());
    EXPECT_EQ(Calls(sim), 2u);
    EXPECT_EQ(sim.Received().front().rfind("GET ", 0), 0u);
    dlg.Shutdown();
    // What the calls left reaches the file.
    const std::string written = test::ReadFile(campaign);
    EXPECT_NE(written.find("<cstatus>Call Succeeded</cstatus>"), std::string::npos) << written;
    EXPECT_NE(written.find("<cstatus>Line is Busy</cstatus>"), std::string::npos);
}

}  // namespace
}  // namespace zorvan
