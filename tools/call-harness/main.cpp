// call-harness: places one call through the Skype client (or its stand-in)
// with the call controller, plays a greeting when the call is answered, and
// prints every event the main window would get, one per line:
//
//   ATTACHED, DIALING, CONNECTED, GREETING_STARTED, GREETING_PROGRESS <n>,
//   GREETING_FINISHED, ENDED <state>, INVALID_NUMBER, REFUSED, USER_STATUS <n>
//
//   call-harness --number N [--greeting FILE] [--keep-call] [--wait-for-answer S] [--timeout S]
//
// Exit status: 0 when the call ended, 1 on time-out, 2 on bad arguments,
// 3 when the number was rejected or the client refused the attach.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <string>

#include "audio/audio_stream_server.h"
#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/prompts.h"
#include "platform/um_events.h"
#include "skype/audio_routing.h"
#include "skype/call_controller.h"
#include "skype/server_input_port.h"
#include "skype/skype_connector.h"

namespace {

using namespace zorvan;

struct ConsolePrompts final : Prompts {
    PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon, PromptButtons) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return PromptAnswer::Ok;
    }
};

struct Options {
    std::string number;
    std::string greeting;
    bool hangUpAfter = true;
    int waitForAnswer = 45;
    int timeout = 120;
};

// The main window's side: prints what it is told and drives the call.
class Harness final : public EventHandler {
public:
    Harness(const Options& options, CallController*& controller) : options_(options), controller_(controller) {}

    void OnEvent(const Event& e) override {
        switch (e.id) {
            case um::UM_SKYPE_ATTACHED:
                Print("ATTACHED");
                if (!dialed_) {
                    dialed_ = true;
                    if (!controller_->Dial(options_.number)) Print("DIAL_FAILED");
                }
                break;
            case um::UM_CALL_DIALING:
                Print("DIALING");
                break;
            case um::UM_CALL_CONNECTED:
                Print("CONNECTED");
                if (!greeted_ && !options_.greeting.empty()) {
                    greeted_ = true;
                    if (!controller_->PlayGreeting(options_.greeting, options_.hangUpAfter)) Print("GREETING_REFUSED");
                }
                break;
            case um::UM_GREETING_STARTED:
                Print("GREETING_STARTED");
                break;
            case um::UM_GREETING_PROGRESS:
                Print("GREETING_PROGRESS " + std::to_string(e.wParam));
                break;
            case um::UM_GREETING_FINISHED:
                Print("GREETING_FINISHED");
                break;
            case um::UM_CALL_ENDED:
                Print("ENDED " + std::to_string(e.wParam));
                QCoreApplication::exit(0);
                break;
            case um::UM_CALL_INVALID_NUMBER:
                Print("INVALID_NUMBER");
                QCoreApplication::exit(3);
                break;
            case um::UM_SKYPE_REFUSED:
                Print("REFUSED");
                QCoreApplication::exit(3);
                break;
            case um::UM_SKYPE_USER_STATUS:
                Print("USER_STATUS " + std::to_string(e.wParam));
                break;
            default:
                break;
        }
    }

private:
    static void Print(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    const Options& options_;
    CallController*& controller_;
    bool dialed_ = false;
    bool greeted_ = false;
};

int Usage() {
    std::fputs(
        "usage: call-harness --number N [--greeting FILE] [--keep-call] [--wait-for-answer S] [--timeout S]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--number" && hasValue) {
            options.number = argv[++i];
        } else if (arg == "--greeting" && hasValue) {
            options.greeting = argv[++i];
        } else if (arg == "--keep-call") {
            options.hangUpAfter = false;
        } else if (arg == "--wait-for-answer" && hasValue) {
            options.waitForAnswer = std::atoi(argv[++i]);
        } else if (arg == "--timeout" && hasValue) {
            options.timeout = std::atoi(argv[++i]);
        } else {
            return Usage();
        }
    }
    if (options.number.empty() || options.waitForAnswer <= 0 || options.timeout <= 0) return Usage();

    QtEventLoop loop;
    ConsolePrompts prompts;
    DBusSkypeTransport transport;
    SkypeConnector& connector = SkypeConnector::Create(loop, transport);
    ServerInputPort inputPort;
    CallAudioRouter router(loop, connector, &inputPort);
    connector.SetAudioRouting(&router);
    // The process-wide instances go before the loop, the prompts, the
    // transport and the router they use.
    struct Instances {
        ~Instances() {
            CallController::DestroyInstance();
            audio::AudioStreamServer::DestroyInstance();
            SkypeConnector::DestroyInstance();
        }
    } instances;
    audio::AudioStreamServer& audio =
        audio::AudioStreamServer::Create(prompts, audio::AudioStreamServer::PortsFromEnvironment());
    audio.SetRerouteRequest([&router] { router.RequestReroute(); });
    if (!audio.OpenInputPort() || !audio.OpenOutputPort()) return 1;
    const std::string greetingPort = std::to_string(audio.inputPort());
    connector.SetAudioPorts(greetingPort, std::to_string(audio.outputPort()));

    CallController* controller = nullptr;
    Harness harness(options, controller);
    ScopedTarget main(loop, harness);
    CallControllerServices services{loop, connector, router, audio, prompts,
                                    [&options] { return options.waitForAnswer; }, greetingPort};
    services.greetingInputReady = [&audio] {
        int socket = -1;
        return audio.inputServer().FirstConnectedSocket(socket);
    };
    controller = &CallController::Instance(std::move(services), main.id());
    QTimer::singleShot(options.timeout * 1000, [] {
        std::fputs("call-harness: timed out\n", stderr);
        QCoreApplication::exit(1);
    });
    return QCoreApplication::exec();
}
