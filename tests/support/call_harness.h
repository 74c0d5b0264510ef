#pragma once

// Runs tools/call-harness against the client on the test's private bus
// (tests that define CALL_HARNESS_BINARY) and returns what it printed.
#include <QStringList>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/qt_wait.h"
#include "support/temp_dir.h"

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

// Started with posix_spawn, not QProcess: Qt's clone-based start is more
// than ThreadSanitizer's runtime can follow (scripts/tsan.sh). What it
// prints goes to a file; what it says on standard error, to the test's.
inline HarnessRun RunHarness(const QStringList& arguments, int limitMs = 60000) {
    TempDir dir;
    const std::string out = dir / "harness.txt";
    std::vector<std::string> args{CALL_HARNESS_BINARY};
    for (const QString& a : arguments) args.push_back(a.toStdString());
    std::vector<std::string> env;
    for (char** e = ::environ; *e != nullptr; ++e) {
        if (std::string(*e).rfind("ZORVAN_AUDIO_PORTS=", 0) != 0) env.emplace_back(*e);
    }
    env.emplace_back("ZORVAN_AUDIO_PORTS=0,0");  // any free ports
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    HarnessRun run;
    const int spawned = ::posix_spawn(&pid, CALL_HARNESS_BINARY, &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "call-harness did not start";
        return run;
    }
    int status = 0;
    if (!WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limitMs)) {
        ADD_FAILURE() << "call-harness did not end within " << limitMs << " ms";
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else {
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::istringstream lines(ReadFile(out));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.rfind("GREETING_PROGRESS", 0) == 0 || line.rfind("USER_STATUS", 0) == 0) continue;
        run.lines.push_back(line);
    }
    return run;
}

}  // namespace zorvan::test
