#pragma once

#include <QString>

#include <cstdint>
#include <vector>

#include "client_side.h"
#include "scenario.h"

namespace skypesim {

// The Skype client as the Desktop API documents it and as it was seen to
// behave, played from a scenario: how it attaches and what it does on its
// own in skype_sim.cpp, each number's callee in sim_calls.cpp, the callee's
// voice and the microphone in sim_audio.cpp.
class SkypeSim final : public skypeclient::ClientSide {
    Q_OBJECT
public:
    SkypeSim(Scenario scenario, const QString& logPath, const QString& heardFolder = QStringLiteral("."),
             bool logAudio = false);
    bool Start(QString& error);

private:
    struct SimCall final : Call {
        std::vector<std::int16_t> voice;
        std::vector<std::int16_t> micSource;
        QByteArray heard;
        const Callee* callee = nullptr;
        bool outputDropped = false;
    };
    static SimCall& Sim(Call& call) { return static_cast<SimCall&>(call); }

    void OnDiscover(const QString& peer) override;
    void PlaceCall(const QString& peer, const QString& number) override;
    void Hangup(Call& call, const QString& status) override;
    void OnAnswered(Call& call) override;
    void PumpAudio(Call& call) override;
    void OnHeard(Call& call, const QByteArray& bytes) override;
    void OnInputClosed(Call& call) override;
    void OnStreamConnected(Call& call, bool isOutput, QTcpSocket* socket) override;
    std::unique_ptr<Call> NewCall() override { return std::make_unique<SimCall>(); }

    void RunTimeline();
    void Incoming(const IncomingCall& incoming);
    void SendDue(const Call& call, Stream& stream, const std::vector<std::int16_t>& source, const char* name);

    Scenario scenario_;
    QString heardFolder_;
    bool loggedInAgain_ = false;  // a timed login has announced the API
};

}  // namespace skypesim
