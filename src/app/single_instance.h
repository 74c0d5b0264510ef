#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace zorvan {

// One running dialer per user and session. The first instance holds a lock
// file and listens on a local socket beside it, both named after
// "ZORVANDIALER" and the user id, in the session's runtime folder. A second
// start finds the lock taken, asks the first instance over the socket to
// show and raise its window, and exits. The kernel drops the lock when a
// process dies, so a crashed instance never blocks the next start.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role { First, Second, Unanswered };
    // Becomes the first instance, or hands `request` (lines of text, the
    // first "activate") to the running one; Unanswered when it did not
    // take it.
    Role claim(const QByteArray& request = QByteArrayLiteral("activate\n"));

    // The folder that holds the lock and the socket.
    static QString RuntimeFolder();
    static QString BaseName();

signals:
    void activationRequested();
    // What a second start asked for, as it sent it.
    void requestReceived(const QByteArray& request);

private:
    bool activateRunning(const QString& socketPath, const QByteArray& request);

    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

}  // namespace zorvan
