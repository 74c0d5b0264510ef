// A dial pad key during an answered call reaches the Skype client as the
// tone for the call in progress: the real main window, the stand-in on a
// private bus, Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cstdlib>

#include "app/contact_room.h"
#include "app/dialer_dlg.h"
#include "platform/folders.h"
#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "skype/call_controller.h"
#include "skype/call_table.h"
#include "skype/skype_connector.h"
#include "support/qt_wait.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"
#include "ui/dlg_contact_msg.h"
#include "ui/dlg_dial_pad.h"

namespace zorvan {
namespace {

using test::WaitUntil;

TEST(DialPadOnBus, AKeyDuringAnAnsweredCallGoesToTheCallInProgress) {
    test::StandIn sim(
        "number +15551000 ring 0.2 answer\n");
    test::TempDir home;
    FixedFolders folders{home / "Documents", home / ".config"};
    test::FakePrompts prompts;
    test::FakeShell shell;
    QtEventLoop loop;
    DBusSkypeTransport bus;
    CDialerDlg dlg{DialerServices{loop, prompts, folders, shell, &bus, audio::AudioStreamServer::Ports{0, 0}, true, {}, nullptr}};
    dlg.Initialize();
    ASSERT_TRUE(WaitUntil([] { return SkypeConnector::Instance() != nullptr && SkypeConnector::Instance()->linkOpen(); },
                          10000));
    CallController& controller = *CallController::Instance();

    // The call on hold takes no tone; in progress, it takes each key.
    ASSERT_TRUE(controller.Dial("+15551000"));
    ASSERT_TRUE(WaitUntil([&] { return controller.state() == StateConnected; }, 10000));
    const std::string held = controller.ownCallId();
    controller.HoldOrResume(true);
    ASSERT_TRUE(WaitUntil(
        [&] { return SkypeConnector::Instance()->callTable().StateOf(held) == SkypeOnHold; }, 10000));
    ui::CDlgDialPad& pad = dlg.contactRoom()->window().dialPad();
    pad.Press('5');
    // Half a second for a tone that must not come; the keys below show the
    // same path does carry tones.
    WaitUntil([] { return false; }, 500);
    for (const std::string& c : sim.Received()) EXPECT_EQ(c.find("dtmf"), std::string::npos) << "a held call takes no tone";

    controller.HoldOrResume(false);
    ASSERT_TRUE(WaitUntil(
        [&] { return SkypeConnector::Instance()->callTable().StateOf(held) == SkypeInProgress; }, 10000));
    for (const char key : {'1', '2', '#'}) dlg.contactRoom()->mainPad().Press(key);
    ASSERT_TRUE(WaitUntil(
        [&] {
            int tones = 0;
            for (const std::string& c : sim.Received()) tones += c.rfind("alter call " + held + " dtmf ", 0) == 0;
            return tones == 3;
        },
        10000));
    std::vector<std::string> tones;
    for (const std::string& c : sim.Received()) {
        if (c.find(" dtmf ") != std::string::npos) tones.push_back(c);
    }
    EXPECT_EQ(tones, (std::vector<std::string>{"alter call " + held + " dtmf 1", "alter call " + held + " dtmf 2",
                                               "alter call " + held + " dtmf #"}));
    EXPECT_NE(test::ReadFile(sim.log()).find("-- call " + held + " DTMF #"), std::string::npos)
        << "the client took the tone";
    EXPECT_EQ(dlg.contactRoom()->mainPad().display(), "12#");

    // The contact window during the call, beside the main window: saved as
    // a picture when the screenshot script asks for one.
    Contact callee;
    callee.id = 1;
    callee.fname = "Chloé";
    callee.lname = "Dubois";
    callee.phone = "+1 555 1000";
    callee.email = "chloe@example.org";
    callee.company = "Boulangerie Dubois";
    callee.city = "Montréal";
    callee.notes = "Asked for the spring prices";
    dlg.contactRoom()->Show(callee, true);
    ui::CDlgContactMsg& window = dlg.contactRoom()->window();
    window.SetCallPhase(CallPhase::Human, false);
    EXPECT_EQ(window.title(), "Call Connected To Chloé Dubois");
    EXPECT_TRUE(window.button("hold")->isEnabled());
    if (const char* folder = std::getenv("ZORVAN_SCREENSHOT_DIR")) {
        dlg.resize(900, 560);
        dlg.show();
        window.dialPad().show();
        QCoreApplication::processEvents();
        const QPixmap main = dlg.grab();
        const QPixmap contact = window.grab();
        const QPixmap pad = window.dialPad().grab();
        QPixmap both(main.width() + contact.width() + pad.width() + 40,
                     std::max({main.height(), contact.height(), pad.height()}) + 20);
        both.fill(QColor(90, 90, 90));
        QPainter painter(&both);
        painter.drawPixmap(10, 10, main);
        painter.drawPixmap(main.width() + 20, 10, contact);
        painter.drawPixmap(main.width() + contact.width() + 30, 10, pad);
        painter.end();
        EXPECT_TRUE(both.save(QString::fromUtf8(folder) + QStringLiteral("/contact-window-in-call.png")));
    }
    dlg.Shutdown();
}

}  // namespace
}  // namespace zorvan
