#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace zorvan::test {

// Keeps Qt's events flowing until `done` holds or the real time is up.
inline bool WaitUntil(const std::function<bool()>& done, int realMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > realMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace zorvan::test
