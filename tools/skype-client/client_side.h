#pragma once

// The Skype client's side of the Desktop API on the session bus, shared by
// the programs that play the client: the stand-in (calls played from a
// scenario) and the SIP gateway (real calls). This part owns the bus name,
// attaches dialers, sends them texts one at a time, answers the GET
// queries, keeps the calls with their statuses and durations, refuses what
// the client refused, and carries the call audio to and from the dialer's
// ports. What a call does (rings, is answered, what the callee says) is the
// subclass's.

#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "behaviour.h"

class QDBusMessage;
class QTcpSocket;
class QTimer;

namespace skypeclient {

class ClientSide;

// The object exported at /com/Skype/DesktopAPI: the dialers call CopyData
// on it with their commands.
class ApiObject final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.Skype.DesktopAPI")
public:
    explicit ApiObject(ClientSide& client) : client_(client) {}
public slots:
    bool CopyData(const QByteArray& data);

private:
    ClientSide& client_;
};

// The ERROR text the client gave with each CALL refusal.
QString RejectText(int code);

class ClientSide : public QObject {
    Q_OBJECT
public:
    ClientSide(Behaviour behaviour, const QString& logPath, bool logAudio);
    ~ClientSide() override;
    // Takes com.Skype.API on the session bus and announces the API.
    bool Start(QString& error);

    bool OnCommand(const QString& sender, const QByteArray& data);

protected:
    struct Stream {
        QTcpSocket* socket = nullptr;
        QElapsedTimer clock;
        qint64 framesSent = 0;
        std::size_t position = 0;  // samples of the source sent
        QByteArray unsent;         // random splitting: bytes not written yet
    };
    struct Call {
        virtual ~Call() = default;
        QString id;
        QString peer;    // the dialer that placed it; empty for an incoming call (every dialer sees it)
        QString number;  // as dialled, or the caller's handle
        QString status;
        bool incoming = false;
        bool pstn = true;
        bool answered = false;
        bool hangingUp = false;
        int duration = 0;
        QTimer* durationTimer = nullptr;
        std::vector<QTimer*> pending;
        // Audio: the callee's voice to the dialer's output port, the local
        // microphone to its input port, and what the dialer sends back.
        Stream output;
        Stream mic;
        QTcpSocket* input = nullptr;
        QTimer* pump = nullptr;

        bool Ended() const;
    };

    // What the subclass decides.
    // A dialer asks to attach; the default grants it at once.
    virtual void OnDiscover(const QString& peer) { SendAttach(peer, 0); }
    // CALL: the subclass refuses it or adds the call and plays it out.
    virtual void PlaceCall(const QString& peer, const QString& number) = 0;
    // A hang-up the client accepted (echoed): the call must end with `status`.
    virtual void Hangup(Call& call, const QString& status) { EndCall(call, status); }
    // Hold (true) or resume (false), accepted, echoed and in the status.
    virtual void OnHold(Call&, bool /*held*/) {}
    // A DTMF key, accepted and echoed; the default notes it in the log.
    virtual void OnDtmf(Call& call, char key);
    // The callee's voice and the microphone, every 10 ms while a stream is on.
    virtual void PumpAudio(Call& call) = 0;
    // What the dialer sends to be heard by the callee, and the end of it.
    virtual void OnHeard(Call& call, const QByteArray& bytes) = 0;
    virtual void OnInputClosed(Call& call) = 0;
    virtual void OnStreamConnected(Call& call, bool isOutput, QTcpSocket* socket);
    // The call has ended and its audio connections are closed.
    virtual void OnAudioClosed(Call&) {}
    // An answered call has started: INPROGRESS and its duration.
    virtual void OnAnswered(Call&) {}
    virtual std::unique_ptr<Call> NewCall() { return std::make_unique<Call>(); }

    // Protocol.
    void Log(const char* direction, const QString& text);
    void SendTo(const QString& peer, const QString& text);
    void SendAttach(const QString& peer, uint status);
    void Broadcast(const QString& text);
    void Logout();
    void Login();
    bool IsAttached(const QString& peer) const { return attached_.contains(peer); }
    QString UserStatus() const { return userStatus_; }
    void SetUserStatus(const QString& status);
    void SetConnStatus(const QString& status);

    // Calls.
    Call& AddCall(const QString& peer, const QString& number);
    Call* CallById(const QString& id);
    bool SettingUpCall(const QString& peer) const;  // an outgoing call still routing or ringing
    void SendCall(const Call& call, const QString& text);
    void Later(Call& call, double seconds, std::function<void()> action);
    void StopPending(Call& call);
    void SetStatus(Call& call, const QString& status);
    void EndCall(Call& call, const QString& status);
    void Answer(Call& call);

    // Call audio.
    void Write(const Call& call, Stream& stream, const QByteArray& bytes, const char* name);
    bool StreamOpen(const Stream& stream) const;

    const Behaviour& behaviour() const { return behaviour_; }
    std::mt19937& random() { return random_; }

private slots:
    void OnDiscoverSignal(const QDBusMessage& message);

private:
    void SendNext(const QString& peer);
    void Detach(const QString& peer, const QString& why);
    QString NewCallId();
    Call* FindCall(const QString& id, const QString& peer);
    void HandleAlter(const QString& peer, const QString& text, const QStringList& words);
    void HandleGetCall(const QString& peer, const QStringList& words);
    void Route(Call& call, const QString& action, const QString& text);
    void StartStream(Call& call, Stream& stream, quint16 port, bool isOutput);
    void ConnectInput(Call& call, quint16 port);
    void CloseInput(Call& call);
    void CloseAudio(Call& call);

    Behaviour behaviour_;
    QDBusConnection bus_;
    ApiObject api_;
    QFile log_;
    QElapsedTimer clock_;
    bool logAudio_ = false;
    QSet<QString> attached_;
    QSet<QString> leaving_;               // detached once what is queued for them has gone
    QHash<QString, QStringList> outbox_;  // per peer, sent one at a time in order
    QSet<QString> sending_;
    std::map<int, std::unique_ptr<Call>> calls_;
    int nextCallId_ = 1001;
    std::mt19937 random_{20261209};
    QString userStatus_ = QStringLiteral("ONLINE");
    QString connStatus_ = QStringLiteral("ONLINE");
    bool loggedOut_ = false;
};

}  // namespace skypeclient
