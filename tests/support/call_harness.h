#pragma once

// Runs tools/call-harness against the stand-in on the test's private bus
// (tests that define CALL_HARNESS_BINARY) and returns what it printed.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

#include "support/qt_wait.h"

namespace zorvan::test {

struct HarnessRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // every line, in order, progress lines left out

    // The lines, each once in a row.
    std::vector<std::string> Events() const {
        std::vector<std::string> out;
        for (const std::string& line : lines) {
            if (out.empty() || out.back() != line) out.push_back(line);
        }
        return out;
    }
    std::size_t Count(const std::string& prefix) const {
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }
};

inline HarnessRun RunHarness(const QStringList& arguments, int limitMs = 60000) {
    QProcess harness;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZORVAN_AUDIO_PORTS"), QStringLiteral("0,0"));  // any free ports
    harness.setProcessEnvironment(environment);
    harness.start(QStringLiteral(CALL_HARNESS_BINARY), arguments);
    HarnessRun run;
    if (!WaitUntil([&] { return harness.state() == QProcess::NotRunning; }, limitMs)) {
        ADD_FAILURE() << "call-harness did not end within " << limitMs << " ms";
        harness.kill();
        harness.waitForFinished(5000);
    }
    run.exitCode = harness.exitStatus() == QProcess::NormalExit ? harness.exitCode() : -1;
    for (const QByteArray& line : harness.readAllStandardOutput().split('\n')) {
        if (line.isEmpty() || line.startsWith("GREETING_PROGRESS") || line.startsWith("USER_STATUS")) continue;
        run.lines.push_back(line.toStdString());
    }
    return run;
}

}  // namespace zorvan::test
