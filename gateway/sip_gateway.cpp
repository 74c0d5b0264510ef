#include "sip_gateway.h"

#include <QRegularExpression>
#include <QTcpSocket>

#include <cstdio>

namespace zorvan::gateway {

namespace {

constexpr int kFrameBytes = 320;  // 10 ms at 16 kHz, as the client wrote them

void Say(const QString& text) { std::fprintf(stderr, "zorvan-sip-gateway: %s\n", qPrintable(text)); }

}  // namespace

SipGateway::SipGateway(GatewaySettings settings, const QString& logPath)
    : ClientSide(skypeclient::Behaviour{}, logPath, false),
      settings_(settings),
      stack_(std::move(settings), [this](const SipEvent& event) {
          // From the stack's thread to this one.
          QMetaObject::invokeMethod(this, [this, event] { OnSipEvent(event); }, Qt::QueuedConnection);
      }) {}

SipGateway::~SipGateway() { Stop(); }

bool SipGateway::Start(QString& error) {
    std::string stackError;
    if (!stack_.Start(stackError)) {
        error = QString::fromStdString(stackError);
        return false;
    }
    if (!ClientSide::Start(error)) {
        stack_.Stop();
        return false;
    }
    Log("--", QStringLiteral("calls go to %1").arg(QString::fromStdString(settings_.RequestUri("<number>"))));
    return true;
}

void SipGateway::Stop() { stack_.Stop(); }

void SipGateway::PlaceCall(const QString& peer, const QString& number) {
    // One outgoing call is set up at a time.
    if (SettingUpCall(peer) || placing_.contains(peer)) {
        SendTo(peer, QStringLiteral("ERROR 96 ") + skypeclient::RejectText(96));
        return;
    }
    static const QRegularExpression telephone(QStringLiteral("^\\+?[0-9]{2,20}$"));
    if (!telephone.match(number).hasMatch()) {
        SendTo(peer, QStringLiteral("ERROR 92 ") + skypeclient::RejectText(92));
        return;
    }
    GatewayCall& call = Gateway(AddCall(peer, number));
    placing_.insert(peer, call.id);
    SetStatus(call, QStringLiteral("UNPLACED"));
    stack_.Dial(call.id.toInt(), number.toStdString(), call.audio);
}

void SipGateway::OnSipEvent(const SipEvent& event) {
    if (event.kind == SipEvent::Kind::Registered || event.kind == SipEvent::Kind::RegistrationFailed) {
        OnRegistration(event);
        return;
    }
    Call* found = CallById(QString::number(event.call));
    if (found == nullptr || found->Ended() || found->hangingUp) return;  // hung up here already
    GatewayCall& call = Gateway(*found);
    if (event.kind == SipEvent::Kind::DtmfSent) {
        Log("--", QStringLiteral("call %1 DTMF sent by %2").arg(call.id, QString::fromStdString(event.reason)));
        return;
    }
    if (event.kind == SipEvent::Kind::Ended) {
        Log("--", QStringLiteral("call %1 ended: %2 %3").arg(call.id).arg(event.code).arg(QString::fromStdString(event.reason)));
        Explain(call, event);
    }
    const ClientSays says = MapSipEvent(event, call.state);
    // ROUTING goes out only once the far end has said something of the
    // call, so that a number the network does not know can still be refused
    // as the client refused it: with ERROR 92 and no call.
    if (call.state.routed || says.refuseNumber) {
        if (placing_.value(call.peer) == call.id) placing_.remove(call.peer);
    }
    if (says.refuseNumber) {
        call.status = QStringLiteral("FAILED");  // quietly: the dialer never knew it
        call.audio.reset();
        SendTo(call.peer, QStringLiteral("ERROR 92 ") + skypeclient::RejectText(92));
        return;
    }
    for (std::size_t i = 0; i < says.statuses.size(); ++i) {
        const QString status = QString::fromStdString(says.statuses[i]);
        const bool last = i + 1 == says.statuses.size();
        if (last && says.answered) {
            Answer(call);
        } else if (last && event.kind == SipEvent::Kind::Ended) {
            if (says.failureReason) SendCall(call, QStringLiteral("CALL %1 FAILUREREASON 1").arg(call.id));
            EndCall(call, status);
        } else {
            SetStatus(call, status);
        }
    }
}

void SipGateway::OnRegistration(const SipEvent& event) {
    const QString registrar = QString::fromStdString(FormatHostPort(*settings_.registrar));
    if (event.kind == SipEvent::Kind::Registered) {
        Log("--", QStringLiteral("registered at %1").arg(registrar));
        return;
    }
    const QString why = event.code != 0 ? QStringLiteral("%1 %2").arg(event.code).arg(QString::fromStdString(event.reason))
                                        : QString::fromStdString(event.reason);
    Say(QStringLiteral("registration at %1 failed: %2%3")
            .arg(registrar, why,
                 event.code == 401 || event.code == 403 || event.code == 407
                     ? QStringLiteral(" (check username and password)")
                     : QString()));
    Log("--", QStringLiteral("registration failed: %1").arg(why));
}

// What the user should know of a call that could not be made.
void SipGateway::Explain(const GatewayCall& call, const SipEvent& event) {
    const QString domain = QString::fromStdString(FormatHostPort(settings_.domain));
    if (event.error != 0) {
        Say(QStringLiteral("call to %1: %2 cannot be reached (%3)")
                .arg(call.number, domain, QString::fromStdString(event.reason)));
    } else if (event.code == 401 || event.code == 403 || event.code == 407) {
        Say(QStringLiteral("call to %1 refused by %2: %3 %4 (check username and password)")
                .arg(call.number, domain)
                .arg(event.code)
                .arg(QString::fromStdString(event.reason)));
    }
}

void SipGateway::Hangup(Call& call, const QString& status) {
    placing_.remove(call.peer);
    stack_.Hangup(call.id.toInt());
    EndCall(call, status);
}

void SipGateway::OnHold(Call& call, bool held) { stack_.Hold(call.id.toInt(), held); }

void SipGateway::OnDtmf(Call& call, char key) {
    ClientSide::OnDtmf(call, key);
    stack_.SendDtmf(call.id.toInt(), key);
}

void SipGateway::OnStreamConnected(Call& call, bool isOutput, QTcpSocket*) {
    if (!Gateway(call).audio) return;
    // The streams start when their connections do, as the client's did.
    (isOutput ? Gateway(call).audio->voice : Gateway(call).audio->sent).Clear();
}

// The callee's voice and what the callee hears (the microphone stream) go
// out as the stack's 20 ms clock delivers them: paced by the RTP clock.
void SipGateway::PumpAudio(Call& call) {
    GatewayCall& gateway = Gateway(call);
    if (!gateway.audio) return;
    const auto drain = [&](SampleRing& ring, Stream& stream, const char* name) {
        std::int16_t frame[kFrameBytes / 2];
        while (ring.Size() >= kFrameBytes / 2) {
            ring.Pop(frame, kFrameBytes / 2);
            if (StreamOpen(stream)) Write(call, stream, QByteArray(reinterpret_cast<const char*>(frame), kFrameBytes), name);
        }
    };
    drain(gateway.audio->voice, call.output, "output");
    drain(gateway.audio->sent, call.mic, "mic");
}

void SipGateway::OnHeard(Call& call, const QByteArray& bytes) {
    GatewayCall& gateway = Gateway(call);
    if (!gateway.audio) return;
    QByteArray whole = gateway.oddByte + bytes;
    gateway.oddByte = whole.size() % 2 != 0 ? whole.right(1) : QByteArray();
    whole.chop(whole.size() % 2);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(whole.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<unsigned char>(whole[static_cast<qsizetype>(2 * i)]);
        const auto hi = static_cast<unsigned char>(whole[static_cast<qsizetype>(2 * i + 1)]);
        samples[i] = static_cast<std::int16_t>(lo | (hi << 8));
    }
    gateway.audio->heard.Push(samples.data(), samples.size());
}

}  // namespace zorvan::gateway
