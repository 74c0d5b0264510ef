#pragma once

#include <mutex>
#include <string>

#include "platform/event_loop.h"
#include "skype/call_audio_routing.h"

namespace zorvan {

class SkypeConnector;

// The dialer's input port (56127) as the routing restarts it.
class InputPortControl {
public:
    virtual ~InputPortControl() = default;
    virtual bool HasSockets() = 0;
    virtual void CloseClients() = 0;
    virtual bool Open() = 0;
};

// The commands that point a call's audio at the dialer's ports and back.
// Runs on the UI thread; the stream threads only ask for a re-routing,
// which is carried out here on the UI thread.
class CallAudioRouter final : public CallAudioRouting, public EventHandler {
public:
    CallAudioRouter(EventLoop& loop, SkypeConnector& connector, InputPortControl* inputPort);

    void RouteCallAudio(const std::string& callId, const std::string& capturePort,
                        const std::string& outputPort) override;
    void ClearRoutedCalls() override;
    void RouteGreetingInput(const std::string& callId, const std::string& port);
    void RestoreInput(const std::string& callId, const std::string& port);
    void RerouteActiveCalls();
    // Any thread: the client closed an audio connection.
    void RequestReroute();

    std::string routedCallList() const;
    void OnEvent(const Event& event) override;

    static std::string InputToSoundCard(const std::string& id);
    static std::string InputFromPort(const std::string& id, const std::string& port);
    static std::string MicCopyToPort(const std::string& id, const std::string& port);
    static std::string OutputToSoundCardAndPort(const std::string& id, const std::string& port);

private:
    void RestartInputPort();

    EventLoop& loop_;
    SkypeConnector& connector_;
    InputPortControl* inputPort_;
    ScopedTarget target_;
    mutable std::mutex mutex_;
    std::string routed_;  // ids each followed by one blank, in order of first routing
};

}  // namespace zorvan
