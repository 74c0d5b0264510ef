#include "app/dialer_app.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "data/campaign_convert.h"
#include "app/dialer_dlg.h"
#include "app/signal_bridge.h"
#include "app/single_instance.h"
#include "data/xml_memory.h"
#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_folders.h"
#include "platform/qt/qt_http_get.h"
#include "platform/qt/qt_prompts.h"
#include "platform/qt/qt_shell.h"

namespace zorvan {

namespace {
std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}
}  // namespace

int CDialerApp::Run(int argc, char** argv) {
    // Help and version need no display: answered before Qt starts.
    const std::string cwd = std::filesystem::current_path().string();
    for (const std::string& arg : Arguments(argc, argv)) {
        if (arg == "--help" || arg == "-h") {
            std::cout << UsageText();
            return 0;
        }
        if (arg == "--version") {
            std::cout << VersionText();
            return 0;
        }
    }
    // The file conversions for scripts: no window, no single-instance claim,
    // so a running dialer is never disturbed.
    const auto args = Arguments(argc, argv);
    if (std::any_of(args.begin(), args.end(),
                    [](const std::string& a) {
                        return a == "--convert-csv" || a == "--export-csv" || a == "--html-report";
                    })) {
        const CommandLine tool = ParseCommandLine(args, cwd);
        if (!tool.error.empty()) {
            std::cerr << "zorvan-dialer: " << tool.error << "\nTry 'zorvan-dialer --help' for more information.\n";
            return 2;
        }
        std::size_t count = 0;
        std::string error;
        const std::vector<std::string>& files =
            !tool.convertCsv.empty() ? tool.convertCsv : !tool.exportCsv.empty() ? tool.exportCsv : tool.htmlReport;
        const bool ok = !tool.convertCsv.empty()  ? ConvertCsvToCampaign(files[0], files[1], &count, &error)
                        : !tool.exportCsv.empty() ? ExportCampaignToCsv(files[0], files[1], &count, &error)
                                                  : ReportCampaignAsHtml(files[0], files[1], &count, &error);
        if (!ok) {
            std::cerr << "zorvan-dialer: " << error << '\n';
            return 1;
        }
        std::cout << count << " contacts written to " << files[1] << '\n';
        return 0;
    }
    QApplication app(argc, argv);  // takes out Qt's own options
    const CommandLine line = ParseCommandLine(Arguments(argc, argv), cwd);
    if (!line.error.empty()) {
        std::cerr << "zorvan-dialer: " << line.error << "\nTry 'zorvan-dialer --help' for more information.\n";
        return 2;
    }
    if (!line.open.empty()) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(line.open, error)) {
            std::cerr << "zorvan-dialer: cannot open '" << line.open << "': no such campaign file\n";
            return 2;
        }
    }
    QApplication::setApplicationName(QStringLiteral("Zorvan Dialer"));
    // Closing the window hides it; only "Exit" ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SignalBridge termination;
    SingleInstance instance;
    switch (instance.claim(QByteArray::fromStdString(EncodeRequest(line)))) {
        case SingleInstance::Role::Second:
            return 0;  // the running dialer has it
        case SingleInstance::Role::Unanswered:
            std::cerr << "zorvan-dialer: a dialer is running but did not take the request\n";
            return 1;
        case SingleInstance::Role::First:
            break;
    }

    UseLargePagesForXml();
    QtEventLoop loop;
    QtPrompts prompts;
    QtFolders folders;
    QtShell shell;
    DBusSkypeTransport skype;
    QtHttpGet http;
    CDialerDlg dlg(DialerServices{loop, prompts, folders, shell, &skype, audio::AudioStreamServer::PortsFromEnvironment(),
                                  std::nullopt, line.open, &http});
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
    QObject::connect(&instance, &SingleInstance::requestReceived, &dlg, [&dlg](const QByteArray& request) {
        const CommandLine asked = DecodeRequest(request.toStdString());
        dlg.Launch(asked.open, asked.dial);
    });

    dlg.Initialize();
    dlg.show();
    dlg.Launch(line.open, line.dial, true);
    if (!endRequested) QApplication::exec();
    dlg.Shutdown();
    return 0;
}

}  // namespace zorvan
