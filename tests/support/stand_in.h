#pragma once

// The Skype stand-in as a separate process on the session bus, with its
// scenario, its log and (in the log's folder) what callees heard. For tests
// that run inside a private bus and define SKYPE_SIM_BINARY.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>

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

    void Start() {
        process_.start(QStringLiteral(SKYPE_SIM_BINARY),
                       {QStringLiteral("--scenario"), QString::fromStdString(dir_ / "scenario.txt"),
                        QStringLiteral("--log"), QString::fromStdString(log())});
        EXPECT_TRUE(WaitUntil(SkypeOnBus, 10000)) << "the stand-in did not take com.Skype.API";
        // Its ApiAvailable goes out just after it takes the name; let that
        // pass before a dialer starts, so it meets only its own discover.
        EXPECT_TRUE(WaitUntil([this] { return ReadFile(log()).find("started as") != std::string::npos; }, 10000));
        WaitUntil([] { return false; }, 100);
    }
    void Kill() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
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
    QProcess process_;
};

}  // namespace zorvan::test
