#include "skype_sim.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace skypesim {

namespace {

const QString kService = QStringLiteral("com.Skype.API");
const QString kPath = QStringLiteral("/com/Skype/DesktopAPI");
const QString kInterface = QStringLiteral("com.Skype.DesktopAPI");

QString RejectText(int code) {
    switch (code) {
        case 91: return QStringLiteral("CALL: Cannot call an emergency number");
        case 92: return QStringLiteral("CALL: Number is not valid");
        case 93: return QStringLiteral("CALL: Invalid Skype name");
        case 94: return QStringLiteral("CALL: Cannot call yourself");
        default: return QStringLiteral("CALL: Action failed");
    }
}

}  // namespace

bool ApiObject::CopyData(const QByteArray& data) { return sim_.OnCommand(message().service(), data); }

SkypeSim::SkypeSim(Scenario scenario, const QString& logPath)
    : scenario_(std::move(scenario)), bus_(QDBusConnection::sessionBus()), api_(*this), log_(logPath) {
    clock_.start();
    if (!logPath.isEmpty()) log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

SkypeSim::~SkypeSim() {
    for (auto& [number, call] : calls_) {
        static_cast<void>(number);
        delete call->durationTimer;
        for (QTimer* t : call->pending) delete t;
    }
}

bool SkypeSim::Start(QString& error) {
    if (!bus_.isConnected()) {
        error = QStringLiteral("no session bus");
        return false;
    }
    if (!bus_.registerObject(kPath, &api_, QDBusConnection::ExportAllSlots)) {
        error = QStringLiteral("cannot export %1").arg(kPath);
        return false;
    }
    if (!bus_.registerService(kService)) {
        error = QStringLiteral("%1 is taken: another Skype client runs on this bus").arg(kService);
        return false;
    }
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("Discover"), this, SLOT(OnDiscover(QDBusMessage)));
    bus_.send(QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ApiAvailable")));
    Log("--", QStringLiteral("started as %1").arg(bus_.baseService()));
    RunTimeline();
    return true;
}

void SkypeSim::Log(const char* direction, const QString& text) {
    if (!log_.isOpen()) return;
    const QString line = QStringLiteral("%1 %2 %3\n")
                             .arg(static_cast<double>(clock_.elapsed()) / 1000.0, 0, 'f', 3)
                             .arg(QLatin1String(direction), text);
    log_.write(line.toUtf8());
    log_.flush();
}

void SkypeSim::SendAttach(const QString& peer, uint status) {
    if (status == 0) attached_.insert(peer);
    Log("=>", QStringLiteral("ATTACH %1 %2").arg(peer).arg(status));
    QDBusMessage call = QDBusMessage::createMethodCall(peer, kPath, kInterface, QStringLiteral("Attach"));
    call << status;
    bus_.asyncCall(call);
}

void SkypeSim::OnDiscover(const QDBusMessage& message) {
    const QString peer = message.service();
    Log("<=", QStringLiteral("DISCOVER %1").arg(peer));
    switch (scenario_.attach) {
        case Scenario::AttachPolicy::Immediate:
            SendAttach(peer, 0);
            break;
        case Scenario::AttachPolicy::Refused:
            SendAttach(peer, 2);
            break;
        case Scenario::AttachPolicy::Never:
            break;
        case Scenario::AttachPolicy::Pending:
            if (attached_.contains(peer)) {
                SendAttach(peer, 0);  // a re-discovery of a granted client
                break;
            }
            SendAttach(peer, 1);
            QTimer::singleShot(static_cast<int>(scenario_.pendingSeconds * 1000), this,
                               [this, peer] { SendAttach(peer, 0); });
            break;
    }
}

// Texts to one dialer go one at a time: the next leaves when the dialer has
// answered the previous one, so they arrive in the order they were made.
void SkypeSim::SendTo(const QString& peer, const QString& text) {
    outbox_[peer].append(text);
    if (!sending_.contains(peer)) SendNext(peer);
}

void SkypeSim::SendNext(const QString& peer) {
    QStringList& queue = outbox_[peer];
    if (queue.isEmpty()) {
        sending_.remove(peer);
        return;
    }
    sending_.insert(peer);
    const QString text = queue.takeFirst();
    Log("->", text);
    QDBusMessage call = QDBusMessage::createMethodCall(peer, kPath, kInterface, QStringLiteral("CopyData"));
    call << (text.toUtf8() + '\0');
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, peer, watcher] {
        watcher->deleteLater();
        if (watcher->isError()) {
            // The dialer is gone: forget it.
            attached_.remove(peer);
            outbox_.remove(peer);
            sending_.remove(peer);
            return;
        }
        SendNext(peer);
    });
}

void SkypeSim::Broadcast(const QString& text) {
    for (const QString& peer : attached_) SendTo(peer, text);
}

bool SkypeSim::OnCommand(const QString& sender, const QByteArray& data) {
    if (!attached_.contains(sender)) return false;
    const QString text = QString::fromUtf8(data.left(data.indexOf('\0') < 0 ? data.size() : data.indexOf('\0')));
    Log("<-", text);
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString upper = text.toUpper();
    if (words.isEmpty()) {
        SendTo(sender, QStringLiteral("ERROR 2 Unknown command"));
    } else if (upper == QLatin1String("PING")) {
        SendTo(sender, QStringLiteral("PONG"));
    } else if (upper == QLatin1String("GET SKYPEVERSION")) {
        SendTo(sender, QStringLiteral("SKYPEVERSION ") + QString::fromStdString(scenario_.version));
    } else if (upper == QLatin1String("GET CONNSTATUS")) {
        SendTo(sender, QStringLiteral("CONNSTATUS ") + connStatus_);
    } else if (upper == QLatin1String("GET USERSTATUS")) {
        SendTo(sender, QStringLiteral("USERSTATUS ") + userStatus_);
    } else if (upper == QLatin1String("GET CURRENTUSERHANDLE")) {
        SendTo(sender, QStringLiteral("CURRENTUSERHANDLE ") + QString::fromStdString(scenario_.handle));
    } else if (upper == QLatin1String("SET SILENT_MODE ON") || upper == QLatin1String("SET SILENT_MODE OFF")) {
        SendTo(sender, QStringLiteral("SILENT_MODE ") + words.last().toUpper());
    } else if (words[0].toUpper() == QLatin1String("CALL") && words.size() == 2) {
        PlaceCall(sender, words[1]);
    } else if (words[0].toUpper() == QLatin1String("ALTER") && words.size() >= 4 &&
               words[1].toUpper() == QLatin1String("CALL")) {
        HandleAlter(sender, text, words);
    } else if (words[0].toUpper() == QLatin1String("GET") && words.size() >= 4 &&
               words[1].toUpper() == QLatin1String("CALL")) {
        HandleGetCall(sender, words);
    } else if (words[0].toUpper() == QLatin1String("GET") && words.size() == 4 &&
               words[1].toUpper() == QLatin1String("USER")) {
        SendTo(sender, QStringLiteral("USER %1 %2 ").arg(words[2], words[3].toUpper()));
    } else {
        SendTo(sender, QStringLiteral("ERROR 2 Unknown command"));
    }
    return true;
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
    SendTo(call.peer, QStringLiteral("CALL %1 STATUS %2").arg(call.id, status));
}

void SkypeSim::EndCall(Call& call, const QString& status) {
    for (QTimer* t : call.pending) t->stop();
    if (call.durationTimer != nullptr) call.durationTimer->stop();
    SetStatus(call, status);
}

void SkypeSim::PlaceCall(const QString& peer, const QString& number) {
    const Callee& callee = scenario_.CalleeFor(number.toStdString());
    if (callee.outcome == Callee::Outcome::Reject) {
        SendTo(peer, QStringLiteral("ERROR %1 %2").arg(callee.code).arg(RejectText(callee.code)));
        return;
    }
    const int id = nextCallId_++;
    auto owned = std::make_unique<Call>();
    Call& call = *owned;
    calls_[id] = std::move(owned);
    call.id = QString::number(id);
    call.peer = peer;
    call.number = number;
    SetStatus(call, QStringLiteral("UNPLACED"));
    Later(call, 0.1, [this, &call] { SetStatus(call, QStringLiteral("ROUTING")); });
    Later(call, 0.2, [this, &call, early = callee.earlyMedia] {
        SetStatus(call, early ? QStringLiteral("EARLYMEDIA") : QStringLiteral("RINGING"));
    });
    const double outcomeAt = 0.2 + callee.ringSeconds;
    switch (callee.outcome) {
        case Callee::Outcome::Answer:
            Later(call, outcomeAt, [this, &call, hangup = callee.hangupAfter] {
                call.answered = true;
                SetStatus(call, QStringLiteral("INPROGRESS"));
                call.durationTimer = new QTimer(this);
                connect(call.durationTimer, &QTimer::timeout, this, [this, &call] {
                    SendTo(call.peer, QStringLiteral("CALL %1 DURATION %2").arg(call.id).arg(++call.duration));
                });
                call.durationTimer->start(1000);
                if (hangup) Later(call, *hangup, [this, &call] { EndCall(call, QStringLiteral("FINISHED")); });
            });
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
            break;
    }
}

void SkypeSim::HandleAlter(const QString& peer, const QString& text, const QStringList& words) {
    const auto it = calls_.find(words[2].toInt());
    if (it == calls_.end() || it->second->peer != peer) {
        SendTo(peer, QStringLiteral("ERROR 71 ALTER: Invalid call id"));
        return;
    }
    Call& call = *it->second;
    const QString action = words[3].toUpper();
    SendTo(peer, text);  // the client echoes every ALTER command
    const bool ended = call.status == QLatin1String("FINISHED") || call.status == QLatin1String("CANCELLED") ||
                       call.status == QLatin1String("BUSY") || call.status == QLatin1String("REFUSED") ||
                       call.status == QLatin1String("MISSED") || call.status == QLatin1String("FAILED");
    if (action == QLatin1String("HANGUP")) {
        if (!ended) EndCall(call, call.answered ? QStringLiteral("FINISHED") : QStringLiteral("CANCELLED"));
    } else if (action == QLatin1String("HOLD")) {
        if (call.answered && !ended) SetStatus(call, QStringLiteral("LOCALHOLD"));
    } else if (action == QLatin1String("RESUME")) {
        if (call.answered && !ended) SetStatus(call, QStringLiteral("INPROGRESS"));
    }
}

void SkypeSim::HandleGetCall(const QString& peer, const QStringList& words) {
    const auto it = calls_.find(words[2].toInt());
    if (it == calls_.end() || it->second->peer != peer) {
        SendTo(peer, QStringLiteral("ERROR 11 Invalid call id"));
        return;
    }
    const Call& call = *it->second;
    const QString property = words[3].toUpper();
    QString value;
    if (property == QLatin1String("PARTNER_HANDLE") || property == QLatin1String("TARGET_IDENTITY")) {
        value = call.number;
    } else if (property == QLatin1String("TYPE")) {
        value = QStringLiteral("OUTGOING_PSTN");
    } else if (property == QLatin1String("STATUS")) {
        value = call.status;
    } else if (property == QLatin1String("CONF_PARTICIPANTS_COUNT")) {
        value = QStringLiteral("1");
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

void SkypeSim::RunTimeline() {
    for (const TimedAction& action : scenario_.timeline) {
        QTimer::singleShot(static_cast<int>(action.at * 1000), this, [this, action] {
            switch (action.kind) {
                case TimedAction::Kind::UserStatus:
                    userStatus_ = QString::fromStdString(action.value).toUpper();
                    Broadcast(QStringLiteral("USERSTATUS ") + userStatus_);
                    break;
                case TimedAction::Kind::Logout:
                    connStatus_ = userStatus_ = QStringLiteral("LOGGEDOUT");
                    Broadcast(QStringLiteral("CONNSTATUS LOGGEDOUT"));
                    Broadcast(QStringLiteral("USERSTATUS LOGGEDOUT"));
                    break;
                case TimedAction::Kind::Login:
                    connStatus_ = userStatus_ = QStringLiteral("ONLINE");
                    Broadcast(QStringLiteral("CONNSTATUS ONLINE"));
                    Broadcast(QStringLiteral("USERSTATUS ONLINE"));
                    break;
                case TimedAction::Kind::Exit:
                    Log("--", QStringLiteral("exit"));
                    QCoreApplication::exit(0);
                    break;
            }
        });
    }
}

}  // namespace skypesim
