// The stand-in's call audio: the callee's voice and the microphone streamed
// to the dialer's ports in real time, and what the dialer plays kept as what
// the callee heard.
#include <QTcpSocket>
#include <QTimer>

#include "common/wav.h"
#include "skype_sim.h"

namespace skypesim {

// One write a frame, each on its way at once; with random splitting the
// frames are cut and joined at random places instead, as a socket may.
void SkypeSim::Write(const Call& call, Call::Stream& stream, const QByteArray& bytes, const char* name) {
    const auto put = [&](const QByteArray& piece) {
        stream.socket->write(piece);
        stream.socket->flush();
        if (logAudio_) Log("--", QStringLiteral("call %1 %2 write %3").arg(call.id, name).arg(piece.size()));
    };
    if (scenario_.writeSplit == Scenario::Split::None) {
        put(bytes);
        return;
    }
    stream.unsent += bytes;
    const int frame = scenario_.frameBytes;
    for (;;) {
        const int size = 1 + static_cast<int>(random_() % static_cast<unsigned>(2 * frame));
        if (stream.unsent.size() < size) break;  // the rest joins the next frame
        put(stream.unsent.left(size));
        stream.unsent.remove(0, size);
    }
}

// Every frame that is due since the stream started goes out; a late timer
// tick sends the ones it missed, each in a write of its own.
void SkypeSim::SendDue(const Call& call, Call::Stream& stream, const std::vector<std::int16_t>& source,
                       const char* name) {
    if (stream.socket == nullptr || stream.socket->state() != QAbstractSocket::ConnectedState) return;
    const int frameBytes = scenario_.frameBytes;
    const qint64 frameMs = frameBytes / 32;  // 16 000 two-byte samples a second
    const qint64 due = stream.clock.elapsed() / frameMs;
    for (; stream.framesSent < due; ++stream.framesSent) {
        QByteArray frame;
        frame.reserve(frameBytes);
        for (int i = 0; i < frameBytes / 2; ++i) {
            const std::int16_t sample = stream.position < source.size() ? source[stream.position] : 0;
            if (stream.position < source.size()) ++stream.position;
            frame.append(static_cast<char>(sample & 0xFF));
            frame.append(static_cast<char>((sample >> 8) & 0xFF));
        }
        Write(call, stream, frame, name);
    }
}

void SkypeSim::PumpAudio(Call& call) {
    SendDue(call, call.output, call.voice, "output");
    SendDue(call, call.mic, call.micSource, "mic");
}

void SkypeSim::StartStream(Call& call, Call::Stream& stream, quint16 port, bool isOutput) {
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
        if (isOutput && call.callee != nullptr && call.callee->dropOutputAt && !call.outputDropped) {
            call.outputDropped = true;  // once per call
            Later(call, *call.callee->dropOutputAt, [this, &call, socket] {
                if (call.output.socket != socket) return;
                Log("--", QStringLiteral("call %1 output dropped").arg(call.id));
                socket->abort();
            });
        }
    });
    if (call.pump == nullptr) {
        call.pump = new QTimer(this);
        call.pump->setTimerType(Qt::PreciseTimer);
        connect(call.pump, &QTimer::timeout, this, [this, &call] { PumpAudio(call); });
        call.pump->start(10);
    }
}

void SkypeSim::ConnectInput(Call& call, quint16 port) {
    CloseInput(call);
    call.input = new QTcpSocket(this);
    QTcpSocket* socket = call.input;
    connect(socket, &QTcpSocket::readyRead, this, [&call, socket] { call.heard += socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, this, [this, &call] { SaveHeard(call); });
    socket->connectToHost(QStringLiteral("127.0.0.1"), port);
}

void SkypeSim::CloseInput(Call& call) {
    if (call.input == nullptr) return;
    call.heard += call.input->readAll();
    call.input->disconnect(this);
    call.input->abort();
    call.input->deleteLater();
    call.input = nullptr;
    SaveHeard(call);
}

void SkypeSim::CloseAudio(Call& call) {
    if (call.pump != nullptr) call.pump->stop();
    for (Call::Stream* stream : {&call.output, &call.mic}) {
        if (stream->socket == nullptr) continue;
        if (!stream->unsent.isEmpty()) stream->socket->write(stream->unsent);
        stream->unsent.clear();
        stream->socket->flush();
        stream->socket->disconnectFromHost();
        stream->socket = nullptr;
    }
    CloseInput(call);
}

void SkypeSim::SaveHeard(const Call& call) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(call.heard.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<unsigned char>(call.heard[static_cast<qsizetype>(2 * i)]);
        const auto hi = static_cast<unsigned char>(call.heard[static_cast<qsizetype>(2 * i + 1)]);
        samples[i] = static_cast<std::int16_t>(lo | (hi << 8));
    }
    zorvan::tools::SaveWav16kMono(QStringLiteral("%1/heard-%2.wav").arg(heardFolder_, call.id).toStdString(), samples);
}

}  // namespace skypesim
