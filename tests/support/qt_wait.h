#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace zorvan::test {

// Keeps Qt's events flowing until `done` holds or the real time is up. It
// sleeps between looks (5 ms at most) instead of spinning, so a waiting test
// leaves the machine's cores to the programs it waits for.
inline bool WaitUntil(const std::function<bool()>& done, int realMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    while (!done()) {
        if (clock.elapsed() > realMs) return false;
        tick.start(5);
        loop.exec();
    }
    return true;
}

}  // namespace zorvan::test
