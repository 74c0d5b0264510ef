#include "app/dialer_app.h"

#include <QApplication>

#include "app/dialer_dlg.h"
#include "app/signal_bridge.h"
#include "app/single_instance.h"
#include "data/xml_memory.h"
#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_folders.h"
#include "platform/qt/qt_prompts.h"
#include "platform/qt/qt_shell.h"

namespace zorvan {

int CDialerApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvan Dialer"));
    // Closing the window hides it; only "Exit" ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SignalBridge termination;
    SingleInstance instance;
    if (instance.claim() == SingleInstance::Role::Second) return 0;

    UseLargePagesForXml();
    QtEventLoop loop;
    QtPrompts prompts;
    QtFolders folders;
    QtShell shell;
    DBusSkypeTransport skype;
    CDialerDlg dlg(DialerServices{loop, prompts, folders, shell, &skype, audio::AudioStreamServer::PortsFromEnvironment(),
                                  std::nullopt});
    prompts.setParent(&dlg);

    // exit(), not quit(): quit() first offers every window a close, and the
    // main window's close box only hides it.
    // A request that comes while start-up still runs (inside a message box,
    // say) must still end the program: remember it for the exec() below.
    bool endRequested = false;
    const auto endLoop = [&endRequested] {
        endRequested = true;
        QCoreApplication::exit(0);
    };
    QObject::connect(&termination, &SignalBridge::terminationRequested, &app, endLoop);
    QObject::connect(&dlg, &CDialerDlg::exitRequested, &app, endLoop, Qt::QueuedConnection);
    QObject::connect(&instance, &SingleInstance::activationRequested, &dlg, &CDialerDlg::Activate);

    dlg.Initialize();
    dlg.show();
    if (!endRequested) QApplication::exec();
    dlg.Shutdown();
    return 0;
}

}  // namespace zorvan
