#include "sip_gateway.h"

#include <QRegularExpression>
#include <QTcpSocket>

#include <cstdio>

namespace zorvan::gateway {

namespace {

constexpr int kFrameBytes = 320;  // 10 ms at 16 kHz, as the client wrote them
constexpr int kFrameMs = 10;

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

// ROUTING goes out once the far end has said something of the call, so that
// a number the network does not know can still be refused as the client
// refused it: with ERROR 92 and no call.
void SipGateway::Routed(GatewayCall& call) {
    if (call.routed) return;
    call.routed = true;
    if (placing_.value(call.peer) == call.id) placing_.remove(call.peer);
    SetStatus(call, QStringLiteral("ROUTING"));
}

void SipGateway::OnSipEvent(const SipEvent& event) {
    switch (event.kind) {
        case SipEvent::Kind::Registered:
            Log("--", QStringLiteral("registered at %1").arg(QString::fromStdString(FormatHostPort(*settings_.registrar))));
            return;
        case SipEvent::Kind::RegistrationFailed: {
            const QString why = event.code != 0 ? QStringLiteral("%1 %2").arg(event.code).arg(QString::fromStdString(event.reason))
                                                : QString::fromStdString(event.reason);
            Say(QStringLiteral("registration at %1 failed: %2")
                    .arg(QString::fromStdString(FormatHostPort(*settings_.registrar)), why));
            Log("--", QStringLiteral("registration failed: %1").arg(why));
            return;
        }
        default:
            break;
    }
    Call* found = CallById(QString::number(event.call));
    if (found == nullptr || found->Ended() || found->hangingUp) return;
    GatewayCall& call = Gateway(*found);
    switch (event.kind) {
        case SipEvent::Kind::Ringing:
            Routed(call);
            if (call.status != QLatin1String("RINGING")) SetStatus(call, QStringLiteral("RINGING"));
            break;
        case SipEvent::Kind::EarlyMedia:
            Routed(call);
            if (call.status != QLatin1String("EARLYMEDIA")) SetStatus(call, QStringLiteral("EARLYMEDIA"));
            break;
        case SipEvent::Kind::Answered:
            Routed(call);
            Answer(call);
            break;
        case SipEvent::Kind::Ended:
            if (event.byRemote) {
                EndCall(call, QStringLiteral("FINISHED"));
            } else {
                Failed(call, event);
            }
            break;
        case SipEvent::Kind::DtmfSent:
            Log("--", QStringLiteral("call %1 DTMF sent by %2").arg(call.id, QString::fromStdString(event.reason)));
            break;
        case SipEvent::Kind::Registered:
        case SipEvent::Kind::RegistrationFailed:
            break;
    }
}

void SipGateway::Failed(GatewayCall& call, const SipEvent& event) {
    const QString reason = QString::fromStdString(event.reason);
    Log("--", QStringLiteral("call %1 ended: %2 %3").arg(call.id).arg(event.code).arg(reason));
    if ((event.code == 404 || event.code == 484) && !call.routed) {
        // The number is not one the network knows: the client's refusal.
        placing_.remove(call.peer);
        call.status = QStringLiteral("FAILED");
        SendTo(call.peer, QStringLiteral("ERROR 92 ") + skypeclient::RejectText(92));
        return;
    }
    Routed(call);
    if (event.code == 486 || event.code == 600) {
        EndCall(call, QStringLiteral("BUSY"));
        return;
    }
    if (event.code == 603) {
        EndCall(call, QStringLiteral("REFUSED"));
        return;
    }
    if (event.code == 0) {
        // Nothing came back: the domain is out of reach, or the request timed out.
        Say(QStringLiteral("call to %1: %2 did not answer (%3)")
                .arg(call.number, QString::fromStdString(FormatHostPort(settings_.domain)), reason));
    } else if (event.code == 401 || event.code == 403 || event.code == 407) {
        Say(QStringLiteral("call to %1 refused by %2: %3 %4 (check username and password)")
                .arg(call.number, QString::fromStdString(FormatHostPort(settings_.domain)))
                .arg(event.code)
                .arg(reason));
    }
    SendCall(call, QStringLiteral("CALL %1 FAILUREREASON 1").arg(call.id));
    EndCall(call, QStringLiteral("FAILED"));
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
    // The voice starts when the connection does, as the client's did.
    if (isOutput) Gateway(call).audio->voice.Clear();
}

// The callee's voice goes out as the stack delivers it, paced by the RTP
// clock; the microphone stream carries what the callee hears, and silence
// when the dialer plays nothing, every 10 ms.
void SipGateway::PumpAudio(Call& call) {
    GatewayCall& gateway = Gateway(call);
    std::int16_t frame[kFrameBytes / 2];
    while (gateway.audio->voice.Size() >= kFrameBytes / 2) {
        gateway.audio->voice.Pop(frame, kFrameBytes / 2);
        if (StreamOpen(call.output)) {
            Write(call, call.output, QByteArray(reinterpret_cast<const char*>(frame), kFrameBytes), "output");
        }
    }
    if (!StreamOpen(call.mic)) {
        gateway.micCopy.clear();
        return;
    }
    const qint64 due = call.mic.clock.elapsed() / kFrameMs;
    for (; call.mic.framesSent < due; ++call.mic.framesSent) {
        QByteArray bytes = gateway.micCopy.left(kFrameBytes);
        gateway.micCopy.remove(0, bytes.size());
        bytes.append(QByteArray(kFrameBytes - bytes.size(), '\0'));
        Write(call, call.mic, bytes, "mic");
    }
}

void SipGateway::OnHeard(Call& call, const QByteArray& bytes) {
    GatewayCall& gateway = Gateway(call);
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
    gateway.micCopy += whole;
    if (gateway.micCopy.size() > 32000) gateway.micCopy.remove(0, gateway.micCopy.size() - 32000);
}

}  // namespace zorvan::gateway
