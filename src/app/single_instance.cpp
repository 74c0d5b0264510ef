#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <memory>

namespace zorvan {

namespace {
constexpr char kEnd[] = "end\n";
constexpr int kConnectBudgetMs = 3000;
}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) server_->close();
    if (lockFd_ >= 0) ::close(lockFd_);
}

QString SingleInstance::RuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir()) {
        return QString::fromLocal8Bit(runtime);
    }
    return QDir::tempPath();
}

QString SingleInstance::BaseName() {
    return QStringLiteral("ZORVANDIALER-%1").arg(::getuid());
}

SingleInstance::Role SingleInstance::claim(const QByteArray& request) {
    const QString base = RuntimeFolder() + QLatin1Char('/') + BaseName();
    const QString socketPath = base;
    const QByteArray lockPath = QFile::encodeName(base + QStringLiteral(".lock"));

    lockFd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd_);
        lockFd_ = -1;
        return activateRunning(socketPath, request) ? Role::Second : Role::Unanswered;
    }
    // First instance (or no lock could be made: run unguarded rather than not
    // at all). A socket file left by a crashed instance is stale: replace it.
    server_ = new QLocalServer(this);
    QLocalServer::removeServer(socketPath);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (server_->listen(socketPath)) {
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                // The request may come in pieces: it is whole at its "end" line.
                auto received = std::make_shared<QByteArray>();
                connect(peer, &QLocalSocket::readyRead, this, [this, peer, received] {
                    received->append(peer->readAll());
                    if (!received->endsWith(kEnd) && received->size() < 65536) return;
                    if (received->startsWith("activate")) emit activationRequested();
                    emit requestReceived(*received);
                    peer->disconnectFromServer();
                });
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            }
        });
    }
    return Role::First;
}

// The first instance may still be starting and not listen yet: retry for a
// few seconds before giving up.
bool SingleInstance::activateRunning(const QString& socketPath, const QByteArray& request) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kConnectBudgetMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(request + kEnd);
            const bool written = socket.waitForBytesWritten(1000) || socket.bytesToWrite() == 0;
            socket.disconnectFromServer();
            return written;
        }
        QThread::msleep(50);
    }
    return false;
}

}  // namespace zorvan
