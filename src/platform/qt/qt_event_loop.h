#pragma once

#include <QObject>
#include <QHash>

#include <atomic>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/event_loop.h"

namespace zorvan {

// The event loop of the running program, on Qt's main thread: events travel
// as QEvents to one dispatcher object, timers are QObject timers.
class QtEventLoop final : public QObject, public EventLoop {
    Q_OBJECT
public:
    // `speed` > 1 runs every timer, pause and wait that many times faster,
    // for tests of real components on timelines of many seconds.
    explicit QtEventLoop(double speed = 1.0);
    ~QtEventLoop() override;

    TargetId addTarget(EventHandler& handler) override;
    void removeTarget(TargetId target) override;
    void post(TargetId target, Event event) override;
    void setTimer(TargetId target, int timerId, std::int64_t intervalMs) override;
    void killTimer(TargetId target, int timerId) override;
    void pumpWait(std::int64_t ms) override;
    std::int64_t now() const override;
    std::chrono::system_clock::time_point wallNow() const override;
    bool wait(WaitEvent& event, std::int64_t timeoutMs) override;
    std::thread spawn(std::function<void()> body) override;

protected:
    void customEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::unordered_map<TargetId, EventHandler*> targets_;  // loop thread only
    std::map<std::pair<TargetId, int>, int> timersByKey_;  // (target, id) -> Qt timer id
    QHash<int, std::pair<TargetId, int>> keysByQtTimer_;
    std::atomic<TargetId> nextTarget_{1};
    const double speed_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    const std::chrono::system_clock::time_point wallStart_ = std::chrono::system_clock::now();

    std::int64_t RealMs(std::int64_t ms) const;
};

}  // namespace zorvan
