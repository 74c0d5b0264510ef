// The stand-in's call audio: the callee's voice and the microphone streamed
// to the dialer's ports in real time, and what the dialer plays kept as what
// the callee heard.
#include <QTcpSocket>

#include "common/wav.h"
#include "skype_sim.h"

namespace skypesim {

// Every frame that is due since the stream started goes out; a late timer
// tick sends the ones it missed, each in a write of its own.
void SkypeSim::SendDue(const Call& call, Stream& stream, const std::vector<std::int16_t>& source, const char* name) {
    if (!StreamOpen(stream)) return;
    const int frameBytes = behaviour().frameBytes;
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
    SendDue(call, call.output, Sim(call).voice, "output");
    SendDue(call, call.mic, Sim(call).micSource, "mic");
}

void SkypeSim::OnStreamConnected(Call& call, bool isOutput, QTcpSocket* socket) {
    SimCall& sim = Sim(call);
    if (!isOutput || sim.callee == nullptr || !sim.callee->dropOutputAt || sim.outputDropped) return;
    sim.outputDropped = true;  // once per call
    Later(call, *sim.callee->dropOutputAt, [this, &call, socket] {
        if (call.output.socket != socket) return;
        Log("--", QStringLiteral("call %1 output dropped").arg(call.id));
        socket->abort();
    });
}

void SkypeSim::OnHeard(Call& call, const QByteArray& bytes) { Sim(call).heard += bytes; }

void SkypeSim::OnInputClosed(Call& call) {
    const QByteArray& heard = Sim(call).heard;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(heard.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<unsigned char>(heard[static_cast<qsizetype>(2 * i)]);
        const auto hi = static_cast<unsigned char>(heard[static_cast<qsizetype>(2 * i + 1)]);
        samples[i] = static_cast<std::int16_t>(lo | (hi << 8));
    }
    zorvan::tools::SaveWav16kMono(QStringLiteral("%1/heard-%2.wav").arg(heardFolder_, call.id).toStdString(), samples);
}

}  // namespace skypesim
