// The client's calls: their ids and statuses, the one-call-at-a-time rule,
// ALTER CALL with the client's refusals, and GET CALL.
#include <QRegularExpression>
#include <QTimer>

#include "client_side.h"

namespace skypeclient {

namespace {

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

bool ClientSide::Call::Ended() const {
    return status == QLatin1String("FINISHED") || status == QLatin1String("CANCELLED") ||
           status == QLatin1String("BUSY") || status == QLatin1String("REFUSED") ||
           status == QLatin1String("MISSED") || status == QLatin1String("FAILED");
}

QString ClientSide::NewCallId() {
    const int id = nextCallId_;
    // Sparse ids, as the client gave them: large and with gaps.
    nextCallId_ += behaviour_.sparseCallIds ? 37 + static_cast<int>(random_() % 4000) : 1;
    return QString::number(id);
}

ClientSide::Call& ClientSide::AddCall(const QString& peer, const QString& number) {
    const QString id = NewCallId();
    std::unique_ptr<Call> owned = NewCall();
    Call& call = *owned;
    calls_[id.toInt()] = std::move(owned);
    call.id = id;
    call.peer = peer;
    call.number = number;
    return call;
}

ClientSide::Call* ClientSide::CallById(const QString& id) {
    bool ok = false;
    const auto it = calls_.find(id.toInt(&ok));
    return ok && it != calls_.end() ? it->second.get() : nullptr;
}

ClientSide::Call* ClientSide::FindCall(const QString& id, const QString& peer) {
    Call* call = CallById(id);
    return call != nullptr && (call->incoming || call->peer == peer) ? call : nullptr;
}

bool ClientSide::SettingUpCall(const QString& peer) const {
    for (const auto& [id, other] : calls_) {
        static_cast<void>(id);
        if (!other->incoming && other->peer == peer && IsEarlyStatus(other->status)) return true;
    }
    return false;
}

// An incoming call concerns every attached dialer; an outgoing one the
// dialer that placed it.
void ClientSide::SendCall(const Call& call, const QString& text) {
    if (call.incoming) {
        Broadcast(text);
    } else {
        SendTo(call.peer, text);
    }
}

void ClientSide::Later(Call& call, double seconds, std::function<void()> action) {
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    call.pending.push_back(timer);
    connect(timer, &QTimer::timeout, this, [action = std::move(action)] { action(); });
    timer->start(static_cast<int>(seconds * 1000));
}

void ClientSide::StopPending(Call& call) {
    for (QTimer* t : call.pending) t->stop();
}

void ClientSide::SetStatus(Call& call, const QString& status) {
    call.status = status;
    const QString text = QStringLiteral("CALL %1 STATUS %2").arg(call.id, status);
    SendCall(call, text);
    // Real traces show early statuses, and with them sometimes every one, twice.
    const bool twice = behaviour_.repeatStatus == Behaviour::Repeat::All ||
                       (behaviour_.repeatStatus == Behaviour::Repeat::Early &&
                        (status == QLatin1String("ROUTING") || status == QLatin1String("RINGING")));
    if (twice) SendCall(call, text);
}

void ClientSide::EndCall(Call& call, const QString& status) {
    StopPending(call);
    if (call.durationTimer != nullptr) call.durationTimer->stop();
    // The status goes first; the audio connections close a moment later,
    // as the client does when a call ends.
    SetStatus(call, status);
    QTimer::singleShot(100, this, [this, &call] { CloseAudio(call); });
}

void ClientSide::Answer(Call& call) {
    call.answered = true;
    SetStatus(call, QStringLiteral("INPROGRESS"));
    call.durationTimer = new QTimer(this);
    connect(call.durationTimer, &QTimer::timeout, this,
            [this, &call] { SendCall(call, QStringLiteral("CALL %1 DURATION %2").arg(call.id).arg(++call.duration)); });
    call.durationTimer->start(1000);
    OnAnswered(call);
}

void ClientSide::OnDtmf(Call& call, char key) {
    Log("--", QStringLiteral("call %1 DTMF %2").arg(call.id, QChar(key)));
}

void ClientSide::HandleAlter(const QString& peer, const QString& text, const QStringList& words) {
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
        Hangup(call, call.answered || behaviour_.protocol < 2 ? QStringLiteral("FINISHED")
                                                               : QStringLiteral("CANCELLED"));
        return;
    }
    if (action == QLatin1String("HOLD")) {
        if (!call.answered || ended) {
            SendTo(peer, QStringLiteral("ERROR 558 ALTER CALL: Cannot hold a call that is not in progress"));
            return;
        }
        SendTo(peer, text);
        SetStatus(call, behaviour_.protocol < 2 ? QStringLiteral("ONHOLD") : QStringLiteral("LOCALHOLD"));
        OnHold(call, true);
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
        OnHold(call, false);
        return;
    }
    if (action == QLatin1String("DTMF")) {
        static const QRegularExpression key(QStringLiteral("^[0-9*#]$"));
        if (words.size() != 5 || !key.match(words[4]).hasMatch()) {
            SendTo(peer, QStringLiteral("ERROR 42 ALTER CALL: Invalid DTMF code"));
            return;
        }
        SendTo(peer, text);
        OnDtmf(call, words[4].at(0).toLatin1());
        return;
    }
    SendTo(peer, text);  // the client echoes the other ALTER commands
    if (!ended) Route(call, action, text);
}

// The routing of an answered call's audio (values separated by blanks or ", ").
void ClientSide::Route(Call& call, const QString& action, const QString& text) {
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

void ClientSide::HandleGetCall(const QString& peer, const QStringList& words) {
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

}  // namespace skypeclient
