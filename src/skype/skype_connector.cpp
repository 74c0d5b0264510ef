#include "skype/skype_connector.h"

#include "platform/um_events.h"
#include "skype/attach_status.h"
#include "skype/call_audio_routing.h"
#include "skype/skype_text.h"

namespace zorvan {

namespace {
std::mutex gInstanceMutex;
std::unique_ptr<SkypeConnector> gInstance;
}  // namespace

SkypeConnector* SkypeConnector::Instance() {
    std::lock_guard lock(gInstanceMutex);
    return gInstance.get();
}

SkypeConnector& SkypeConnector::Create(EventLoop& loop, SkypeTransport& transport) {
    std::lock_guard lock(gInstanceMutex);
    if (!gInstance) gInstance = std::make_unique<SkypeConnector>(loop, transport);
    return *gInstance;
}

void SkypeConnector::DestroyInstance() {
    std::unique_ptr<SkypeConnector> doomed;
    {
        std::lock_guard lock(gInstanceMutex);
        doomed = std::move(gInstance);
    }
    if (doomed) doomed->Shutdown();
}

SkypeConnector::SkypeConnector(EventLoop& loop, SkypeTransport& transport)
    : loop_(loop),
      transport_(transport),
      target_(loop, *this),
      table_(loop, [this](const std::string& command) { return SendCommand(command); }) {}

SkypeConnector::~SkypeConnector() {
    Shutdown();
    StopKeepAlive();
}

void SkypeConnector::Post(std::uint32_t id, std::intptr_t wParam, std::intptr_t lParam) {
    if (notify_ != kNoTarget) loop_.post(notify_, {id, static_cast<std::uintptr_t>(wParam), lParam});
}

bool SkypeConnector::Attach(TargetId notify) {
    if (started_) return true;
    if (shutdown_) return false;
    if (!transport_.Open(*this)) return false;
    started_ = true;
    notify_ = notify;
    sender_ = loop_.spawn([this] { SenderThread(); });
    rediscovering_ = false;
    transport_.BroadcastDiscover();
    return true;
}

bool SkypeConnector::SendCommand(std::string command) {
    if (!queue_.Add(std::move(command))) return false;
    queuedEvent_.set();
    return true;
}

void SkypeConnector::Shutdown() {
    if (shutdown_.exchange(true)) return;
    queue_.Clear();
    if (started_) {
        transport_.Close();
        started_ = false;
    }
    // Releases a sender thread that never saw an attach, and ends its pauses.
    startEvent_.set();
    stopEvent_.set();
    queuedEvent_.set();
    if (sender_.joinable()) sender_.join();
    StopKeepAlive();
}

std::string SkypeConnector::skypeWindow() const {
    std::lock_guard lock(peerMutex_);
    return skypeWindow_;
}

void SkypeConnector::OnAttachResponse(const std::string& peer, std::uint32_t status) {
    if (shutdown_) return;
    switch (status) {
        case AttachSuccess:
            {
                std::lock_guard lock(peerMutex_);
                skypeWindow_ = peer;
            }
            if (!rediscovering_) OpenLink();
            AttachStatus() = AttachSuccess;
            rediscovering_ = false;
            pongReceived_ = true;
            StopKeepAlive();
            StartKeepAlive();
            Post(um::UM_SKYPE_ATTACHED);
            break;
        case AttachPendingAuthorization:
            AttachStatus() = AttachPendingAuthorization;
            Post(um::UM_SKYPE_PENDING);
            break;
        case AttachRefused:
            AttachStatus() = AttachRefused;
            CloseLink();
            Post(um::UM_SKYPE_REFUSED);
            break;
        case kApiAvailable:
            if (linkOpen_) break;
            rediscovering_ = false;
            if (started_) transport_.BroadcastDiscover();
            break;
        default:
            break;
    }
}

bool SkypeConnector::OnCopyData(const std::string& peer, std::string_view bytes) {
    const std::string window = skypeWindow();
    if (window.empty() || peer != window) return false;
    const std::string text = DecodeUtf8Lossy(bytes);
    if (AsciiUpper(text) == "PONG") {
        pongReceived_ = true;
        return true;
    }
    if (!text.empty()) ParseNotification(text);
    return true;
}

void SkypeConnector::OpenLink() {
    missedTicks_ = 0;
    queue_.SetEnabled(true);
    linkOpen_ = true;
    SendCommand("GET SKYPEVERSION");
    SendCommand("GET CONNSTATUS");
    SendCommand("GET USERSTATUS");
    SendCommand("GET CURRENTUSERHANDLE");
    // Started last, so that a sender seeing its start event finds the link
    // open and the first commands waiting, rather than an empty queue.
    startEvent_.set();
    Post(um::UM_SKYPE_LINK_OPENED);
}

void SkypeConnector::CloseLink() {
    startEvent_.reset();
    queue_.SetEnabled(false);
    linkOpen_ = false;
}

void SkypeConnector::StartKeepAlive() {
    loop_.setTimer(target_.id(), kKeepAliveTimer, kKeepAliveMs);
    keepAliveRunning_ = true;
}

void SkypeConnector::StopKeepAlive() {
    if (!keepAliveRunning_) return;
    loop_.killTimer(target_.id(), kKeepAliveTimer);
    keepAliveRunning_ = false;
}

void SkypeConnector::OnTimer(int timerId) {
    if (timerId == kKeepAliveTimer) KeepAliveTick();
}

// PING after every sign of life; without one, three re-discoveries five
// seconds apart, and at the fourth silent tick the link is given up.
void SkypeConnector::KeepAliveTick() {
    if (pongReceived_) {
        pongReceived_ = false;
        SendCommand("PING");
        missedTicks_ = 0;
    } else if (missedTicks_ >= 3) {
        missedTicks_ = 0;
        StopKeepAlive();
        CloseLink();
        rediscovering_ = false;
        Post(um::UM_SKYPE_USER_STATUS, 2);
    } else {
        rediscovering_ = true;
        if (started_) transport_.BroadcastDiscover();
        ++missedTicks_;
    }
}

void SkypeConnector::SenderThread() {
    loop_.wait(startEvent_, -1);
    const auto pause = [this](std::int64_t ms) { loop_.wait(stopEvent_, ms); };
    // Idle: until a command is queued (or, as a fallback, the next poll).
    const auto idle = [this] { loop_.wait(queuedEvent_, kIdlePollMs); };
    for (;;) {
        if (shutdown_) return;
        std::optional<std::string> command = queue_.Take();
        if (!command) {
            idle();
            continue;
        }
        while (command) {
            if (shutdown_) break;
            // Each command has its own budget of retries.
            int result = Send(*command);
            for (int retries = 0; result == 0 && !shutdown_ && retries < kRetriesPerCommand; ++retries) {
                pause(kRetryPauseMs);
                result = Send(*command);
            }
            pause(kBetweenCommandsMs);
            command = queue_.Take();
            if (!command) idle();
        }
    }
}

int SkypeConnector::Send(const std::string& command) {
    if (!linkOpen_) return 0;
    if (command.empty() || command.size() + 1 > kSendBufferBytes) return 0;
    const std::string window = skypeWindow();
    if (window.empty()) return 0;
    std::string bytes = command;
    bytes.push_back('\0');
    return transport_.CopyData(window, bytes) ? 1 : 0;
}

bool SkypeConnector::CallNumber(const std::string& number) { return SendCommand("CALL " + number); }

bool SkypeConnector::HoldCall(const std::string& id) {
    SendCommand("ALTER CALL " + id + " HOLD");
    MessagePumpWait(200);
    return true;
}

bool SkypeConnector::ResumeCall(const std::string& id) {
    SendCommand("ALTER CALL " + id + " RESUME");
    MessagePumpWait(200);
    return true;
}

bool SkypeConnector::SendDtmf(const std::string& id, const std::string& digits) {
    SendCommand("alter call " + id + " dtmf " + digits);
    return true;
}

void SkypeConnector::SetSilentMode() { SendCommand("SET SILENT_MODE ON"); }

void SkypeConnector::ResetCallState() {
    table_.HangUpAll();
    if (routing_ != nullptr) routing_->ClearRoutedCalls();
    table_.Clear();
}

}  // namespace zorvan
