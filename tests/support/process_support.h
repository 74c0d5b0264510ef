#pragma once

// The real programs started as a user starts them: in a home folder of
// their own, under Qt's offscreen platform, on any free audio ports.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace zorvan::test {

using namespace std::chrono_literals;

// The environment of this process, less what would leak the developer's own
// settings into the test, plus the given overrides.
inline std::vector<std::string> Environment(const std::string& home, const std::string& runtime, bool withBus) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string key = entry.substr(0, entry.find('='));
        if (key == "HOME" || key.rfind("XDG_", 0) == 0 || key == "QT_QPA_PLATFORM" || key == "DISPLAY" ||
            key == "WAYLAND_DISPLAY" || (key == "DBUS_SESSION_BUS_ADDRESS" && !withBus)) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("HOME=" + home);
    env.push_back("XDG_RUNTIME_DIR=" + runtime);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("ZORVAN_AUDIO_PORTS=0,0");  // any free ports, never the fixed ones
    env.push_back("ZORVAN_UPDATE_ROOT=http://127.0.0.1:9/");  // the update check asks nobody
    return env;
}

inline pid_t Spawn(std::vector<std::string> args, const std::string& home, const std::string& runtime, bool withBus) {
    std::vector<std::string> env = Environment(home, runtime, withBus);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string binary = args.front();
    pid_t pid = -1;
    if (::posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

// The dialer, without a session bus unless told.
inline pid_t Start(const std::string& home, const std::string& runtime, bool withBus = false) {
    return Spawn({ZORVAN_DIALER_BINARY}, home, runtime, withBus);
}

// Waits for the process to end; its exit status, or -1 on a time-out or a
// death by signal.
inline int WaitExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(20ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}


}  // namespace zorvan::test
