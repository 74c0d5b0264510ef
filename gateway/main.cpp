// zorvan-sip-gateway: plays the Skype client on the session bus and places
// the dialer's calls over SIP.
#include <QCoreApplication>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/signal_bridge.h"
#include "gateway_settings.h"
#include "sip_gateway.h"

namespace {

constexpr const char* kUsage =
    "Usage: zorvan-sip-gateway [--config FILE] [--log FILE]\n"
    "Takes the Skype client's place on the session bus and places the dialer's\n"
    "calls through a SIP account.\n"
    "\n"
    "  --config FILE  settings (default: ~/.config/Zorvan/sip-gateway.conf)\n"
    "  --log FILE     write every text to and from the dialer to FILE\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Settings are \"key = value\" lines: listen, domain, registrar, username,\n"
    "password, outbound-proxy, codecs. Only domain is required.\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "zorvan-sip-gateway: %s\nTry 'zorvan-sip-gateway --help'.\n", problem.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string configPath;
    std::string logPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("zorvan-sip-gateway %s\n", ZORVAN_GATEWAY_VERSION);
            return 0;
        }
        if ((arg == "--config" || arg == "--log") && i + 1 < argc) {
            (arg == "--config" ? configPath : logPath) = argv[++i];
        } else if (arg.rfind("--config=", 0) == 0) {
            configPath = arg.substr(9);
        } else if (arg.rfind("--log=", 0) == 0) {
            logPath = arg.substr(6);
        } else if (arg == "--config" || arg == "--log") {
            return Usage(arg + " needs a file");
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }
    if (configPath.empty()) configPath = zorvan::gateway::DefaultSettingsPath();
    std::ifstream file(configPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr,
                     "zorvan-sip-gateway: cannot read %s\n"
                     "Write it with at least the line \"domain = <your SIP provider or PBX>\" (see --help).\n",
                     configPath.c_str());
        return 1;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    auto settings = zorvan::gateway::ParseGatewaySettings(text.str(), error);
    if (!settings) {
        std::fprintf(stderr, "zorvan-sip-gateway: %s: %s\n", configPath.c_str(), error.c_str());
        return 1;
    }

    if (settings->listen.host == "0.0.0.0" || settings->listen.host == "::") {
        // The address the callee must answer to: the one towards the domain
        // (or the outbound proxy, where every request goes first).
        const auto& first = settings->outboundProxy ? *settings->outboundProxy : settings->domain;
        const auto local = zorvan::gateway::RouteAddress(first, error);
        if (!local) {
            std::fprintf(stderr, "zorvan-sip-gateway: %s: %s (set \"listen\" to this computer's address)\n",
                         configPath.c_str(), error.c_str());
            return 1;
        }
        settings->listen.host = *local;
    }

    QCoreApplication app(argc, argv);
    zorvan::gateway::SipGateway gateway(std::move(*settings), QString::fromStdString(logPath));
    QString startError;
    if (!gateway.Start(startError)) {
        std::fprintf(stderr, "zorvan-sip-gateway: %s\n", qPrintable(startError));
        return 1;
    }
    // SIGTERM and Ctrl+C end the calls on the wire before the program goes.
    zorvan::SignalBridge bridge;
    QObject::connect(&bridge, &zorvan::SignalBridge::terminationRequested, &app, &QCoreApplication::quit);
    const int status = QCoreApplication::exec();
    gateway.Stop();
    return status;
}
