#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event_loop.h"
#include "platform/skype_transport.h"
#include "skype/call_table.h"
#include "skype/command_queue.h"

namespace zorvan {

class CallAudioRouting;

// The dialer's client of the Skype Desktop API: discover and attach, the
// command queue with its sender thread, the receive path, the five-second
// keep-alive, and the notification parser that keeps the call table.
// Everything but SendCommand and the sender thread runs on the UI thread.
class SkypeConnector final : public EventHandler, public SkypeTransportListener {
public:
    SkypeConnector(EventLoop& loop, SkypeTransport& transport);
    ~SkypeConnector() override;
    SkypeConnector(const SkypeConnector&) = delete;
    SkypeConnector& operator=(const SkypeConnector&) = delete;

    // The process-wide connector, once the program has created it.
    static SkypeConnector* Instance();
    static SkypeConnector& Create(EventLoop& loop, SkypeTransport& transport);
    static void DestroyInstance();

    bool Attach(TargetId notify);
    bool SendCommand(std::string command);
    void Shutdown();

    // Command builders.
    bool CallNumber(const std::string& number);
    bool HoldCall(const std::string& id);
    bool ResumeCall(const std::string& id);
    bool SendDtmf(const std::string& id, const std::string& digits);
    void SetSilentMode();
    // Before every dial: hang up, forget the routing, clear the table.
    void ResetCallState();

    void ParseNotification(std::string_view text);

    void SetAudioRouting(CallAudioRouting* routing) { routing_ = routing; }
    // The dialer's audio ports as the routing commands name them.
    void SetAudioPorts(std::string capturePort, std::string outputPort) {
        capturePort_ = std::move(capturePort);
        outputPort_ = std::move(outputPort);
    }
    const std::string& capturePort() const { return capturePort_; }
    const std::string& outputPort() const { return outputPort_; }
    SkypeCallTable& callTable() { return table_; }
    bool linkOpen() const { return linkOpen_; }
    bool started() const { return started_; }
    TargetId target() const { return target_.id(); }

    // Pauses that keep the UI thread's events flowing.
    void MessagePumpWait(std::int64_t ms) { loop_.pumpWait(ms); }

    // SkypeTransportListener
    void OnAttachResponse(const std::string& peer, std::uint32_t status) override;
    bool OnCopyData(const std::string& peer, std::string_view bytes) override;
    // EventHandler: the keep-alive timer.
    void OnEvent(const Event&) override {}
    void OnTimer(int timerId) override;

    static constexpr int kKeepAliveTimer = 1;
    static constexpr std::int64_t kKeepAliveMs = 5000;
    static constexpr std::int64_t kIdlePollMs = 300;
    static constexpr std::int64_t kBetweenCommandsMs = 10;
    static constexpr std::int64_t kRetryPauseMs = 50;
    static constexpr int kRetriesPerCommand = 5;
    static constexpr std::size_t kSendBufferBytes = 1024;

private:
    void OpenLink();
    void CloseLink();
    void KeepAliveTick();
    void StartKeepAlive();
    void StopKeepAlive();
    void Post(std::uint32_t id, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
    void SenderThread();
    int Send(const std::string& command);
    std::string skypeWindow() const;
    void ParseCall(std::string_view rest);
    void ParseState(const std::string& id, const std::string& value);

    EventLoop& loop_;
    SkypeTransport& transport_;
    ScopedTarget target_;
    SkypeCommandQueue queue_;
    SkypeCallTable table_;
    CallAudioRouting* routing_ = nullptr;
    std::string capturePort_ = "56127";
    std::string outputPort_ = "56126";

    TargetId notify_ = kNoTarget;
    mutable std::mutex peerMutex_;
    std::string skypeWindow_;  // the attached client's address; empty until SUCCESS
    bool started_ = false;
    std::atomic<bool> linkOpen_{false};
    std::atomic<bool> shutdown_{false};
    bool rediscovering_ = false;
    bool pongReceived_ = false;
    int missedTicks_ = 0;
    bool keepAliveRunning_ = false;
    WaitEvent startEvent_{WaitEvent::Mode::Auto};
    WaitEvent stopEvent_{WaitEvent::Mode::Manual};
    // Wakes an idle sender when a command is queued, so a call's CALL does
    // not wait for the next idle poll.
    WaitEvent queuedEvent_{WaitEvent::Mode::Auto};
    std::thread sender_;
};

}  // namespace zorvan
