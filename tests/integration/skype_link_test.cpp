// The Skype link against the real stand-in, on a private session bus
// (dbus-run-session). The dialer's event loop runs ten times faster than
// real time, so the keep-alive's 20-second loss takes two real seconds.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/qt/dbus_skype_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/um_events.h"
#include "skype/skype_connector.h"
#include "support/qt_wait.h"
#include "support/stand_in.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using Texts = std::vector<std::string>;
constexpr double kSpeed = 10.0;

using test::SkypeOnBus;
using test::StandIn;
using test::WaitUntil;

// Records what the dialer hands to the bus, with the loop time.
class RecordingTransport final : public SkypeTransport {
public:
    RecordingTransport(SkypeTransport& inner, EventLoop& loop) : inner_(inner), loop_(loop) {}
    bool Open(SkypeTransportListener& l) override { return inner_.Open(l); }
    void Close() override { inner_.Close(); }
    void BroadcastDiscover() override {
        ++discovers_;
        inner_.BroadcastDiscover();
    }
    bool CopyData(const std::string& peer, std::string_view bytes) override {
        {
            std::lock_guard lock(mutex_);
            sent_.emplace_back(std::string(bytes.substr(0, bytes.size() - 1)), loop_.now());
        }
        return inner_.CopyData(peer, bytes);
    }
    std::vector<std::pair<std::string, std::int64_t>> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    int discovers() const { return discovers_; }

private:
    SkypeTransport& inner_;
    EventLoop& loop_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::int64_t>> sent_;
    std::atomic<int> discovers_{0};
};

struct Seen {
    std::uint32_t id;
    std::intptr_t wParam;
    std::intptr_t lParam;
    int state;  // the slot's state when a UM_CALL_UPDATE arrived
    std::int64_t at;
};

// The dialer's side: the connector on the real bus, its events recorded.
struct Dialer final : EventHandler {
    QtEventLoop loop{kSpeed};
    DBusSkypeTransport bus;
    RecordingTransport transport{bus, loop};
    ScopedTarget target{loop, *this};
    SkypeConnector connector{loop, transport};
    std::vector<Seen> seen;

    ~Dialer() override { connector.Shutdown(); }
    void OnEvent(const Event& e) override {
        const auto index = static_cast<std::intptr_t>(e.wParam);
        int state = -1;
        if (e.id == um::UM_CALL_UPDATE && index >= 0) state = connector.callTable().slot(static_cast<int>(index)).state;
        seen.push_back({e.id, index, e.lParam, state, loop.now()});
    }
    bool Saw(std::uint32_t id, std::intptr_t wParam = -2) const {
        return std::any_of(seen.begin(), seen.end(),
                           [&](const Seen& s) { return s.id == id && (wParam == -2 || s.wParam == wParam); });
    }
    std::vector<std::uint32_t> Ids() const {
        std::vector<std::uint32_t> ids;
        for (const Seen& s : seen) ids.push_back(s.id);
        return ids;
    }
    std::vector<int> CallStates() const {
        std::vector<int> states;
        for (const Seen& s : seen) {
            if (s.id == um::UM_CALL_UPDATE && s.lParam == 2 && s.state >= 0) states.push_back(s.state);
        }
        return states;
    }
    bool AttachAndWaitOpen() {
        if (!connector.Attach(target.id())) return false;
        return WaitUntil([this] { return Saw(um::UM_SKYPE_USER_HANDLE); }, 10000);
    }
};

// True when `wanted` appears in `all` in this order (other texts between).
bool InOrder(const Texts& all, const Texts& wanted) {
    auto it = all.begin();
    for (const std::string& w : wanted) {
        it = std::find(it, all.end(), w);
        if (it == all.end()) return false;
        ++it;
    }
    return true;
}

TEST(SkypeLink, AttachesAtOnceAndAsksItsFourInitialQuestions) {
    StandIn skype("attach immediate\nversion 8.99.0.403\nhandle demo.user\n");
    Dialer dialer;
    ASSERT_TRUE(dialer.AttachAndWaitOpen());
    EXPECT_EQ(dialer.Ids(), (std::vector<std::uint32_t>{um::UM_SKYPE_LINK_OPENED, um::UM_SKYPE_ATTACHED,
                                                        um::UM_SKYPE_VERSION, um::UM_SKYPE_USER_STATUS,
                                                        um::UM_SKYPE_USER_STATUS, um::UM_SKYPE_USER_HANDLE}));
    EXPECT_EQ(dialer.seen[3].wParam, 3) << "ONLINE";
    const Texts received = skype.Received();
    ASSERT_GE(received.size(), 4u);
    EXPECT_EQ(Texts(received.begin(), received.begin() + 4),
              (Texts{"GET SKYPEVERSION", "GET CONNSTATUS", "GET USERSTATUS", "GET CURRENTUSERHANDLE"}));
}

TEST(SkypeLink, PendingAuthorisationThenGranted) {
    StandIn skype("attach pending 0.5\n");
    Dialer dialer;
    ASSERT_TRUE(dialer.AttachAndWaitOpen());
    const auto ids = dialer.Ids();
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(ids[0], um::UM_SKYPE_PENDING);
    EXPECT_EQ(ids[1], um::UM_SKYPE_LINK_OPENED);
    EXPECT_EQ(ids[2], um::UM_SKYPE_ATTACHED);
}

TEST(SkypeLink, RefusedAccessIsReported) {
    StandIn skype("attach refused\n");
    Dialer dialer;
    ASSERT_TRUE(dialer.connector.Attach(dialer.target.id()));
    ASSERT_TRUE(WaitUntil([&] { return dialer.Saw(um::UM_SKYPE_REFUSED); }, 10000));
    EXPECT_FALSE(dialer.connector.linkOpen());
}

TEST(SkypeLink, AnsweredCallGoesThroughItsStatesAndTheDialerAsksTheRightQuestions) {
    StandIn skype("number +15551230001 ring 0.3 answer hangup-after 1.2\n");
    Dialer dialer;
    ASSERT_TRUE(dialer.AttachAndWaitOpen());
    dialer.seen.clear();
    ASSERT_TRUE(dialer.connector.CallNumber("+15551230001"));
    ASSERT_TRUE(WaitUntil([&] { return !dialer.CallStates().empty() && dialer.CallStates().back() == 8; }, 15000));
    EXPECT_EQ(dialer.CallStates(), (std::vector<int>{2, 5, 6, 8}));
    EXPECT_TRUE(InOrder(skype.Received(), {"CALL +15551230001", "GET CALL 1001 TYPE", "get call 1001 partner_handle",
                                           "GET CALL 1001 TYPE", "GET CALL 1001 TARGET_IDENTITY",
                                           "GET CALL 1001 PARTNER_HANDLE"}));
    EXPECT_TRUE(InOrder(skype.Received(), {"GET USER +15551230001 FULLNAME"}));
    EXPECT_EQ(dialer.connector.callTable().PartnerOf("1001"), "+15551230001");
}

TEST(SkypeLink, EachUnansweredOutcomeEndsInItsOwnState) {
    StandIn skype(
        "number +1001 ring 0.2 busy\n"
        "number +1002 ring 0.2 refuse\n"
        "number +1003 ring 0.2 fail 34\n"
        "number +1004 ring 0.2 missed\n"
        "number +1005 noanswer\n"
        "number +1006 reject 92\n");
    Dialer dialer;
    ASSERT_TRUE(dialer.AttachAndWaitOpen());
    const auto finalState = [&](const std::string& number, int expected) {
        dialer.connector.ResetCallState();
        dialer.seen.clear();
        dialer.connector.CallNumber(number);
        EXPECT_TRUE(WaitUntil([&] { return !dialer.CallStates().empty() && dialer.CallStates().back() == expected; },
                              15000))
            << number;
    };
    finalState("+1001", 11);
    finalState("+1002", 10);
    finalState("+1003", 4);
    finalState("+1004", 9);

    // Never answered: the dialer hangs up, the client cancels.
    finalState("+1005", 5);
    dialer.connector.callTable().HangUpAll();
    EXPECT_TRUE(WaitUntil([&] { return dialer.CallStates().back() == 12; }, 15000));

    dialer.seen.clear();
    dialer.connector.CallNumber("+1006");
    EXPECT_TRUE(WaitUntil([&] { return dialer.Saw(um::UM_CALL_INVALID_NUMBER); }, 15000));
}

TEST(SkypeLink, LossIsReportedTwentySecondsAfterTheLastPingAndARestartReattaches) {
    auto skype = std::make_unique<StandIn>("attach immediate\n");
    Dialer dialer;
    ASSERT_TRUE(dialer.AttachAndWaitOpen());
    // Let a few keep-alive rounds pass, then kill the client.
    const auto pings = [&] {
        int n = 0;
        for (const auto& [text, at] : dialer.transport.sent()) n += text == "PING";
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return pings() >= 2; }, 10000));
    skype.reset();
    ASSERT_TRUE(WaitUntil([&] { return dialer.Saw(um::UM_SKYPE_USER_STATUS, 2); }, 10000));
    const std::int64_t lostAt =
        std::find_if(dialer.seen.begin(), dialer.seen.end(), [](const Seen& s) {
            return s.id == um::UM_SKYPE_USER_STATUS && s.wParam == 2;
        })->at;
    // The first try of the last PING (its retries follow within 300 ms).
    std::int64_t lastPing = -100000;
    for (const auto& [text, at] : dialer.transport.sent()) {
        if (text == "PING" && at - lastPing > 1000) lastPing = at;
    }
    // The PING leaves at the sender's next poll, up to 300 ms after the tick.
    EXPECT_GE(lostAt - lastPing, 19300);
    EXPECT_LE(lostAt - lastPing, 20800);
    EXPECT_FALSE(dialer.connector.linkOpen());

    dialer.seen.clear();
    StandIn again("attach immediate\n");
    ASSERT_TRUE(WaitUntil([&] { return dialer.Saw(um::UM_SKYPE_USER_HANDLE); }, 10000));
    EXPECT_TRUE(dialer.Saw(um::UM_SKYPE_LINK_OPENED));
    EXPECT_TRUE(dialer.connector.linkOpen());
}

// Another participant on the bus, in this process: its own connection, with
// the Desktop API object, whose CopyData keeps every text it is given.
class BusPeer final : public QDBusVirtualObject {
public:
    explicit BusPeer(const QString& name)
        : name_(name), bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)) {
        EXPECT_TRUE(bus_.isConnected());
        EXPECT_TRUE(bus_.registerVirtualObject(QString::fromLatin1(DBusSkypeTransport::kPath), this));
    }
    ~BusPeer() override {
        bus_.unregisterObject(QString::fromLatin1(DBusSkypeTransport::kPath));
        QDBusConnection::disconnectFromBus(name_);
    }
    bool TakeSkypeName() { return bus_.registerService(QString::fromLatin1(DBusSkypeTransport::kService)); }
    // Broadcasts ApiAvailable, as the Skype client does when it starts.
    void Announce() {
        bus_.send(QDBusMessage::createSignal(QString::fromLatin1(DBusSkypeTransport::kPath),
                                             QString::fromLatin1(DBusSkypeTransport::kInterface),
                                             QStringLiteral("ApiAvailable")));
    }
    // Calls Attach(status) on `to` and waits for its answer, which comes
    // once the callee has handled the call (and so everything this
    // connection sent it before).
    bool Attach(const QString& to, uint status) {
        QDBusMessage call = QDBusMessage::createMethodCall(to, QString::fromLatin1(DBusSkypeTransport::kPath),
                                                           QString::fromLatin1(DBusSkypeTransport::kInterface),
                                                           QStringLiteral("Attach"));
        call << status;
        const QDBusPendingCall pending = bus_.asyncCall(call);
        if (!WaitUntil([&] { return pending.isFinished(); }, 10000)) return false;
        EXPECT_FALSE(pending.isError()) << pending.error().message().toStdString();
        return !pending.isError();
    }
    Texts Received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("CopyData") || message.arguments().isEmpty()) return false;
        const QByteArray bytes = message.arguments().constFirst().toByteArray();
        {
            std::lock_guard lock(mutex_);
            received_.emplace_back(bytes.constData(), static_cast<std::size_t>(std::max<qsizetype>(bytes.size() - 1, 0)));
        }
        connection.send(message.createReply(true));
        return true;
    }

private:
    QString name_;
    QDBusConnection bus_;
    mutable std::mutex mutex_;
    Texts received_;
};

// The Skype client's address is whoever owns com.Skype.API: an attach or an
// announcement from any other connection changes nothing.
TEST(SkypeLink, OnlyTheOwnerOfTheSkypeNameAttachesTheDialerOrAnnouncesItself) {
    ASSERT_FALSE(SkypeOnBus());
    Dialer dialer;
    ASSERT_TRUE(dialer.connector.Attach(dialer.target.id()));
    EXPECT_EQ(dialer.transport.discovers(), 1);
    const QString dialerAddress = QDBusConnection::sessionBus().baseService();

    BusPeer intruder(QStringLiteral("intruder"));
    intruder.Announce();
    ASSERT_TRUE(intruder.Attach(dialerAddress, 0));
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialer.connector.linkOpen()) << "attached by a connection that does not own the name";
    EXPECT_EQ(dialer.transport.discovers(), 1) << "an announcement from a connection without the name";
    EXPECT_FALSE(dialer.Saw(um::UM_SKYPE_LINK_OPENED));
    EXPECT_FALSE(dialer.Saw(um::UM_SKYPE_ATTACHED));

    // The same two steps from the owner of the name.
    BusPeer owner(QStringLiteral("owner"));
    ASSERT_TRUE(owner.TakeSkypeName());
    owner.Announce();
    ASSERT_TRUE(owner.Attach(dialerAddress, 0));
    EXPECT_EQ(dialer.transport.discovers(), 2) << "the owner's announcement starts a discover";
    EXPECT_TRUE(dialer.connector.linkOpen());
    ASSERT_TRUE(WaitUntil([&] { return dialer.Saw(um::UM_SKYPE_ATTACHED); }, 10000));
    ASSERT_TRUE(WaitUntil([&] { return !owner.Received().empty(); }, 10000));
    EXPECT_EQ(owner.Received().front(), "GET SKYPEVERSION");

    // Once attached, another connection cannot take the link over.
    ASSERT_TRUE(intruder.Attach(dialerAddress, 0));
    ASSERT_TRUE(dialer.connector.SendCommand("GET USER echo123 FULLNAME"));
    ASSERT_TRUE(WaitUntil([&] { return InOrder(owner.Received(), {"GET USER echo123 FULLNAME"}); }, 10000));
    EXPECT_TRUE(intruder.Received().empty()) << intruder.Received().front();
}

}  // namespace
}  // namespace zorvan
