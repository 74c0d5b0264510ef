#pragma once

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
#include <random>

#include "scenario.h"

class QDBusMessage;
class QTcpSocket;
class QTimer;

namespace skypesim {

class SkypeSim;

// The object the stand-in exports at /com/Skype/DesktopAPI: the dialers call
// CopyData on it with their commands.
class ApiObject final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.Skype.DesktopAPI")
public:
    explicit ApiObject(SkypeSim& sim) : sim_(sim) {}
public slots:
    bool CopyData(const QByteArray& data);

private:
    SkypeSim& sim_;
};

// The Skype client as the Desktop API documents it and as it was seen to
// behave, played from a scenario. The protocol side lives in skype_sim.cpp,
// the calls in sim_calls.cpp, the call audio in sim_audio.cpp.
class SkypeSim final : public QObject {
    Q_OBJECT
public:
    SkypeSim(Scenario scenario, const QString& logPath, const QString& heardFolder = QStringLiteral("."),
             bool logAudio = false);
    ~SkypeSim() override;
    // Takes com.Skype.API on the session bus and announces the API.
    bool Start(QString& error);

    bool OnCommand(const QString& sender, const QByteArray& data);

private slots:
    void OnDiscover(const QDBusMessage& message);

private:
    struct Call {
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
        struct Stream {
            QTcpSocket* socket = nullptr;
            QElapsedTimer clock;
            qint64 framesSent = 0;
            std::size_t position = 0;  // samples of the source sent
            QByteArray unsent;         // random splitting: bytes not written yet
        };
        Stream output;
        Stream mic;
        QTcpSocket* input = nullptr;
        std::vector<std::int16_t> voice;
        std::vector<std::int16_t> micSource;
        QByteArray heard;
        QTimer* pump = nullptr;
        const Callee* callee = nullptr;
        bool outputDropped = false;

        bool Ended() const;
    };

    // Protocol.
    void Log(const char* direction, const QString& text);
    void SendTo(const QString& peer, const QString& text);
    void SendNext(const QString& peer);
    void SendAttach(const QString& peer, uint status);
    void Broadcast(const QString& text);
    void Detach(const QString& peer, const QString& why);
    void RunTimeline();
    void Logout();
    void Login();

    // Calls.
    QString NewCallId();
    Call& AddCall(const QString& peer, const QString& number);
    Call* FindCall(const QString& id, const QString& peer);
    void SendCall(const Call& call, const QString& text);
    void Later(Call& call, double seconds, std::function<void()> action);
    void SetStatus(Call& call, const QString& status);
    void EndCall(Call& call, const QString& status);
    void Answer(Call& call);
    void PlaceCall(const QString& peer, const QString& number);
    void Incoming(const IncomingCall& incoming);
    void HandleAlter(const QString& peer, const QString& text, const QStringList& words);
    void HandleGetCall(const QString& peer, const QStringList& words);
    void Route(Call& call, const QString& action, const QString& text);

    // Call audio.
    void StartStream(Call& call, Call::Stream& stream, quint16 port, bool isOutput);
    void PumpAudio(Call& call);
    void SendDue(const Call& call, Call::Stream& stream, const std::vector<std::int16_t>& source, const char* name);
    void Write(const Call& call, Call::Stream& stream, const QByteArray& bytes, const char* name);
    void ConnectInput(Call& call, quint16 port);
    void CloseInput(Call& call);
    void CloseAudio(Call& call);
    void SaveHeard(const Call& call);

    Scenario scenario_;
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
    bool loggedInAgain_ = false;  // a timed login has announced the API
    QString heardFolder_;
};

}  // namespace skypesim
