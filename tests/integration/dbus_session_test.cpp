// The session bus the Skype link travels on: a private bus started for the
// test by dbus-run-session. Two connections, as the dialer and the Skype
// client will be, call each other's exported objects.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QElapsedTimer>

namespace {

class Echo final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.zorvan.Test")
public slots:
    QString Echo2(const QString& text) { return text + text; }
};

TEST(SessionBus, TwoConnectionsCallEachOther) {
    QDBusConnection server = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
    ASSERT_TRUE(server.isConnected()) << "no session bus: run the test inside dbus-run-session";
    Echo echo;
    ASSERT_TRUE(server.registerObject(QStringLiteral("/test"), &echo, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.zorvan.TestService")));

    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    ASSERT_TRUE(client.isConnected());
    EXPECT_EQ(client.interface()->serviceOwner(QStringLiteral("org.zorvan.TestService")).value(),
              server.baseService());

    // A plain message, not a QDBusInterface: that would introspect the
    // server synchronously from the thread the server itself runs on.
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.zorvan.TestService"), QStringLiteral("/test"),
                                                       QStringLiteral("org.zorvan.Test"), QStringLiteral("Echo2"));
    call << QStringLiteral("ab");
    QDBusPendingReply<QString> reply = client.asyncCall(call);
    QElapsedTimer clock;
    clock.start();
    while (!reply.isFinished() && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(reply.isValid()) << reply.error().message().toStdString();
    EXPECT_EQ(reply.value(), QStringLiteral("abab"));
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("server"));
}

}  // namespace

#include "dbus_session_test.moc"
