#include "app/signal_bridge.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace zorvan {

namespace {
int gPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here.
    [[maybe_unused]] const auto n = ::write(gPipe[1], &byte, 1);
}
}  // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(gPipe[0], &byte, 1);
        emit terminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A file that reaches the size limit fails its write (EFBIG), which the
    // writers report, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
}

SignalBridge::~SignalBridge() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : gPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace zorvan
