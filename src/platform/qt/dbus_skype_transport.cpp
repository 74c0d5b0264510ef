#include "platform/qt/dbus_skype_transport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace zorvan {

void DesktopApiObject::Attach(uint status) { transport_.HandleAttach(message().service(), status); }

bool DesktopApiObject::CopyData(const QByteArray& data) {
    return transport_.HandleCopyData(message().service(), data);
}

DBusSkypeTransport::DBusSkypeTransport(QDBusConnection connection)
    : connection_(std::move(connection)), object_(*this) {}

DBusSkypeTransport::~DBusSkypeTransport() { Close(); }

bool DBusSkypeTransport::Open(SkypeTransportListener& listener) {
    if (open_) return true;
    if (!connection_.isConnected()) return false;
    if (!connection_.registerObject(QString::fromLatin1(kPath), &object_, QDBusConnection::ExportAllSlots)) {
        return false;
    }
    connection_.connect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                        QStringLiteral("ApiAvailable"), this, SLOT(OnApiAvailable(QDBusMessage)));
    listener_ = &listener;
    open_ = true;
    return true;
}

void DBusSkypeTransport::Close() {
    if (!open_) return;
    open_ = false;
    connection_.disconnect(QString(), QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                           QStringLiteral("ApiAvailable"), this, SLOT(OnApiAvailable(QDBusMessage)));
    connection_.unregisterObject(QString::fromLatin1(kPath));
    listener_ = nullptr;
}

void DBusSkypeTransport::BroadcastDiscover() {
    if (!open_) return;
    connection_.send(QDBusMessage::createSignal(QString::fromLatin1(kPath), QString::fromLatin1(kInterface),
                                                QStringLiteral("Discover")));
}

bool DBusSkypeTransport::CopyData(const std::string& peer, std::string_view bytes) {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromStdString(peer), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("CopyData"));
    call << QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QDBusMessage reply = connection_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().constFirst().toBool();
}

bool DBusSkypeTransport::IsSkypeOwner(const QString& sender) const {
    const QDBusReply<QString> owner = connection_.interface()->serviceOwner(QString::fromLatin1(kService));
    return owner.isValid() && owner.value() == sender;
}

// Only the current owner of com.Skype.API may attach the dialer.
void DBusSkypeTransport::HandleAttach(const QString& sender, uint status) {
    if (listener_ == nullptr || !IsSkypeOwner(sender)) return;
    listener_->OnAttachResponse(sender.toStdString(), status);
}

bool DBusSkypeTransport::HandleCopyData(const QString& sender, const QByteArray& data) {
    if (listener_ == nullptr) return false;
    return listener_->OnCopyData(sender.toStdString(), std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
}

void DBusSkypeTransport::OnApiAvailable(const QDBusMessage& message) {
    if (listener_ == nullptr || !IsSkypeOwner(message.service())) return;
    listener_->OnAttachResponse(message.service().toStdString(), 0x8001);
}

}  // namespace zorvan
