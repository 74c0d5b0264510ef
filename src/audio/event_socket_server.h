#pragma once

#include <netinet/in.h>
#include <poll.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zorvan::audio {

// An event-driven TCP server for one audio port: one poller thread calls
// Poll in a loop; other threads Send or CloseAll, interrupting the poller's
// wait (LockForSend) rather than waiting for traffic. Results are 0 or the
// socket result codes of stream_format.h.
class EventSocketServer {
public:
    static constexpr int kMaxSockets = 63;  // the listener and up to 62 clients
    static constexpr std::size_t kReadLimit = 1022;

    enum State : int { NoSocket = 0, Listening = 2, ListeningWithClient = 3, Connected = 5 };

    EventSocketServer();
    ~EventSocketServer();
    EventSocketServer(const EventSocketServer&) = delete;
    EventSocketServer& operator=(const EventSocketServer&) = delete;

    int Listen(const in_addr& address, std::uint16_t port);

    struct PollResult {
        std::uint32_t peerAddress = 0;  // network order, 0 for the listener
        int socket = -1;
        int networkEvents = 0;
        std::size_t bytesReceived = 0;
        std::size_t bytesFlushed = 0;
    };
    // Waits for one network event (or a wake-up) and handles it; buffer must
    // hold 1024 bytes, at most 1022 are received.
    int Poll(PollResult& out, std::uint8_t* buffer);
    int Send(int socket, const std::uint8_t* data, std::size_t length);
    int CloseAll();
    bool FirstConnectedSocket(int& socket);

    int state();
    int count();
    std::uint16_t localPort();  // the listener's port (useful with port 0)

private:
    struct Slot {
        int fd = -1;
        std::uint32_t peer = 0;
        std::unique_ptr<std::uint8_t[]> pending;
        std::size_t pendingLength = 0;
        std::size_t pendingSent = 0;
    };

    std::unique_lock<std::mutex> LockForSend();
    void CloseSlot(std::size_t i);
    int SendLoop(int fd, const std::uint8_t* data, std::size_t length, std::size_t& sent);
    int HandleAccept(PollResult& out);

    // Held by the poller while it waits; everybody else takes it through
    // LockForSend, which wakes the poller first.
    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    int state_ = NoSocket;
    std::size_t nextIndex_ = 0;
    int wakeFd_ = -1;  // an eventfd: the wake event
    std::vector<pollfd> pollFds_;  // the poller's, kept between rounds
    // The gate keeps the poller from re-taking the mutex between a sender's
    // wake-up and the sender's own wait for it.
    std::mutex gateMutex_;
    std::condition_variable gateCv_;
    bool gateOpen_ = true;
};

}  // namespace zorvan::audio
