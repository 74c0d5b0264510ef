// The stand-in's calls: each number's callee as the scenario says, incoming
// calls, and a hang-up that takes its time.
#include <QTimer>

#include <cmath>

#include "common/wav.h"
#include "skype_sim.h"

namespace skypesim {

void SkypeSim::OnAnswered(Call& call) {
    const Callee* callee = Sim(call).callee;
    if (callee == nullptr) return;
    if (callee->hangupAfter) Later(call, *callee->hangupAfter, [this, &call] { EndCall(call, QStringLiteral("FINISHED")); });
    if (callee->netLossAt) {
        Later(call, *callee->netLossAt, [this, &call] {
            SendCall(call, QStringLiteral("CALL %1 FAILUREREASON 2").arg(call.id));
            EndCall(call, QStringLiteral("FAILED"));
        });
    }
}

void SkypeSim::Hangup(Call& call, const QString& status) {
    if (scenario_.hangupDelay <= 0) {
        EndCall(call, status);
        return;
    }
    // The hang-up takes its time: the call keeps its status meanwhile.
    call.hangingUp = true;
    StopPending(call);
    QTimer::singleShot(static_cast<int>(scenario_.hangupDelay * 1000), this,
                       [this, &call, status] { EndCall(call, status); });
}

void SkypeSim::PlaceCall(const QString& peer, const QString& number) {
    const Callee& callee = scenario_.CalleeFor(number.toStdString());
    if (callee.outcome == Callee::Outcome::Reject) {
        SendTo(peer, QStringLiteral("ERROR %1 %2").arg(callee.code).arg(skypeclient::RejectText(callee.code)));
        return;
    }
    if (callee.outcome == Callee::Outcome::RejectBare) {
        SendTo(peer, QStringLiteral("ERROR %1").arg(callee.code));
        return;
    }
    // One outgoing call is set up at a time.
    if (SettingUpCall(peer)) {
        SendTo(peer, QStringLiteral("ERROR 96 ") + skypeclient::RejectText(96));
        return;
    }
    SimCall& call = Sim(AddCall(peer, number));
    call.callee = &callee;
    std::string error;
    if (!callee.voice.empty() && !zorvan::tools::LoadWavAs16kMono(callee.voice, call.voice, error)) {
        Log("--", QString::fromStdString(error));
    }
    if (!callee.mic.empty() && !zorvan::tools::LoadWavAs16kMono(callee.mic, call.micSource, error)) {
        Log("--", QString::fromStdString(error));
    }
    if (callee.micTone > 0) {
        call.micSource.resize(16000 * 60);
        for (std::size_t i = 0; i < call.micSource.size(); ++i) {
            call.micSource[i] = static_cast<std::int16_t>(
                8000 * std::sin(2 * M_PI * callee.micTone * static_cast<double>(i) / 16000));
        }
    }
    SetStatus(call, QStringLiteral("UNPLACED"));
    Later(call, 0.1, [this, &call] { SetStatus(call, QStringLiteral("ROUTING")); });
    Later(call, 0.2, [this, &call, early = callee.earlyMedia] {
        SetStatus(call, early ? QStringLiteral("EARLYMEDIA") : QStringLiteral("RINGING"));
    });
    const double outcomeAt = 0.2 + callee.ringSeconds;
    switch (callee.outcome) {
        case Callee::Outcome::Answer:
            Later(call, outcomeAt, [this, &call] { Answer(call); });
            break;
        case Callee::Outcome::Busy:
            Later(call, outcomeAt, [this, &call] { EndCall(call, QStringLiteral("BUSY")); });
            break;
        case Callee::Outcome::Refuse:
            Later(call, outcomeAt, [this, &call] { EndCall(call, QStringLiteral("REFUSED")); });
            break;
        case Callee::Outcome::Missed:
            Later(call, outcomeAt, [this, &call] { EndCall(call, QStringLiteral("MISSED")); });
            break;
        case Callee::Outcome::Fail:
            Later(call, outcomeAt, [this, &call, code = callee.code] {
                SendTo(call.peer, QStringLiteral("CALL %1 FAILUREREASON %2").arg(call.id).arg(code));
                EndCall(call, QStringLiteral("FAILED"));
            });
            break;
        case Callee::Outcome::PstnFailure:
            Later(call, outcomeAt, [this, &call, text = QString::fromStdString(callee.text)] {
                SendTo(call.peer, QStringLiteral("CALL %1 PSTN_STATUS %2").arg(call.id, text));
                EndCall(call, QStringLiteral("FAILED"));
            });
            break;
        case Callee::Outcome::NoAnswer:
        case Callee::Outcome::Reject:
        case Callee::Outcome::RejectBare:
            break;
    }
}

void SkypeSim::Incoming(const IncomingCall& incoming) {
    Call& call = AddCall(QString(), QString::fromStdString(incoming.handle));
    call.incoming = true;
    call.pstn = incoming.pstn;
    Log("--", QStringLiteral("incoming call %1 from %2").arg(call.id, call.number));
    SetStatus(call, QStringLiteral("RINGING"));
    SendCall(call, QStringLiteral("CALL %1 TYPE %2").arg(call.id, incoming.pstn ? "INCOMING_PSTN" : "INCOMING_P2P"));
    SendCall(call, QStringLiteral("CALL %1 PARTNER_HANDLE %2").arg(call.id, call.number));
    Later(call, incoming.ringSeconds, [this, &call, outcome = incoming.outcome] {
        switch (outcome) {
            case IncomingCall::Outcome::Missed: EndCall(call, QStringLiteral("MISSED")); break;
            case IncomingCall::Outcome::Refused: EndCall(call, QStringLiteral("REFUSED")); break;
            case IncomingCall::Outcome::Answer: Answer(call); break;
        }
    });
}

}  // namespace skypesim
