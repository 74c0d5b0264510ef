#include "skype_sim.h"

#include <QCoreApplication>
#include <QTimer>

namespace skypesim {

SkypeSim::SkypeSim(Scenario scenario, const QString& logPath, const QString& heardFolder, bool logAudio)
    : ClientSide(scenario, logPath, logAudio), scenario_(std::move(scenario)), heardFolder_(heardFolder) {}

bool SkypeSim::Start(QString& error) {
    if (!ClientSide::Start(error)) return false;
    RunTimeline();
    return true;
}

void SkypeSim::OnDiscover(const QString& peer) {
    switch (scenario_.attach) {
        case Scenario::AttachPolicy::Immediate:
            SendAttach(peer, 0);
            break;
        case Scenario::AttachPolicy::Refused:
            SendAttach(peer, 2);
            break;
        case Scenario::AttachPolicy::Never:
            break;
        case Scenario::AttachPolicy::NotAvailable:
            // Until a login announces the API again.
            SendAttach(peer, loggedInAgain_ ? 0 : 3);
            break;
        case Scenario::AttachPolicy::Pending:
            if (IsAttached(peer)) {
                SendAttach(peer, 0);  // a re-discovery of a granted client
                break;
            }
            SendAttach(peer, 1);
            QTimer::singleShot(static_cast<int>(scenario_.pendingSeconds * 1000), this,
                               [this, peer] { SendAttach(peer, 0); });
            break;
    }
}

void SkypeSim::RunTimeline() {
    for (const TimedAction& action : scenario_.timeline) {
        QTimer::singleShot(static_cast<int>(action.at * 1000), this, [this, action] {
            switch (action.kind) {
                case TimedAction::Kind::UserStatus:
                    SetUserStatus(QString::fromStdString(action.value).toUpper());
                    break;
                case TimedAction::Kind::ConnStatus:
                    SetConnStatus(QString::fromStdString(action.value));
                    break;
                case TimedAction::Kind::Logout:
                    Logout();
                    break;
                case TimedAction::Kind::Login:
                    loggedInAgain_ = true;
                    Login();
                    break;
                case TimedAction::Kind::Incoming:
                    Incoming(action.incoming);
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
