// call-harness: places a call through the Skype client (or its stand-in)
// with the call controller, plays a greeting when the call is answered, and
// prints every event the main window would get, one per line:
//
//   ATTACHED, DIALING, CONNECTED, AMD human|machine, GREETING_STARTED,
//   GREETING_PROGRESS <n>, GREETING_FINISHED, ENDED <state>, INVALID_NUMBER,
//   REFUSED, USER_STATUS <n>
//
// With --detect the answering machine detection runs from the answer on
// (the window of the threshold setting, or six seconds with --amd-mode 1)
// and the call is hung up at the verdict.
// With --calls N the number is called N times, --pause S apart, each once
// the link to the client is open; --linger S stays S seconds after the last
// end; --hold S holds the answered call after S seconds and resumes it S
// seconds later; --dtmf KEYS sends the keys, 0.3 s apart, a second after
// the answer.
//
// Exit status: 0 when the (last) call ended, 1 on time-out, 2 on bad
// arguments, 3 when the number was rejected or the client refused the attach.
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
    bool detect = false;
    int threshold = 2;
    int amdMode = 0;
    int calls = 1;
    double pause = 0;
    double linger = 0;  // seconds to stay after the last end, printing what else comes
    double hold = 0;    // hold this long after the answer, then resume as long after
    std::string dtmf;   // keys sent after the answer
};

// The main window's side: prints what it is told and drives the call.
class Harness final : public EventHandler {
public:
    static constexpr int kDecisionTimer = 101;

    Harness(const Options& options, CallController*& controller, SkypeConnector& connector,
            audio::AudioStreamServer& audio, EventLoop& loop)
        : options_(options), controller_(controller), connector_(connector), audio_(audio), loop_(loop) {}
    void SetTarget(TargetId target) { target_ = target; }

    void OnEvent(const Event& e) override {
        switch (e.id) {
            case um::UM_SKYPE_ATTACHED:
                Print("ATTACHED");
                if (waitingForLink_) DialNext();
                break;
            case um::UM_CALL_DIALING:
                Print("DIALING");
                break;
            case um::UM_CALL_CONNECTED:
                Print("CONNECTED");
                if (options_.hold > 0 && !held_) {
                    held_ = true;
                    const int ms = static_cast<int>(options_.hold * 1000);
                    QTimer::singleShot(ms, [this] { controller_->HoldOrResume(true); });
                    QTimer::singleShot(2 * ms, [this] { controller_->HoldOrResume(false); });
                }
                if (!options_.dtmf.empty() && !keyed_) {
                    keyed_ = true;
                    for (std::size_t i = 0; i < options_.dtmf.size(); ++i) {
                        QTimer::singleShot(1000 + static_cast<int>(300 * i), [this, i] {
                            connector_.SendDtmf(controller_->ownCallId(), std::string(1, options_.dtmf[i]));
                        });
                    }
                }
                if (options_.detect && !detecting_) {
                    detecting_ = true;
                    loop_.setTimer(target_, kDecisionTimer, audio::DetectionWindowMs(options_.threshold, options_.amdMode));
                    audio_.StartDetection();
                }
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
            case um::UM_AMD_RESULT:
                loop_.killTimer(target_, kDecisionTimer);
                Print(e.wParam == 1 ? "AMD human" : "AMD machine");
                controller_->Reset();
                break;
            case um::UM_CALL_ENDED:
                Print("ENDED " + std::to_string(e.wParam));
                loop_.killTimer(target_, kDecisionTimer);
                detecting_ = false;
                greeted_ = false;
                if (++ended_ == options_.calls) {
                    QTimer::singleShot(static_cast<int>(options_.linger * 1000), [] { QCoreApplication::exit(0); });
                } else if (ended_ < options_.calls) {
                    QTimer::singleShot(static_cast<int>(options_.pause * 1000), [this] { DialNext(); });
                }
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

    void OnTimer(int timerId) override {
        loop_.killTimer(target_, timerId);
        if (timerId == kDecisionTimer) audio_.DetectionTimeout();
    }

    // Each call once the link is open; until then the next attach dials.
    void DialNext() {
        if (!connector_.linkOpen()) {
            waitingForLink_ = true;
            return;
        }
        waitingForLink_ = false;
        if (!controller_->Dial(options_.number)) Print("DIAL_FAILED");
    }

private:
    static void Print(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

    const Options& options_;
    CallController*& controller_;
    SkypeConnector& connector_;
    audio::AudioStreamServer& audio_;
    EventLoop& loop_;
    TargetId target_ = kNoTarget;
    bool waitingForLink_ = true;
    bool greeted_ = false;
    bool detecting_ = false;
    bool held_ = false;
    bool keyed_ = false;
    int ended_ = 0;
};

int Usage(std::FILE* out = stderr) {
    std::fputs(
        "usage: call-harness --number N [--greeting FILE] [--keep-call] [--wait-for-answer S] [--timeout S]\n"
        "                    [--detect [--threshold 1|2|3] [--amd-mode 0|1]] [--calls N [--pause S]] [--linger S]\n"
        "                    [--hold S] [--dtmf KEYS]\n",
        out);
    return out == stderr ? 2 : 0;
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
        } else if (arg == "--detect") {
            options.detect = true;
        } else if (arg == "--threshold" && hasValue) {
            options.threshold = std::atoi(argv[++i]);
        } else if (arg == "--amd-mode" && hasValue) {
            const std::string mode = argv[++i];
            if (mode != "0" && mode != "1") return Usage();
            options.amdMode = mode == "1" ? audio::kAmdModeShape : audio::kAmdModeSilence;
        } else if (arg == "--calls" && hasValue) {
            options.calls = std::atoi(argv[++i]);
        } else if (arg == "--pause" && hasValue) {
            options.pause = std::atof(argv[++i]);
        } else if (arg == "--linger" && hasValue) {
            options.linger = std::atof(argv[++i]);
        } else if (arg == "--dtmf" && hasValue) {
            options.dtmf = argv[++i];
        } else if (arg == "--hold" && hasValue) {
            options.hold = std::atof(argv[++i]);
        } else if (arg == "--help" || arg == "-h") {
            return Usage(stdout);
        } else {
            return Usage();
        }
    }
    if (options.number.empty() || options.waitForAnswer <= 0 || options.timeout <= 0 || options.calls <= 0 ||
        options.pause < 0 || options.linger < 0 || options.hold < 0 || options.threshold < 1 || options.threshold > 3) {
        return Usage();
    }

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
    connector.SetAudioPorts(std::to_string(audio.inputPort()), std::to_string(audio.outputPort()));

    CallController* controller = nullptr;
    Harness harness(options, controller, connector, audio, loop);
    ScopedTarget main(loop, harness);
    harness.SetTarget(main.id());
    audio.SetEventLoop(&loop);
    audio.SetNotifyWindow(main.id());
    audio.amd().SetThreshold([&options] { return options.threshold; });
    audio.amd().SetMode([&options] { return options.amdMode; });
    CallControllerServices services{loop, connector, router, audio, prompts,
                                    [&options] { return options.waitForAnswer; }};
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
