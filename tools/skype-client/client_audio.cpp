// The client's call audio connections: it connects to the dialer's ports as
// their TCP client, writes the callee's voice and the microphone there, and
// reads what the dialer sends to the callee.
#include <QTcpSocket>
#include <QTimer>

#include "client_side.h"

namespace skypeclient {

// One write a frame, each on its way at once; with random splitting the
// frames are cut and joined at random places instead, as a socket may.
void ClientSide::Write(const Call& call, Stream& stream, const QByteArray& bytes, const char* name) {
    const auto put = [&](const QByteArray& piece) {
        stream.socket->write(piece);
        stream.socket->flush();
        if (logAudio_) Log("--", QStringLiteral("call %1 %2 write %3").arg(call.id, name).arg(piece.size()));
    };
    if (behaviour_.writeSplit == Behaviour::Split::None) {
        put(bytes);
        return;
    }
    stream.unsent += bytes;
    const int frame = behaviour_.frameBytes;
    for (;;) {
        const int size = 1 + static_cast<int>(random_() % static_cast<unsigned>(2 * frame));
        if (stream.unsent.size() < size) break;  // the rest joins the next frame
        put(stream.unsent.left(size));
        stream.unsent.remove(0, size);
    }
}

bool ClientSide::StreamOpen(const Stream& stream) const {
    return stream.socket != nullptr && stream.socket->state() == QAbstractSocket::ConnectedState;
}

void ClientSide::OnStreamConnected(Call&, bool, QTcpSocket*) {}

void ClientSide::StartStream(Call& call, Stream& stream, quint16 port, bool isOutput) {
    // Routed to the port it already streams to: nothing changes.
    if (stream.socket != nullptr && stream.socket->peerPort() == port &&
        stream.socket->state() != QAbstractSocket::UnconnectedState) {
        return;
    }
    if (stream.socket != nullptr) {
        stream.socket->abort();
        stream.socket->deleteLater();
    }
    stream.socket = new QTcpSocket(this);
    stream.socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    stream.socket->connectToHost(QStringLiteral("127.0.0.1"), port);
    QTcpSocket* socket = stream.socket;
    connect(socket, &QTcpSocket::connected, this, [this, &call, &stream, socket, isOutput] {
        if (stream.socket != socket) return;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        stream.clock.start();
        stream.framesSent = 0;
        stream.unsent.clear();
        Log("--", QStringLiteral("call %1 %2 connected").arg(call.id, isOutput ? "output" : "mic"));
        OnStreamConnected(call, isOutput, socket);
    });
    if (call.pump == nullptr) {
        call.pump = new QTimer(this);
        call.pump->setTimerType(Qt::PreciseTimer);
        connect(call.pump, &QTimer::timeout, this, [this, &call] { PumpAudio(call); });
        call.pump->start(10);
    }
}

void ClientSide::ConnectInput(Call& call, quint16 port) {
    CloseInput(call);
    call.input = new QTcpSocket(this);
    QTcpSocket* socket = call.input;
    connect(socket, &QTcpSocket::readyRead, this, [this, &call, socket] { OnHeard(call, socket->readAll()); });
    connect(socket, &QTcpSocket::disconnected, this, [this, &call] { OnInputClosed(call); });
    socket->connectToHost(QStringLiteral("127.0.0.1"), port);
}

void ClientSide::CloseInput(Call& call) {
    if (call.input == nullptr) return;
    const QByteArray rest = call.input->readAll();
    if (!rest.isEmpty()) OnHeard(call, rest);
    call.input->disconnect(this);
    call.input->abort();
    call.input->deleteLater();
    call.input = nullptr;
    OnInputClosed(call);
}

void ClientSide::CloseAudio(Call& call) {
    if (call.pump != nullptr) call.pump->stop();
    for (Stream* stream : {&call.output, &call.mic}) {
        if (stream->socket == nullptr) continue;
        if (!stream->unsent.isEmpty()) stream->socket->write(stream->unsent);
        stream->unsent.clear();
        stream->socket->flush();
        stream->socket->disconnectFromHost();
        stream->socket = nullptr;
    }
    CloseInput(call);
    OnAudioClosed(call);
}

}  // namespace skypeclient
