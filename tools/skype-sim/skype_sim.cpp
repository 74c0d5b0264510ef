#include "skype_sim.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <algorithm>

namespace skypesim {

namespace {

const QString kService = QStringLiteral("com.Skype.API");
const QString kPath = QStringLiteral("/com/Skype/DesktopAPI");
const QString kInterface = QStringLiteral("com.Skype.DesktopAPI");

// A dialer that takes longer than this to answer a text is noted in the log.
constexpr qint64 kSlowReplyMs = 1000;

}  // namespace

bool ApiObject::CopyData(const QByteArray& data) { return sim_.OnCommand(message().service(), data); }

SkypeSim::SkypeSim(Scenario scenario, const QString& logPath, const QString& heardFolder, bool logAudio)
    : scenario_(std::move(scenario)), bus_(QDBusConnection::sessionBus()), api_(*this), log_(logPath),
      logAudio_(logAudio), heardFolder_(heardFolder) {
    clock_.start();
    if (!logPath.isEmpty()) log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    if (scenario_.sparseCallIds) nextCallId_ = 52817;
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
    leaving_.remove(peer);
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
        case Scenario::AttachPolicy::NotAvailable:
            // Until a login announces the API again.
            SendAttach(peer, loggedInAgain_ ? 0 : 3);
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

void SkypeSim::Detach(const QString& peer, const QString& why) {
    if (!attached_.remove(peer)) return;
    leaving_.remove(peer);
    outbox_.remove(peer);
    Log("--", QStringLiteral("detached %1: %2").arg(peer, why));
}

// Texts to one dialer go one at a time: the next leaves when the dialer has
// answered the previous one, so they arrive in the order they were made.
// A dialer that is not attached (or is being detached) gets nothing new.
void SkypeSim::SendTo(const QString& peer, const QString& text) {
    if (!attached_.contains(peer) || leaving_.contains(peer)) return;
    outbox_[peer].append(text);
    if (!sending_.contains(peer)) SendNext(peer);
}

void SkypeSim::SendNext(const QString& peer) {
    QStringList& queue = outbox_[peer];
    if (queue.isEmpty()) {
        sending_.remove(peer);
        if (leaving_.contains(peer)) Detach(peer, QStringLiteral("logged out"));
        return;
    }
    sending_.insert(peer);
    const QString text = queue.takeFirst();
    Log("->", text);
    QDBusMessage call = QDBusMessage::createMethodCall(peer, kPath, kInterface, QStringLiteral("CopyData"));
    call << (text.toUtf8() + '\0');
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 10000), this);
    auto* sent = new QElapsedTimer;
    sent->start();
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, peer, watcher, sent] {
        watcher->deleteLater();
        const qint64 took = sent->elapsed();
        delete sent;
        if (watcher->isError()) {
            // The dialer is gone: forget it.
            attached_.remove(peer);
            leaving_.remove(peer);
            outbox_.remove(peer);
            sending_.remove(peer);
            return;
        }
        if (took > kSlowReplyMs) Log("--", QStringLiteral("slow reply %1 ms").arg(took));
        if (scenario_.replyDeadline && static_cast<double>(took) > *scenario_.replyDeadline * 1000) {
            Detach(peer, QStringLiteral("no answer within the reply deadline"));
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
    const QString verb = words.isEmpty() ? QString() : words[0].toUpper();
    if (words.isEmpty()) {
        SendTo(sender, QStringLiteral("ERROR 2 Unknown command"));
    } else if (upper == QLatin1String("PING")) {
        SendTo(sender, QStringLiteral("PONG"));
    } else if (verb == QLatin1String("PROTOCOL") && words.size() == 2) {
        const int asked = words[1].toInt();
        SendTo(sender, QStringLiteral("PROTOCOL %1").arg(std::max(1, std::min(asked, scenario_.protocol))));
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
    } else if ((verb == QLatin1String("CALL") || verb == QLatin1String("ALTER")) && loggedOut_) {
        SendTo(sender, QStringLiteral("ERROR 38 Not online"));
    } else if (verb == QLatin1String("CALL") && words.size() == 2) {
        PlaceCall(sender, words[1]);
    } else if (verb == QLatin1String("ALTER") && words.size() >= 4 && words[1].toUpper() == QLatin1String("CALL")) {
        HandleAlter(sender, text, words);
    } else if (verb == QLatin1String("GET") && words.size() >= 4 && words[1].toUpper() == QLatin1String("CALL")) {
        HandleGetCall(sender, words);
    } else if (verb == QLatin1String("GET") && words.size() == 4 && words[1].toUpper() == QLatin1String("USER")) {
        SendTo(sender, QStringLiteral("USER %1 %2 ").arg(words[2], words[3].toUpper()));
    } else {
        SendTo(sender, QStringLiteral("ERROR 2 Unknown command"));
    }
    return true;
}

// The user signs out: the status goes to every dialer, which is then
// detached and gets nothing more until the API is announced again.
void SkypeSim::Logout() {
    // Calls do not outlive the sign-out.
    for (auto& [id, call] : calls_) {
        static_cast<void>(id);
        if (!call->Ended() && !call->status.isEmpty()) EndCall(*call, QStringLiteral("FAILED"));
    }
    loggedOut_ = true;
    connStatus_ = userStatus_ = QStringLiteral("LOGGEDOUT");
    Broadcast(QStringLiteral("CONNSTATUS LOGGEDOUT"));
    Broadcast(QStringLiteral("USERSTATUS LOGGEDOUT"));
    for (const QString& peer : attached_) {
        leaving_.insert(peer);
        if (!sending_.contains(peer)) Detach(peer, QStringLiteral("logged out"));
    }
}

void SkypeSim::Login() {
    loggedOut_ = false;
    loggedInAgain_ = true;
    connStatus_ = userStatus_ = QStringLiteral("ONLINE");
    Broadcast(QStringLiteral("CONNSTATUS ONLINE"));
    Broadcast(QStringLiteral("USERSTATUS ONLINE"));
    Log("--", QStringLiteral("ApiAvailable"));
    bus_.send(QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ApiAvailable")));
}

void SkypeSim::RunTimeline() {
    for (const TimedAction& action : scenario_.timeline) {
        QTimer::singleShot(static_cast<int>(action.at * 1000), this, [this, action] {
            switch (action.kind) {
                case TimedAction::Kind::UserStatus:
                    userStatus_ = QString::fromStdString(action.value).toUpper();
                    Broadcast(QStringLiteral("USERSTATUS ") + userStatus_);
                    break;
                case TimedAction::Kind::ConnStatus:
                    connStatus_ = QString::fromStdString(action.value);
                    Broadcast(QStringLiteral("CONNSTATUS ") + connStatus_);
                    break;
                case TimedAction::Kind::Logout:
                    Logout();
                    break;
                case TimedAction::Kind::Login:
                    Login();
                    break;
                case TimedAction::Kind::Incoming:
                    Incoming(action.incoming);
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
