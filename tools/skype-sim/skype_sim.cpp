#include "skype_sim.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <cmath>

#include "common/wav.h"

namespace skypesim {

namespace {

const QString kService = QStringLiteral("com.Skype.API");
const QString kPath = QStringLiteral("/com/Skype/DesktopAPI");
const QString kInterface = QStringLiteral("com.Skype.DesktopAPI");

QString RejectText(int code) {
    switch (code) {
        case 91: return QStringLiteral("CALL: Cannot call an emergency number");
        case 92: return QStringLiteral("CALL: Number is not valid");
        case 93: return QStringLiteral("CALL: Invalid Skype name");
        case 94: return QStringLiteral("CALL: Cannot call yourself");
        default: return QStringLiteral("CALL: Action failed");
    }
}

}  // namespace

bool ApiObject::CopyData(const QByteArray& data) { return sim_.OnCommand(message().service(), data); }

SkypeSim::SkypeSim(Scenario scenario, const QString& logPath, const QString& heardFolder)
    : scenario_(std::move(scenario)), bus_(QDBusConnection::sessionBus()), api_(*this), log_(logPath),
      heardFolder_(heardFolder) {
    clock_.start();
    if (!logPath.isEmpty()) log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
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

// Texts to one dialer go one at a time: the next leaves when the dialer has
// answered the previous one, so they arrive in the order they were made.
void SkypeSim::SendTo(const QString& peer, const QString& text) {
    outbox_[peer].append(text);
    if (!sending_.contains(peer)) SendNext(peer);
}

void SkypeSim::SendNext(const QString& peer) {
    QStringList& queue = outbox_[peer];
    if (queue.isEmpty()) {
        sending_.remove(peer);
        return;
    }
    sending_.insert(peer);
    const QString text = queue.takeFirst();
    Log("->", text);
    QDBusMessage call = QDBusMessage::createMethodCall(peer, kPath, kInterface, QStringLiteral("CopyData"));
    call << (text.toUtf8() + '\0');
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 10000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, peer, watcher] {
        watcher->deleteLater();
        if (watcher->isError()) {
            // The dialer is gone: forget it.
            attached_.remove(peer);
            outbox_.remove(peer);
            sending_.remove(peer);
            return;
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
    if (words.isEmpty()) {
        SendTo(sender, QStringLiteral("ERROR 2 Unknown command"));
    } else if (upper == QLatin1String("PING")) {
        SendTo(sender, QStringLiteral("PONG"));
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
    } else if (words[0].toUpper() == QLatin1String("CALL") && words.size() == 2) {
        PlaceCall(sender, words[1]);
    } else if (words[0].toUpper() == QLatin1String("ALTER") && words.size() >= 4 &&
               words[1].toUpper() == QLatin1String("CALL")) {
        HandleAlter(sender, text, words);
    } else if (words[0].toUpper() == QLatin1String("GET") && words.size() >= 4 &&
               words[1].toUpper() == QLatin1String("CALL")) {
        HandleGetCall(sender, words);
    } else if (words[0].toUpper() == QLatin1String("GET") && words.size() == 4 &&
               words[1].toUpper() == QLatin1String("USER")) {
        SendTo(sender, QStringLiteral("USER %1 %2 ").arg(words[2], words[3].toUpper()));
    } else {
        SendTo(sender, QStringLiteral("ERROR 2 Unknown command"));
    }
    return true;
}

void SkypeSim::Later(Call& call, double seconds, std::function<void()> action) {
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    call.pending.push_back(timer);
    connect(timer, &QTimer::timeout, this, [action = std::move(action)] { action(); });
    timer->start(static_cast<int>(seconds * 1000));
}

void SkypeSim::SetStatus(Call& call, const QString& status) {
    call.status = status;
    SendTo(call.peer, QStringLiteral("CALL %1 STATUS %2").arg(call.id, status));
}

void SkypeSim::EndCall(Call& call, const QString& status) {
    for (QTimer* t : call.pending) t->stop();
    if (call.durationTimer != nullptr) call.durationTimer->stop();
    // The status goes first; the audio connections close a moment later,
    // as the client does when a call ends.
    SetStatus(call, status);
    QTimer::singleShot(100, this, [this, &call] { CloseAudio(call); });
}

// Every 10 ms, each stream sends the chunks that are due since it started,
// so a late timer catches up instead of slowing the stream down.
void SkypeSim::SendDue(Call::Stream& stream, const std::vector<std::int16_t>& source) {
    if (stream.socket == nullptr || stream.socket->state() != QAbstractSocket::ConnectedState) return;
    const qint64 due = stream.clock.elapsed() / 10;
    QByteArray bytes;
    for (; stream.chunksSent < due; ++stream.chunksSent) {
        for (int i = 0; i < 160; ++i) {
            const std::int16_t sample = stream.position < source.size() ? source[stream.position] : 0;
            if (stream.position < source.size()) ++stream.position;
            bytes.append(static_cast<char>(sample & 0xFF));
            bytes.append(static_cast<char>((sample >> 8) & 0xFF));
        }
    }
    if (!bytes.isEmpty()) stream.socket->write(bytes);
}

void SkypeSim::PumpAudio(Call& call) {
    SendDue(call.output, call.voice);
    SendDue(call.mic, call.micSource);
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
    stream.socket->connectToHost(QStringLiteral("127.0.0.1"), port);
    QTcpSocket* socket = stream.socket;
    connect(socket, &QTcpSocket::connected, this, [this, &call, &stream, socket, isOutput] {
        if (stream.socket != socket) return;
        stream.clock.start();
        stream.chunksSent = 0;
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

void SkypeSim::PlaceCall(const QString& peer, const QString& number) {
    const Callee& callee = scenario_.CalleeFor(number.toStdString());
    if (callee.outcome == Callee::Outcome::Reject) {
        SendTo(peer, QStringLiteral("ERROR %1 %2").arg(callee.code).arg(RejectText(callee.code)));
        return;
    }
    const int id = nextCallId_++;
    auto owned = std::make_unique<Call>();
    Call& call = *owned;
    calls_[id] = std::move(owned);
    call.id = QString::number(id);
    call.peer = peer;
    call.number = number;
    call.callee = &callee;
    std::string error;
    if (!callee.voice.empty() && !zorvan::tools::LoadWavAs16kMono(callee.voice, call.voice, error)) Log("--", QString::fromStdString(error));
    if (!callee.mic.empty() && !zorvan::tools::LoadWavAs16kMono(callee.mic, call.micSource, error)) Log("--", QString::fromStdString(error));
    if (callee.micTone > 0) {
        call.micSource.resize(16000 * 60);
        for (std::size_t i = 0; i < call.micSource.size(); ++i) {
            call.micSource[i] = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * callee.micTone * static_cast<double>(i) / 16000));
        }
    }
    SetStatus(call, QStringLiteral("UNPLACED"));
    Later(call, 0.1, [this, &call] { SetStatus(call, QStringLiteral("ROUTING")); });
    Later(call, 0.2, [this, &call, early = callee.earlyMedia] {
        SetStatus(call, early ? QStringLiteral("EARLYMEDIA") : QStringLiteral("RINGING"));
    });
    const double outcomeAt = 0.2 + callee.ringSeconds;
    switch (callee.outcome) {
        case Callee::Outcome::Answer:
            Later(call, outcomeAt, [this, &call, hangup = callee.hangupAfter] {
                call.answered = true;
                SetStatus(call, QStringLiteral("INPROGRESS"));
                call.durationTimer = new QTimer(this);
                connect(call.durationTimer, &QTimer::timeout, this, [this, &call] {
                    SendTo(call.peer, QStringLiteral("CALL %1 DURATION %2").arg(call.id).arg(++call.duration));
                });
                call.durationTimer->start(1000);
                if (hangup) Later(call, *hangup, [this, &call] { EndCall(call, QStringLiteral("FINISHED")); });
            });
            break;
        case Callee::Outcome::Busy:
            Later(call, outcomeAt, [this, &call] { EndCall(call, QStringLiteral("BUSY")); });
            break;
        case Callee::Outcome::Refuse:
            Later(call, outcomeAt, [this, &call] { EndCall(call, QStringLiteral("REFUSED")); });
            break;
        case Callee::Outcome::Missed:
            Later(call, outcomeAt, [this, &call] { EndCall(call, QStringLiteral("MISSED")); });
            break;
        case Callee::Outcome::Fail:
            Later(call, outcomeAt, [this, &call, code = callee.code] {
                SendTo(call.peer, QStringLiteral("CALL %1 FAILUREREASON %2").arg(call.id).arg(code));
                EndCall(call, QStringLiteral("FAILED"));
            });
            break;
        case Callee::Outcome::PstnFailure:
            Later(call, outcomeAt, [this, &call, text = QString::fromStdString(callee.text)] {
                SendTo(call.peer, QStringLiteral("CALL %1 PSTN_STATUS %2").arg(call.id, text));
                EndCall(call, QStringLiteral("FAILED"));
            });
            break;
        case Callee::Outcome::NoAnswer:
        case Callee::Outcome::Reject:
            break;
    }
}

void SkypeSim::HandleAlter(const QString& peer, const QString& text, const QStringList& words) {
    const auto it = calls_.find(words[2].toInt());
    if (it == calls_.end() || it->second->peer != peer) {
        SendTo(peer, QStringLiteral("ERROR 71 ALTER: Invalid call id"));
        return;
    }
    Call& call = *it->second;
    const QString action = words[3].toUpper();
    SendTo(peer, text);  // the client echoes every ALTER command
    const bool ended = call.status == QLatin1String("FINISHED") || call.status == QLatin1String("CANCELLED") ||
                       call.status == QLatin1String("BUSY") || call.status == QLatin1String("REFUSED") ||
                       call.status == QLatin1String("MISSED") || call.status == QLatin1String("FAILED");
    if (action == QLatin1String("HANGUP")) {
        if (!ended) EndCall(call, call.answered ? QStringLiteral("FINISHED") : QStringLiteral("CANCELLED"));
    } else if (action == QLatin1String("HOLD")) {
        if (call.answered && !ended) SetStatus(call, QStringLiteral("LOCALHOLD"));
    } else if (action == QLatin1String("RESUME")) {
        if (call.answered && !ended) SetStatus(call, QStringLiteral("INPROGRESS"));
    } else if (action == QLatin1String("SET_OUTPUT") || action == QLatin1String("SET_CAPTURE_MIC") ||
               action == QLatin1String("SET_INPUT")) {
        if (ended) return;
        // The values may be separated by ", " or by blanks.
        static const QRegularExpression portPattern(QStringLiteral("PORT=\"(\\d+)\""),
                                                    QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = portPattern.match(text);
        const quint16 port = match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
        if (action == QLatin1String("SET_OUTPUT")) {
            if (port != 0) StartStream(call, call.output, port, true);
        } else if (action == QLatin1String("SET_CAPTURE_MIC")) {
            if (port != 0) StartStream(call, call.mic, port, false);
        } else if (port != 0) {
            ConnectInput(call, port);
        } else {
            CloseInput(call);  // back to the sound card
        }
    }
}

void SkypeSim::HandleGetCall(const QString& peer, const QStringList& words) {
    const auto it = calls_.find(words[2].toInt());
    if (it == calls_.end() || it->second->peer != peer) {
        SendTo(peer, QStringLiteral("ERROR 11 Invalid call id"));
        return;
    }
    const Call& call = *it->second;
    const QString property = words[3].toUpper();
    QString value;
    if (property == QLatin1String("PARTNER_HANDLE") || property == QLatin1String("TARGET_IDENTITY")) {
        value = call.number;
    } else if (property == QLatin1String("TYPE")) {
        value = QStringLiteral("OUTGOING_PSTN");
    } else if (property == QLatin1String("STATUS")) {
        value = call.status;
    } else if (property == QLatin1String("CONF_PARTICIPANTS_COUNT")) {
        value = QStringLiteral("1");
    } else if (property == QLatin1String("VIDEO_SEND_STATUS") || property == QLatin1String("VIDEO_RECEIVE_STATUS")) {
        value = QStringLiteral("NOT_AVAILABLE");
    } else if (property == QLatin1String("DURATION")) {
        value = QString::number(call.duration);
    } else {
        SendTo(peer, QStringLiteral("ERROR 7 GET: invalid WHAT"));
        return;
    }
    SendTo(peer, QStringLiteral("CALL %1 %2 %3").arg(call.id, property, value));
}

void SkypeSim::RunTimeline() {
    for (const TimedAction& action : scenario_.timeline) {
        QTimer::singleShot(static_cast<int>(action.at * 1000), this, [this, action] {
            switch (action.kind) {
                case TimedAction::Kind::UserStatus:
                    userStatus_ = QString::fromStdString(action.value).toUpper();
                    Broadcast(QStringLiteral("USERSTATUS ") + userStatus_);
                    break;
                case TimedAction::Kind::Logout:
                    connStatus_ = userStatus_ = QStringLiteral("LOGGEDOUT");
                    Broadcast(QStringLiteral("CONNSTATUS LOGGEDOUT"));
                    Broadcast(QStringLiteral("USERSTATUS LOGGEDOUT"));
                    break;
                case TimedAction::Kind::Login:
                    connStatus_ = userStatus_ = QStringLiteral("ONLINE");
                    Broadcast(QStringLiteral("CONNSTATUS ONLINE"));
                    Broadcast(QStringLiteral("USERSTATUS ONLINE"));
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
