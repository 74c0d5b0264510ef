#include "skype/audio_routing.h"

#include <sstream>

#include "skype/skype_connector.h"
#include "skype/skype_text.h"

namespace zorvan {

namespace {
constexpr std::uint32_t kRerouteRequest = 0x5FB;  // private to the router
}  // namespace

CallAudioRouter::CallAudioRouter(EventLoop& loop, SkypeConnector& connector, InputPortControl* inputPort)
    : loop_(loop), connector_(connector), inputPort_(inputPort), target_(loop, *this) {}

std::string CallAudioRouter::InputToSoundCard(const std::string& id) {
    return "ALTER CALL " + id + " SET_INPUT SOUNDCARD=\"default\"";
}

std::string CallAudioRouter::InputFromPort(const std::string& id, const std::string& port) {
    return "ALTER CALL " + id + " SET_INPUT SOUNDCARD=\"default\" PORT=\"" + port + "\"";
}

std::string CallAudioRouter::MicCopyToPort(const std::string& id, const std::string& port) {
    return "ALTER CALL " + id + " SET_CAPTURE_MIC PORT=\"" + port + "\"";
}

std::string CallAudioRouter::OutputToSoundCardAndPort(const std::string& id, const std::string& port) {
    return "ALTER CALL " + id + " SET_OUTPUT SOUNDCARD=\"default\"  PORT=\"" + port + "\"";
}

void CallAudioRouter::RouteCallAudio(const std::string& id, const std::string& capturePort,
                                     const std::string& outputPort) {
    connector_.SendCommand(InputToSoundCard(id));
    connector_.MessagePumpWait(100);
    connector_.SendCommand(MicCopyToPort(id, capturePort));
    connector_.MessagePumpWait(100);
    connector_.SendCommand(OutputToSoundCardAndPort(id, outputPort));
    std::lock_guard lock(mutex_);
    if (routed_.find(id) == std::string::npos) routed_ += id + " ";  // a plain substring test
}

void CallAudioRouter::ClearRoutedCalls() {
    std::lock_guard lock(mutex_);
    routed_.clear();
}

std::string CallAudioRouter::routedCallList() const {
    std::lock_guard lock(mutex_);
    return routed_;
}

void CallAudioRouter::RestartInputPort() {
    if (inputPort_ == nullptr) return;
    if (inputPort_->HasSockets()) inputPort_->CloseClients();
    inputPort_->Open();
}

void CallAudioRouter::RouteGreetingInput(const std::string& id, const std::string& port) {
    RestartInputPort();
    connector_.MessagePumpWait(100);
    connector_.SendCommand(InputFromPort(id, port));
}

void CallAudioRouter::RestoreInput(const std::string& id, const std::string& port) {
    RestartInputPort();
    connector_.MessagePumpWait(100);
    connector_.SendCommand(InputToSoundCard(id));
    connector_.MessagePumpWait(200);
    connector_.SendCommand(MicCopyToPort(id, port));
}

void CallAudioRouter::RerouteActiveCalls() {
    bool inProgress = false;
    const SkypeCallTable& table = connector_.callTable();
    for (int i = 0; i < SkypeCallTable::kSlots; ++i) inProgress = inProgress || table.slot(i).state == SkypeInProgress;
    if (!inProgress) return;
    const std::string list(TrimBlanks(routedCallList()));
    if (list.empty()) return;
    std::istringstream ids(list);
    std::string id;
    while (ids >> id) RouteCallAudio(id, connector_.capturePort(), connector_.outputPort());
}

void CallAudioRouter::RequestReroute() { loop_.post(target_.id(), {kRerouteRequest, 0, 0}); }

void CallAudioRouter::OnEvent(const Event& event) {
    if (event.id == kRerouteRequest) RerouteActiveCalls();
}

}  // namespace zorvan
