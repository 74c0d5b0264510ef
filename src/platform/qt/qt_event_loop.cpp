#include "platform/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <algorithm>
#include <cstdint>

namespace zorvan {

namespace {

const QEvent::Type kDialerEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class DialerEvent final : public QEvent {
public:
    DialerEvent(TargetId target, Event event) : QEvent(kDialerEventType), target(target), event(event) {}
    TargetId target;
    Event event;
};

}  // namespace

QtEventLoop::QtEventLoop(double speed) : speed_(speed > 0 ? speed : 1.0) {}

std::int64_t QtEventLoop::RealMs(std::int64_t ms) const {
    if (ms <= 0) return ms;
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(static_cast<double>(ms) / speed_));
}

QtEventLoop::~QtEventLoop() {
    QCoreApplication::removePostedEvents(this, kDialerEventType);
}

TargetId QtEventLoop::addTarget(EventHandler& handler) {
    const TargetId id = nextTarget_++;
    targets_[id] = &handler;
    return id;
}

void QtEventLoop::removeTarget(TargetId target) {
    targets_.erase(target);
    for (auto it = timersByKey_.begin(); it != timersByKey_.end();) {
        if (it->first.first == target) {
            QObject::killTimer(it->second);
            keysByQtTimer_.remove(it->second);
            it = timersByKey_.erase(it);
        } else {
            ++it;
        }
    }
    // Events still queued for the target are dropped when they arrive.
}

void QtEventLoop::post(TargetId target, Event event) {
    QCoreApplication::postEvent(this, new DialerEvent(target, event));
}

void QtEventLoop::setTimer(TargetId target, int timerId, std::int64_t intervalMs) {
    killTimer(target, timerId);
    if (!targets_.contains(target)) return;
    const int interval = static_cast<int>(std::clamp<std::int64_t>(RealMs(intervalMs), 1, INT32_MAX));
    const int qtId = startTimer(interval, Qt::PreciseTimer);
    if (qtId == 0) return;
    timersByKey_[{target, timerId}] = qtId;
    keysByQtTimer_.insert(qtId, {target, timerId});
}

void QtEventLoop::killTimer(TargetId target, int timerId) {
    const auto it = timersByKey_.find({target, timerId});
    if (it == timersByKey_.end()) return;
    QObject::killTimer(it->second);
    keysByQtTimer_.remove(it->second);
    timersByKey_.erase(it);
}

void QtEventLoop::pumpWait(std::int64_t ms) {
    const std::int64_t deadline = now() + ms;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::int64_t QtEventLoop::now() const {
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    return static_cast<std::int64_t>(static_cast<double>(real.count()) * speed_);
}

std::chrono::system_clock::time_point QtEventLoop::wallNow() const {
    if (speed_ == 1.0) return std::chrono::system_clock::now();
    return wallStart_ + std::chrono::milliseconds(now());
}

bool QtEventLoop::wait(WaitEvent& event, std::int64_t timeoutMs) {
    return event.waitReal(RealMs(timeoutMs));
}

std::thread QtEventLoop::spawn(std::function<void()> body) {
    return std::thread(std::move(body));
}

void QtEventLoop::customEvent(QEvent* event) {
    if (event->type() != kDialerEventType) return;
    const auto* dialerEvent = static_cast<const DialerEvent*>(event);
    const auto it = targets_.find(dialerEvent->target);
    if (it != targets_.end()) it->second->OnEvent(dialerEvent->event);
}

void QtEventLoop::timerEvent(QTimerEvent* event) {
    const auto it = keysByQtTimer_.constFind(event->timerId());
    if (it == keysByQtTimer_.constEnd()) return;
    const auto [target, timerId] = *it;
    const auto handler = targets_.find(target);
    if (handler != targets_.end()) handler->second->OnTimer(timerId);
}

}  // namespace zorvan
