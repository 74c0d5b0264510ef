#pragma once

// A real SIP user agent as the callee: baresip (Debian's baresip-core),
// started with a configuration of its own, on 127.0.0.1 only. Each account
// is one callee number; what it hears is written by the sndfile module as
// dump-*-dec.wav in its folder. Calls to an account listed as busy are
// turned away with 486 through baresip's control socket.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/process_support.h"
#include "support/temp_dir.h"

namespace zorvan::test {

struct BaresipAccount {
    std::string user;    // the number the account answers, as the gateway sends it ("+15550100001")
    std::string answer;  // "auto", "manual" (rings until the caller gives up) or "busy"
    std::string voice;   // a WAV it plays once answered (then it hangs up); empty: the default voice
    std::string codecs;  // only these codecs ("L16"), when set
    std::string params;  // more account parameters (";ptime=30")
};

class Baresip {
public:
    // `port` and port + 1 (baresip's TLS port) must be free, and `port` + 2
    // for its control socket.
    Baresip(unsigned port, std::vector<BaresipAccount> accounts, const std::string& defaultVoice)
        : port_(port), ctrlPort_(port + 2) {
        std::string config =
            "sip_listen 127.0.0.1:" + std::to_string(port) + "\n"
            "net_interface 127.0.0.1\n"
            "audio_player alsa,null\n"
            "audio_alert alsa,null\n"
            "audio_source aufile," + defaultVoice + "\n"
            "module_path /usr/lib/baresip/modules\n"
            "module g711.so\nmodule l16.so\nmodule aufile.so\nmodule alsa.so\nmodule sndfile.so\n"
            "module_app account.so\nmodule_app menu.so\nmodule_app ctrl_tcp.so\n"
            "ctrl_tcp_listen 127.0.0.1:" + std::to_string(ctrlPort_) + "\n"
            "snd_path " + dir_.path() + "\n";
        std::string lines;
        for (const BaresipAccount& a : accounts) {
            lines += "<sip:" + a.user + "@127.0.0.1:" + std::to_string(port) + ">;regint=0;answermode=" +
                     (a.answer == "auto" ? "auto" : "manual");
            if (!a.voice.empty()) lines += ";audio_source=aufile," + a.voice;
            if (!a.codecs.empty()) lines += ";audio_codecs=" + a.codecs;
            lines += a.params;
            lines += "\n";
            if (a.answer == "busy") busy_.insert(a.user);
        }
        WriteFile(dir_ / "config", config);
        WriteFile(dir_ / "accounts", lines);
        const std::string out = dir_ / "baresip.out";
        std::vector<std::string> args{"/bin/sh", "-c",
                                      "exec baresip -s -f '" + dir_.path() + "' >'" + out + "' 2>&1"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, argv.data(), ::environ) != 0) pid_ = -1;
        ready_ = WaitFor([this] { return Output().find("baresip is ready") != std::string::npos; }, 10s);
        if (ready_) control_ = std::thread([this] { Control(); });
    }
    ~Baresip() {
        stop_ = true;
        if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
        if (control_.joinable()) control_.join();
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            if (WaitExit(pid_, 3s) < 0) ::waitpid(pid_, nullptr, WNOHANG);
        }
    }
    Baresip(const Baresip&) = delete;
    Baresip& operator=(const Baresip&) = delete;

    bool ready() const { return ready_; }
    unsigned port() const { return port_; }
    std::string Output() const { return ReadFile(dir_ / "baresip.out"); }
    // The control socket's events (one JSON text each), in order.
    std::vector<std::string> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::size_t CountEvents(const std::string& type) const {
        const auto all = Events();
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const std::string& e) {
            return e.find("\"type\":\"" + type + "\"") != std::string::npos;
        }));
    }
    // What the callees heard, oldest call first.
    std::vector<std::string> Heard() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::string name = entry.path().filename();
            if (name.rfind("dump-", 0) == 0 && name.find("-dec.wav") != std::string::npos) out.push_back(entry.path());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    // Reads netstrings from the control socket; answers a call to a busy
    // account with "hangup", which baresip sends as 486.
    void Control() {
        while (!stop_) {
            const int s = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(ctrlPort_));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                socket_ = s;
                break;
            }
            ::close(s);
            std::this_thread::sleep_for(50ms);
        }
        std::string buffer;
        char chunk[4096];
        while (!stop_) {
            const ssize_t n = ::recv(socket_, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            for (;;) {
                const auto colon = buffer.find(':');
                if (colon == std::string::npos) break;
                const std::size_t length = std::stoul(buffer.substr(0, colon));
                if (buffer.size() < colon + 1 + length + 1) break;
                const std::string text = buffer.substr(colon + 1, length);
                buffer.erase(0, colon + 1 + length + 1);
                OnEvent(text);
            }
        }
        ::close(socket_);
    }
    void OnEvent(const std::string& text) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(text);
        }
        if (text.find("\"type\":\"CALL_INCOMING\"") == std::string::npos) return;
        for (const std::string& user : busy_) {
            if (text.find("sip:" + user + "@") == std::string::npos) continue;
            const std::string command = "{\"command\":\"hangup\"}";
            const std::string framed = std::to_string(command.size()) + ":" + command + ",";
            (void)::send(socket_, framed.data(), framed.size(), MSG_NOSIGNAL);
        }
    }

    TempDir dir_;
    unsigned port_;
    unsigned ctrlPort_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::set<std::string> busy_;
    std::atomic<bool> stop_{false};
    std::atomic<int> socket_{-1};
    std::thread control_;
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

}  // namespace zorvan::test
