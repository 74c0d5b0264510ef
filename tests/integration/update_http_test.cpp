// The update check over Qt Network against a local HTTP server that the
// test runs: version files, an HTML page, an error status, and a server
// that never answers (the check still ends, and at once when the program
// is closing).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_http_get.h"
#include "platform/wait_event.h"
#include "update/update_check.h"

namespace zorvan {
namespace {

using namespace std::chrono_literals;

// Answers every request on 127.0.0.1 with the same response, or, with an
// empty one, reads the request and never answers.
class LocalServer {
public:
    explicit LocalServer(std::string response) : response_(std::move(response)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 4);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    std::string root() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::string lastRequest() const { return request_; }

private:
    void Serve() {
        while (!stop_) {
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) return;
            char buffer[4096];
            const ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n > 0) request_.assign(buffer, static_cast<std::size_t>(n));
            if (response_.empty()) {
                while (!stop_) std::this_thread::sleep_for(10ms);  // never answers
            } else {
                const ssize_t written = ::write(client, response_.data(), response_.size());
                static_cast<void>(written);
            }
            ::close(client);
        }
    }

    std::string response_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::string request_;
};

std::string Response(int status, const std::string& reason, const std::string& body, const char* type = "text/html") {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

int CheckAgainst(const std::string& response) {
    LocalServer server(response);
    QtHttpGet http;
    return UpdateCheck(http, server.root());
}

TEST(UpdateOverHttp, TheVersionFileDecides) {
    EXPECT_EQ(CheckAgainst(Response(200, "OK", "12519")), UpdateCurrent);
    EXPECT_EQ(CheckAgainst(Response(200, "OK", "12519\n")), UpdateCurrent);
    EXPECT_EQ(CheckAgainst(Response(200, "OK", "12520")), UpdateAvailable);
    EXPECT_EQ(CheckAgainst(Response(200, "OK", "12518")), UpdateCurrent);
    EXPECT_EQ(CheckAgainst(Response(200, "OK", "<!DOCTYPE html><html><body>Moved</body></html>")), UpdateNoVersion);
    EXPECT_EQ(CheckAgainst(Response(404, "Not Found", "12520", "text/plain")), UpdateOpenFailed);
    LocalServer server(Response(200, "OK", "12519"));
    QtHttpGet http;
    UpdateCheck(http, server.root());
    EXPECT_EQ(server.lastRequest().rfind("GET /ver.htm HTTP/1.1\r\n", 0), 0u) << server.lastRequest();
}

TEST(UpdateOverHttp, ASilentServerEndsTheWaitAtItsLimitOrWhenTheProgramCloses) {
    LocalServer silent("");
    QtHttpGet http;
    auto started = std::chrono::steady_clock::now();
    const HttpReply reply = http.Get(silent.root() + "ver.htm", 700, 4096);
    EXPECT_FALSE(reply.reached);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);

    // The prompt thread (36 s run 100 times faster) asks the silent server;
    // closing the program ends the wait long before the 15 s limit.
    QtEventLoop loop(100.0);
    WaitEvent closing{WaitEvent::Mode::Manual};
    UpdatePromptThread thread(loop, closing, http, silent.root(), kNoTarget, 0x7D10);
    thread.Start();
    std::this_thread::sleep_for(1500ms);  // past the 360 ms wait: the GET hangs now
    EXPECT_EQ(thread.result(), 0);
    started = std::chrono::steady_clock::now();
    closing.set();
    thread.Join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_EQ(thread.result(), UpdateOpenFailed);
}

}  // namespace
}  // namespace zorvan
