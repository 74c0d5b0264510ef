#pragma once

#include <string>

namespace zorvan {

// Where the connector hands the audio routing of answered calls.
class CallAudioRouting {
public:
    virtual ~CallAudioRouting() = default;
    // A call reached INPROGRESS: point its audio at the dialer's ports.
    virtual void RouteCallAudio(const std::string& callId, const std::string& capturePort,
                                const std::string& outputPort) = 0;
    // Every call's routing is forgotten (a new dial starts).
    virtual void ClearRoutedCalls() = 0;
};

}  // namespace zorvan
