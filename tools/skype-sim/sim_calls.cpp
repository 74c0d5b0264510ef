// The stand-in's calls: placing them, the callee's outcome, incoming calls,
// ALTER and GET CALL, with the client's refusals and repeated statuses.
#include <QRegularExpression>
#include <QTimer>

#include <cmath>

#include "common/wav.h"
#include "skype_sim.h"

namespace skypesim {

namespace {

QString RejectText(int code) {
    switch (code) {
        case 91: return QStringLiteral("CALL: Cannot call an emergency number");
        case 92: return QStringLiteral("CALL: Number is not valid");
        case 93: return QStringLiteral("CALL: Invalid Skype name");
        case 94: return QStringLiteral("CALL: Cannot call yourself");
        case 96: return QStringLiteral("CALL: an outgoing call exists in ROUTING/RINGING/EARLYMEDIA state");
        case 99: return QStringLiteral("CALL: Action failed");
        case 101: return QStringLiteral("CALL: Not enough credit");
        default: return QStringLiteral("CALL: Action failed");
    }
}

bool IsEarlyStatus(const QString& status) {
    return status == QLatin1String("ROUTING") || status == QLatin1String("RINGING") ||
           status == QLatin1String("EARLYMEDIA");
}

// The callee as the client names it: "+" and the digits of the number.
QString PstnHandle(const QString& number) {
    QString digits;
    for (const QChar c : number) {
        if (c.isDigit()) digits += c;
    }
    return QStringLiteral("+") + digits;
}

}  // namespace

bool SkypeSim::Call::Ended() const {
    return status == QLatin1String("FINISHED") || status == QLatin1String("CANCELLED") ||
           status == QLatin1String("BUSY") || status == QLatin1String("REFUSED") ||
           status == QLatin1String("MISSED") || status == QLatin1String("FAILED");
}

QString SkypeSim::NewCallId() {
    const int id = nextCallId_;
    // Sparse ids, as the client gave them: large and with gaps.
    nextCallId_ += scenario_.sparseCallIds ? 37 + static_cast<int>(random_() % 4000) : 1;
    return QString::number(id);
}

SkypeSim::Call& SkypeSim::AddCall(const QString& peer, const QString& number) {
    const QString id = NewCallId();
    auto owned = std::make_unique<Call>();
    Call& call = *owned;
    calls_[id.toInt()] = std::move(owned);
    call.id = id;
    call.peer = peer;
    call.number = number;
    return call;
}

SkypeSim::Call* SkypeSim::FindCall(const QString& id, const QString& peer) {
    bool ok = false;
    const auto it = calls_.find(id.toInt(&ok));
    if (!ok || it == calls_.end()) return nullptr;
    Call& call = *it->second;
    return call.incoming || call.peer == peer ? &call : nullptr;
}

// An incoming call concerns every attached dialer; an outgoing one the
// dialer that placed it.
void SkypeSim::SendCall(const Call& call, const QString& text) {
    if (call.incoming) {
        Broadcast(text);
    } else {
        SendTo(call.peer, text);
    }
}

void SkypeSim::Later(Call& call, double seconds, std::function<void()> action) {
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    call.pending.push_back(timer);
    connect(timer, &QTimer::timeout, this, [action = std::move(action)] { action(); });
    timer->start(static_cast<int>(seconds * 1000));
}

void SkypeSim::SetStatus(Call& call, const QString& status) {
    call.status = status;
    const QString text = QStringLiteral("CALL %1 STATUS %2").arg(call.id, status);
    SendCall(call, text);
    // Real traces show early statuses, and with them sometimes every one, twice.
    const bool twice = scenario_.repeatStatus == Scenario::Repeat::All ||
                       (scenario_.repeatStatus == Scenario::Repeat::Early &&
                        (status == QLatin1String("ROUTING") || status == QLatin1String("RINGING")));
    if (twice) SendCall(call, text);
}

void SkypeSim::EndCall(Call& call, const QString& status) {
    for (QTimer* t : call.pending) t->stop();
    if (call.durationTimer != nullptr) call.durationTimer->stop();
    // The status goes first; the audio connections close a moment later,
    // as the client does when a call ends.
    SetStatus(call, status);
    QTimer::singleShot(100, this, [this, &call] { CloseAudio(call); });
}

void SkypeSim::Answer(Call& call) {
    call.answered = true;
    SetStatus(call, QStringLiteral("INPROGRESS"));
    call.durationTimer = new QTimer(this);
    connect(call.durationTimer, &QTimer::timeout, this,
            [this, &call] { SendCall(call, QStringLiteral("CALL %1 DURATION %2").arg(call.id).arg(++call.duration)); });
    call.durationTimer->start(1000);
    const Callee* callee = call.callee;
    if (callee == nullptr) return;
    if (callee->hangupAfter) Later(call, *callee->hangupAfter, [this, &call] { EndCall(call, QStringLiteral("FINISHED")); });
    if (callee->netLossAt) {
        Later(call, *callee->netLossAt, [this, &call] {
            SendCall(call, QStringLiteral("CALL %1 FAILUREREASON 2").arg(call.id));
            EndCall(call, QStringLiteral("FAILED"));
        });
    }
}

void SkypeSim::PlaceCall(const QString& peer, const QString& number) {
    const Callee& callee = scenario_.CalleeFor(number.toStdString());
    if (callee.outcome == Callee::Outcome::Reject) {
        SendTo(peer, QStringLiteral("ERROR %1 %2").arg(callee.code).arg(RejectText(callee.code)));
        return;
    }
    if (callee.outcome == Callee::Outcome::RejectBare) {
        SendTo(peer, QStringLiteral("ERROR %1").arg(callee.code));
        return;
    }
    // One outgoing call is set up at a time.
    for (const auto& [id, other] : calls_) {
        static_cast<void>(id);
        if (!other->incoming && other->peer == peer && IsEarlyStatus(other->status)) {
            SendTo(peer, QStringLiteral("ERROR 96 ") + RejectText(96));
            return;
        }
    }
    Call& call = AddCall(peer, number);
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

void SkypeSim::HandleAlter(const QString& peer, const QString& text, const QStringList& words) {
    Call* found = FindCall(words[2], peer);
    if (found == nullptr) {
        SendTo(peer, QStringLiteral("ERROR 556 ALTER CALL: Invalid call id"));
        return;
    }
    Call& call = *found;
    const QString action = words[3].toUpper();
    const bool ended = call.Ended() || call.hangingUp;
    // The client refuses what cannot be done instead of echoing it.
    if (action == QLatin1String("HANGUP")) {
        if (ended) {
            SendTo(peer, QStringLiteral("ERROR 559 ALTER CALL: Call is already finished"));
            return;
        }
        SendTo(peer, text);
        const QString status = call.answered || scenario_.protocol < 2 ? QStringLiteral("FINISHED")
                                                                        : QStringLiteral("CANCELLED");
        if (scenario_.hangupDelay <= 0) {
            EndCall(call, status);
            return;
        }
        // The hang-up takes its time: the call keeps its status meanwhile.
        call.hangingUp = true;
        for (QTimer* t : call.pending) t->stop();
        QTimer::singleShot(static_cast<int>(scenario_.hangupDelay * 1000), this,
                           [this, &call, status] { EndCall(call, status); });
        return;
    }
    if (action == QLatin1String("HOLD")) {
        if (!call.answered || ended) {
            SendTo(peer, QStringLiteral("ERROR 558 ALTER CALL: Cannot hold a call that is not in progress"));
            return;
        }
        SendTo(peer, text);
        SetStatus(call, scenario_.protocol < 2 ? QStringLiteral("ONHOLD") : QStringLiteral("LOCALHOLD"));
        return;
    }
    if (action == QLatin1String("RESUME")) {
        const bool held = call.status == QLatin1String("LOCALHOLD") || call.status == QLatin1String("ONHOLD");
        if (!held || ended) {
            SendTo(peer, QStringLiteral("ERROR 558 ALTER CALL: Cannot resume a call that is not on hold"));
            return;
        }
        SendTo(peer, text);
        SetStatus(call, QStringLiteral("INPROGRESS"));
        return;
    }
    if (action == QLatin1String("DTMF")) {
        static const QRegularExpression key(QStringLiteral("^[0-9*#]$"));
        if (words.size() != 5 || !key.match(words[4]).hasMatch()) {
            SendTo(peer, QStringLiteral("ERROR 42 ALTER CALL: Invalid DTMF code"));
            return;
        }
        SendTo(peer, text);
        Log("--", QStringLiteral("call %1 DTMF %2").arg(call.id, words[4]));
        return;
    }
    SendTo(peer, text);  // the client echoes the other ALTER commands
    if (!ended) Route(call, action, text);
}

// The routing of an answered call's audio (values separated by blanks or ", ").
void SkypeSim::Route(Call& call, const QString& action, const QString& text) {
    static const QRegularExpression portPattern(QStringLiteral("PORT=\"(\\d+)\""),
                                                QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = portPattern.match(text);
    const quint16 port = match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
    if (action == QLatin1String("SET_OUTPUT")) {
        if (port != 0) StartStream(call, call.output, port, true);
    } else if (action == QLatin1String("SET_CAPTURE_MIC")) {
        if (port != 0) StartStream(call, call.mic, port, false);
    } else if (action == QLatin1String("SET_INPUT")) {
        if (port != 0) {
            ConnectInput(call, port);
        } else {
            CloseInput(call);  // back to the sound card
        }
    }
}

void SkypeSim::HandleGetCall(const QString& peer, const QStringList& words) {
    const Call* found = FindCall(words[2], peer);
    if (found == nullptr) {
        SendTo(peer, QStringLiteral("ERROR 11 Invalid call id"));
        return;
    }
    const Call& call = *found;
    const QString property = words[3].toUpper();
    QString value;
    if (property == QLatin1String("PARTNER_HANDLE") || property == QLatin1String("TARGET_IDENTITY")) {
        value = call.incoming ? call.number : PstnHandle(call.number);
    } else if (property == QLatin1String("TYPE")) {
        value = !call.incoming ? QStringLiteral("OUTGOING_PSTN")
                               : (call.pstn ? QStringLiteral("INCOMING_PSTN") : QStringLiteral("INCOMING_P2P"));
    } else if (property == QLatin1String("STATUS")) {
        value = call.status;
    } else if (property == QLatin1String("CONF_PARTICIPANTS_COUNT")) {
        value = QStringLiteral("0");
    } else if (property == QLatin1String("VIDEO_SEND_STATUS") || property == QLatin1String("VIDEO_RECEIVE_STATUS")) {
        value = QStringLiteral("NOT_AVAILABLE");
    } else if (property == QLatin1String("DURATION")) {
        value = QString::number(call.duration);
    } else {
        SendTo(peer, QStringLiteral("ERROR 7 GET: invalid WHAT"));
        return;
    }
    SendTo(peer, QStringLiteral("CALL %1 %2 %3").arg(call.id, property, value));
}

}  // namespace skypesim
