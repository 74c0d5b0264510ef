#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include "platform/skype_transport.h"

class QDBusMessage;

namespace zorvan {

class DBusSkypeTransport;

// The object every participant exports at /com/Skype/DesktopAPI.
class DesktopApiObject final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.Skype.DesktopAPI")
public:
    explicit DesktopApiObject(DBusSkypeTransport& transport) : transport_(transport) {}

public slots:
    void Attach(uint status);
    bool CopyData(const QByteArray& data);

private:
    DBusSkypeTransport& transport_;
};

// The Skype Desktop API over the user's D-Bus session bus: the Skype client
// owns com.Skype.API; the dialer broadcasts Discover, the client calls
// Attach(status) on it, and texts go both ways through CopyData(ay) -> b.
class DBusSkypeTransport final : public QObject, public SkypeTransport {
    Q_OBJECT
public:
    static constexpr char kService[] = "com.Skype.API";
    static constexpr char kPath[] = "/com/Skype/DesktopAPI";
    static constexpr char kInterface[] = "com.Skype.DesktopAPI";
    static constexpr int kCallTimeoutMs = 10000;

    explicit DBusSkypeTransport(QDBusConnection connection = QDBusConnection::sessionBus());
    ~DBusSkypeTransport() override;

    bool Open(SkypeTransportListener& listener) override;
    void Close() override;
    void BroadcastDiscover() override;
    bool CopyData(const std::string& peer, std::string_view bytes) override;

private slots:
    void OnApiAvailable(const QDBusMessage& message);

private:
    friend class DesktopApiObject;
    bool IsSkypeOwner(const QString& sender) const;
    void HandleAttach(const QString& sender, uint status);
    bool HandleCopyData(const QString& sender, const QByteArray& data);

    QDBusConnection connection_;
    DesktopApiObject object_;
    SkypeTransportListener* listener_ = nullptr;
    bool open_ = false;
};

}  // namespace zorvan
