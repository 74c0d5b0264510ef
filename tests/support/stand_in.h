#pragma once

// The Skype stand-in as a separate process on the session bus, with its
// scenario, its log and (in the log's folder) what callees heard. For tests
// that run inside a private bus and define SKYPE_SIM_BINARY.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace zorvan::test {

inline bool SkypeOnBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("com.Skype.API")).value();
}

class StandIn {
public:
    explicit StandIn(const std::string& scenario) {
        WriteFile(dir_ / "scenario.txt", scenario);
        Start();
    }
    ~StandIn() { Kill(); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Started with posix_spawn, not QProcess: Qt's clone-based start is
    // more than ThreadSanitizer's runtime can follow (scripts/tsan.sh).
    void Start() {
        const std::string scenario = dir_ / "scenario.txt";
        const std::string logPath = log();
        std::vector<std::string> args{SKYPE_SIM_BINARY, "--scenario", scenario, "--log", logPath};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, SKYPE_SIM_BINARY, nullptr, nullptr, argv.data(), ::environ) != 0) pid_ = 0;
        EXPECT_GT(pid_, 0) << "the stand-in did not start";
        EXPECT_TRUE(WaitUntil(SkypeOnBus, 10000)) << "the stand-in did not take com.Skype.API";
        // Its ApiAvailable goes out just after it takes the name; let that
        // pass before a dialer starts, so it meets only its own discover.
        EXPECT_TRUE(WaitUntil([this] { return ReadFile(log()).find("started as") != std::string::npos; }, 10000));
        WaitUntil([] { return false; }, 100);
    }
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
        EXPECT_TRUE(WaitUntil([] { return !SkypeOnBus(); }, 10000));
    }
    const TempDir& dir() const { return dir_; }
    std::string log() const { return dir_ / "log.txt"; }
    // Every command the stand-in received, in order.
    std::vector<std::string> Received() const {
        std::vector<std::string> out;
        QFile file(QString::fromStdString(log()));
        if (!file.open(QIODevice::ReadOnly)) return out;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const int arrow = line.indexOf(" <- ");
            if (arrow >= 0) out.push_back(line.mid(arrow + 4).toStdString());
        }
        return out;
    }

private:
    TempDir dir_;
    pid_t pid_ = 0;
};

}  // namespace zorvan::test
