#include "audio/event_socket_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "audio/stream_format.h"

namespace zorvan::audio {

namespace {

// The platform's error numbers as the codes callers know.
int CodeOf(int error) {
    switch (error) {
        case 0: return sockerr::kOk;
        case EAGAIN: return sockerr::kWouldBlock;
        case ECONNABORTED: return sockerr::kConnectionAborted;
        case ECONNRESET:
        case EPIPE: return sockerr::kConnectionReset;
        case ECONNREFUSED: return sockerr::kConnectionRefused;
        case ENOTCONN: return sockerr::kNotConnected;
        case EINVAL:
        case EBADF: return sockerr::kInvalidParameter;
        default: return 10000 + error;  // other socket errors keep a distinct code
    }
}

}  // namespace

EventSocketServer::EventSocketServer() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

EventSocketServer::~EventSocketServer() {
    CloseAll();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

int EventSocketServer::state() {
    auto lock = LockForSend();
    return state_;
}

int EventSocketServer::count() {
    auto lock = LockForSend();
    return static_cast<int>(slots_.size());
}

std::uint16_t EventSocketServer::localPort() {
    auto lock = LockForSend();
    if (slots_.empty()) return 0;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(slots_[0].fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

int EventSocketServer::Listen(const in_addr& address, std::uint16_t port) {
    auto lock = LockForSend();
    if (!slots_.empty()) return sockerr::kAlreadyConnected;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return CodeOf(errno);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);  // re-open at once after a close
    sockaddr_in bindAddress{};
    bindAddress.sin_family = AF_INET;
    bindAddress.sin_port = htons(port);
    bindAddress.sin_addr = address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) != 0 ||
        ::listen(fd, 64) != 0) {
        const int code = CodeOf(errno);
        ::close(fd);
        return code;
    }
    Slot listener;
    listener.fd = fd;
    slots_.push_back(std::move(listener));
    state_ = Listening;
    return sockerr::kOk;
}

std::unique_lock<std::mutex> EventSocketServer::LockForSend() {
    {
        std::lock_guard gate(gateMutex_);
        gateOpen_ = false;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wakeFd_, &one, sizeof one);
    std::unique_lock lock(mutex_);
    {
        std::lock_guard gate(gateMutex_);
        gateOpen_ = true;
    }
    gateCv_.notify_all();
    return lock;
}

void EventSocketServer::CloseSlot(std::size_t i) {
    Slot& slot = slots_[i];
    ::shutdown(slot.fd, SHUT_RDWR);
    ::close(slot.fd);
    const bool listenerRemains = slots_.size() == 2 && (state_ & 2) != 0;
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(i));
    if (slots_.empty()) {
        state_ = NoSocket;
    } else if (listenerRemains) {
        state_ = Listening;
    }
}

int EventSocketServer::SendLoop(int fd, const std::uint8_t* data, std::size_t length, std::size_t& sent) {
    while (sent < length) {
        const ssize_t n = ::send(fd, data + sent, length - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return CodeOf(errno);
        }
        sent += static_cast<std::size_t>(n);
    }
    return sockerr::kOk;
}

int EventSocketServer::HandleAccept(PollResult& out) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(slots_[0].fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return CodeOf(errno);
    if (static_cast<int>(slots_.size()) >= kMaxSockets) {
        ::close(fd);  // the port is full: the connection is refused
        return sockerr::kConnectionRefused;
    }
    Slot slot;
    slot.fd = fd;
    slot.peer = peer.sin_addr.s_addr;
    slots_.push_back(std::move(slot));
    state_ = ListeningWithClient;
    out.socket = fd;
    out.peerAddress = peer.sin_addr.s_addr;
    return sockerr::kOk;
}

int EventSocketServer::Poll(PollResult& out, std::uint8_t* buffer) {
    out = PollResult{};
    {
        std::unique_lock gate(gateMutex_);
        gateCv_.wait(gate, [this] { return gateOpen_; });
    }
    std::unique_lock lock(mutex_);
    if (slots_.empty()) return sockerr::kNotConnected;

    std::vector<pollfd>& fds = pollFds_;
    fds.resize(slots_.size() + 1);
    fds[0] = {wakeFd_, POLLIN, 0};
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        short wanted = POLLIN;
        if (slots_[i].pending) wanted |= POLLOUT;
        fds[i + 1] = {slots_[i].fd, wanted, 0};
    }
    // One wait reports every ready socket; the first ready one after the
    // last served is taken, so a busy socket cannot starve the others.
    int ready = 0;
    do {
        ready = ::poll(fds.data(), fds.size(), -1);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return CodeOf(errno);
    std::size_t index = fds.size();
    for (std::size_t step = 1; step <= fds.size(); ++step) {
        const std::size_t k = (nextIndex_ + step) % fds.size();
        if (fds[k].revents != 0) {
            index = k;
            break;
        }
    }
    if (index == fds.size()) return sockerr::kOk;
    nextIndex_ = index;
    if (index == 0) {
        std::uint64_t value = 0;
        [[maybe_unused]] const auto n = ::read(wakeFd_, &value, sizeof value);
        return sockerr::kOk;
    }

    const std::size_t i = index - 1;
    const short revents = fds[index].revents;
    if (i == 0) {  // the listener: a connection waits
        out.networkEvents = netev::kAccept;
        return HandleAccept(out);
    }
    Slot& slot = slots_[i];
    out.socket = slot.fd;
    out.peerAddress = slot.peer;

    if ((revents & POLLOUT) != 0 && slot.pending) {
        out.networkEvents |= netev::kWrite;
        const std::size_t before = slot.pendingSent;
        const int code = SendLoop(slot.fd, slot.pending.get(), slot.pendingLength, slot.pendingSent);
        out.bytesFlushed = slot.pendingSent - before;
        if (code == sockerr::kOk) {
            slot.pending.reset();
            slot.pendingLength = slot.pendingSent = 0;
        } else if (code != sockerr::kWouldBlock) {
            CloseSlot(i);
            return code;
        }
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        const ssize_t n = ::recv(slot.fd, buffer, kReadLimit, 0);
        if (n > 0) {
            out.networkEvents |= netev::kRead;
            out.bytesReceived = static_cast<std::size_t>(n);
        } else if (n == 0) {
            out.networkEvents |= netev::kClose;  // the peer closed its side
            CloseSlot(i);
        } else if (errno != EAGAIN && errno != EINTR) {
            const int code = CodeOf(errno);
            out.networkEvents |= netev::kClose;
            CloseSlot(i);
            return code;
        }
    }
    return sockerr::kOk;
}

int EventSocketServer::Send(int socket, const std::uint8_t* data, std::size_t length) {
    auto lock = LockForSend();
    if ((state_ & 1) == 0) return sockerr::kNotConnected;
    std::size_t i = 0;
    while (i < slots_.size() && slots_[i].fd != socket) ++i;
    if (i == slots_.size()) return sockerr::kInvalidParameter;
    Slot& slot = slots_[i];
    if (slot.pending) return sockerr::kIoPending;
    std::size_t sent = 0;
    const int code = SendLoop(slot.fd, data, length, sent);
    if (code == sockerr::kWouldBlock) {
        slot.pendingLength = length - sent;
        slot.pending = std::make_unique<std::uint8_t[]>(slot.pendingLength);
        std::memcpy(slot.pending.get(), data + sent, slot.pendingLength);
        slot.pendingSent = 0;
        return code;
    }
    if (code != sockerr::kOk) CloseSlot(i);
    return code;
}

int EventSocketServer::CloseAll() {
    auto lock = LockForSend();
    if (slots_.empty()) return sockerr::kNotConnected;
    while (!slots_.empty()) CloseSlot(slots_.size() - 1);
    return sockerr::kOk;
}

bool EventSocketServer::FirstConnectedSocket(int& socket) {
    auto lock = LockForSend();
    for (const Slot& slot : slots_) {
        if (slot.peer != 0) {
            socket = slot.fd;
            return true;
        }
    }
    return false;
}

}  // namespace zorvan::audio
