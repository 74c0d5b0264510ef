// The client's protocol: the bus name, attaching, texts one at a time, and
// the commands that are not about calls.
#include "client_side.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <algorithm>

namespace skypeclient {

namespace {

const QString kService = QStringLiteral("com.Skype.API");
const QString kPath = QStringLiteral("/com/Skype/DesktopAPI");
const QString kInterface = QStringLiteral("com.Skype.DesktopAPI");

// A dialer that takes longer than this to answer a text is noted in the log.
constexpr qint64 kSlowReplyMs = 1000;

}  // namespace

bool ApiObject::CopyData(const QByteArray& data) { return client_.OnCommand(message().service(), data); }

ClientSide::ClientSide(Behaviour behaviour, const QString& logPath, bool logAudio)
    : behaviour_(std::move(behaviour)), bus_(QDBusConnection::sessionBus()), api_(*this), log_(logPath),
      logAudio_(logAudio) {
    clock_.start();
    if (!logPath.isEmpty()) log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    if (behaviour_.sparseCallIds) nextCallId_ = 52817;
}

ClientSide::~ClientSide() {
    for (auto& [number, call] : calls_) {
        static_cast<void>(number);
        delete call->durationTimer;
        for (QTimer* t : call->pending) delete t;
    }
}

bool ClientSide::Start(QString& error) {
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
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("Discover"), this,
                 SLOT(OnDiscoverSignal(QDBusMessage)));
    bus_.send(QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ApiAvailable")));
    Log("--", QStringLiteral("started as %1").arg(bus_.baseService()));
    return true;
}

void ClientSide::Log(const char* direction, const QString& text) {
    if (!log_.isOpen()) return;
    const QString line = QStringLiteral("%1 %2 %3\n")
                             .arg(static_cast<double>(clock_.elapsed()) / 1000.0, 0, 'f', 3)
                             .arg(QLatin1String(direction), text);
    log_.write(line.toUtf8());
    log_.flush();
}

void ClientSide::SendAttach(const QString& peer, uint status) {
    if (status == 0) attached_.insert(peer);
    leaving_.remove(peer);
    Log("=>", QStringLiteral("ATTACH %1 %2").arg(peer).arg(status));
    QDBusMessage call = QDBusMessage::createMethodCall(peer, kPath, kInterface, QStringLiteral("Attach"));
    call << status;
    bus_.asyncCall(call);
}

void ClientSide::OnDiscoverSignal(const QDBusMessage& message) {
    const QString peer = message.service();
    Log("<=", QStringLiteral("DISCOVER %1").arg(peer));
    OnDiscover(peer);
}

void ClientSide::Detach(const QString& peer, const QString& why) {
    if (!attached_.remove(peer)) return;
    leaving_.remove(peer);
    outbox_.remove(peer);
    Log("--", QStringLiteral("detached %1: %2").arg(peer, why));
}

// Texts to one dialer go one at a time: the next leaves when the dialer has
// answered the previous one, so they arrive in the order they were made.
// A dialer that is not attached (or is being detached) gets nothing new.
void ClientSide::SendTo(const QString& peer, const QString& text) {
    if (!attached_.contains(peer) || leaving_.contains(peer)) return;
    outbox_[peer].append(text);
    if (!sending_.contains(peer)) SendNext(peer);
}

void ClientSide::SendNext(const QString& peer) {
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
        if (behaviour_.replyDeadline && static_cast<double>(took) > *behaviour_.replyDeadline * 1000) {
            Detach(peer, QStringLiteral("no answer within the reply deadline"));
        }
        SendNext(peer);
    });
}

void ClientSide::Broadcast(const QString& text) {
    for (const QString& peer : attached_) SendTo(peer, text);
}

bool ClientSide::OnCommand(const QString& sender, const QByteArray& data) {
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
        SendTo(sender, QStringLiteral("PROTOCOL %1").arg(std::max(1, std::min(asked, behaviour_.protocol))));
    } else if (upper == QLatin1String("GET SKYPEVERSION")) {
        SendTo(sender, QStringLiteral("SKYPEVERSION ") + QString::fromStdString(behaviour_.version));
    } else if (upper == QLatin1String("GET CONNSTATUS")) {
        SendTo(sender, QStringLiteral("CONNSTATUS ") + connStatus_);
    } else if (upper == QLatin1String("GET USERSTATUS")) {
        SendTo(sender, QStringLiteral("USERSTATUS ") + userStatus_);
    } else if (upper == QLatin1String("GET CURRENTUSERHANDLE")) {
        SendTo(sender, QStringLiteral("CURRENTUSERHANDLE ") + QString::fromStdString(behaviour_.handle));
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

void ClientSide::SetUserStatus(const QString& status) {
    userStatus_ = status;
    Broadcast(QStringLiteral("USERSTATUS ") + userStatus_);
}

void ClientSide::SetConnStatus(const QString& status) {
    connStatus_ = status;
    Broadcast(QStringLiteral("CONNSTATUS ") + connStatus_);
}

// The user signs out: the status goes to every dialer, which is then
// detached and gets nothing more until the API is announced again.
void ClientSide::Logout() {
    // Calls do not outlive the sign-out.
    for (auto& [id, call] : calls_) {
        static_cast<void>(id);
        if (!call->Ended() && !call->status.isEmpty()) EndCall(*call, QStringLiteral("FAILED"));
    }
    loggedOut_ = true;
    connStatus_ = userStatus_ = QStringLiteral("LOGGEDOUT");
    Broadcast(QStringLiteral("CONNSTATUS LOGGEDOUT"));
    Broadcast(QStringLiteral("USERSTATUS LOGGEDOUT"));
    const QSet<QString> peers = attached_;  // Detach changes the set
    for (const QString& peer : peers) {
        leaving_.insert(peer);
        if (!sending_.contains(peer)) Detach(peer, QStringLiteral("logged out"));
    }
}

void ClientSide::Login() {
    loggedOut_ = false;
    connStatus_ = userStatus_ = QStringLiteral("ONLINE");
    Broadcast(QStringLiteral("CONNSTATUS ONLINE"));
    Broadcast(QStringLiteral("USERSTATUS ONLINE"));
    Log("--", QStringLiteral("ApiAvailable"));
    bus_.send(QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("ApiAvailable")));
}

}  // namespace skypeclient
