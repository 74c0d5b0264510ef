#pragma once

#include <QByteArray>
#include <QHash>

#include <memory>

#include "client_side.h"
#include "gateway_settings.h"
#include "sip_stack.h"
#include "status_map.h"

namespace zorvan::gateway {

// The Skype client played over SIP: the dialer's commands become SIP calls,
// SIP answers become the statuses the client gave, and the call audio
// crosses between the dialer's ports and RTP. The statuses are those of
// status_map.h; a hang-up is CANCELLED before the answer and FINISHED after.
class SipGateway final : public skypeclient::ClientSide {
    Q_OBJECT
public:
    SipGateway(GatewaySettings settings, const QString& logPath);
    ~SipGateway() override;
    bool Start(QString& error);
    // Ends the calls on the wire and stops the stack.
    void Stop();

private:
    struct GatewayCall final : Call {
        std::shared_ptr<CallAudio> audio = std::make_shared<CallAudio>();
        CallState state;        // what the dialer has been told
        QByteArray oddByte;     // half a sample from the dialer, waiting for its other half
    };
    static GatewayCall& Gateway(Call& call) { return static_cast<GatewayCall&>(call); }

    void PlaceCall(const QString& peer, const QString& number) override;
    void Hangup(Call& call, const QString& status) override;
    void OnHold(Call& call, bool held) override;
    void OnDtmf(Call& call, char key) override;
    void PumpAudio(Call& call) override;
    void OnHeard(Call& call, const QByteArray& bytes) override;
    void OnInputClosed(Call&) override {}
    void OnStreamConnected(Call& call, bool isOutput, QTcpSocket* socket) override;
    // An ended call keeps its record for GET CALL, not its audio buffers.
    void OnAudioClosed(Call& call) override { Gateway(call).audio.reset(); }
    std::unique_ptr<Call> NewCall() override { return std::make_unique<GatewayCall>(); }

    void OnSipEvent(const SipEvent& event);
    void OnRegistration(const SipEvent& event);
    void Explain(const GatewayCall& call, const SipEvent& event);

    GatewaySettings settings_;
    SipStack stack_;
    QHash<QString, QString> placing_;  // per dialer, the call sent out but not yet routed
};

}  // namespace zorvan::gateway
