#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/virtual_event_loop.h"

namespace zorvan {
namespace {

struct Recorder final : EventHandler {
    std::string name;
    std::vector<std::string>* log;
    std::function<void(const Event&)> onEvent;
    Recorder(std::string n, std::vector<std::string>& l) : name(std::move(n)), log(&l) {}
    void OnEvent(const Event& e) override {
        log->push_back(name + ":" + std::to_string(e.id));
        if (onEvent) onEvent(e);
    }
    void OnTimer(int id) override { log->push_back(name + ":timer" + std::to_string(id)); }
};

TEST(VirtualEventLoop, PostedEventsKeepTheirOrderPerTarget) {
    VirtualEventLoop loop;
    std::vector<std::string> log;
    Recorder a("a", log), b("b", log);
    ScopedTarget ta(loop, a), tb(loop, b);
    loop.post(ta.id(), {1});
    loop.post(tb.id(), {10});
    loop.post(ta.id(), {2});
    loop.post(tb.id(), {11});
    loop.post(ta.id(), {3});
    EXPECT_TRUE(log.empty()) << "nothing runs before the test lets time run";
    loop.runPending();
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "b:10", "a:2", "b:11", "a:3"}));
}

TEST(VirtualEventLoop, PeriodicTimerFiresAtItsBoundaryUntilKilledOrRestarted) {
    VirtualEventLoop loop;
    std::vector<std::string> log;
    Recorder a("a", log);
    ScopedTarget t(loop, a);
    loop.setTimer(t.id(), 102, 1000);
    loop.advance(999);
    EXPECT_TRUE(log.empty());
    loop.advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"a:timer102"}));
    loop.advance(1000);
    EXPECT_EQ(log.size(), 2u) << "timers repeat until killed";

    // Restarting at 2500 moves the next expiry to 3500, not 3000.
    loop.advance(500);
    loop.setTimer(t.id(), 102, 1000);
    loop.advance(999);
    EXPECT_EQ(log.size(), 2u);
    loop.advance(1);
    EXPECT_EQ(log.size(), 3u);

    loop.killTimer(t.id(), 102);
    loop.advance(5000);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(loop.now(), 8500);
}

TEST(VirtualEventLoop, EventsAndTimersRunInsideANestedPumpWait) {
    VirtualEventLoop loop;
    std::vector<std::string> log;
    Recorder a("a", log);
    ScopedTarget t(loop, a);
    a.onEvent = [&](const Event& e) {
        if (e.id != 1) return;
        loop.post(t.id(), {2});
        loop.setTimer(t.id(), 7, 30);
        loop.pumpWait(50);
        log.push_back("pump returned at " + std::to_string(loop.now()));
        loop.killTimer(t.id(), 7);
    };
    loop.post(t.id(), {1});
    loop.runPending();
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "a:2", "a:timer7", "pump returned at 50"}));
}

TEST(VirtualEventLoop, RemovedTargetLosesItsEventsAndTimers) {
    VirtualEventLoop loop;
    std::vector<std::string> log;
    Recorder a("a", log);
    auto t = std::make_unique<ScopedTarget>(loop, a);
    const TargetId id = t->id();
    loop.post(id, {1});
    loop.setTimer(id, 1, 10);
    t.reset();
    loop.post(id, {2});
    loop.advance(100);
    EXPECT_TRUE(log.empty());
}

TEST(VirtualEventLoop, SleepingWorkerWakesAtItsDeadlineAndItsPostIsDispatched) {
    VirtualEventLoop loop;
    std::vector<std::string> log;
    Recorder a("a", log);
    ScopedTarget t(loop, a);
    std::atomic<bool> slept{false};
    std::thread worker = loop.spawn([&] {
        slept = loop.sleep(5000, nullptr);
        loop.post(t.id(), {42});
    });
    loop.runPending();
    EXPECT_EQ(loop.sleepingWorkers(), 1u);
    loop.advance(4999);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(loop.sleepingWorkers(), 1u);
    loop.advance(1);
    EXPECT_EQ(log, (std::vector<std::string>{"a:42"}));
    worker.join();
    EXPECT_TRUE(slept);
}

TEST(VirtualEventLoop, CancellationEndsASleepWithoutMovingTime) {
    VirtualEventLoop loop;
    WaitEvent cancel;
    std::atomic<int> result{-1};
    std::thread worker = loop.spawn([&] { result = loop.sleep(60000, &cancel) ? 1 : 0; });
    loop.runPending();
    EXPECT_EQ(result, -1);
    cancel.set();
    loop.runPending();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(loop.now(), 0);
    worker.join();

    // An event set before the wait starts ends it at once.
    EXPECT_FALSE(loop.sleep(1000, &cancel));
}

TEST(VirtualEventLoop, AutoResetEventReleasesOneWaiterPerSet) {
    VirtualEventLoop loop;
    WaitEvent start(WaitEvent::Mode::Auto);
    std::atomic<int> released{0};
    std::thread w1 = loop.spawn([&] { if (loop.wait(start, -1)) ++released; });
    std::thread w2 = loop.spawn([&] { if (loop.wait(start, -1)) ++released; });
    loop.runPending();
    EXPECT_EQ(loop.sleepingWorkers(), 2u);
    start.set();
    loop.runPending();
    EXPECT_EQ(released, 1);
    EXPECT_FALSE(start.isSet()) << "the released waiter consumed the event";
    start.set();
    loop.runPending();
    EXPECT_EQ(released, 2);
    w1.join();
    w2.join();
}

TEST(VirtualEventLoop, AnEventSetWhileAWorkerStartsToWaitIsCountedOnce) {
    // A set that races with the start of a wait must neither be lost nor
    // count the worker as running twice (settle would then never return).
    VirtualEventLoop loop;
    for (int i = 0; i < 2000; ++i) {
        WaitEvent event;
        std::atomic<bool> released{false};
        std::thread worker = loop.spawn([&] { released = loop.wait(event, -1); });
        event.set();
        loop.settle();
        worker.join();
        ASSERT_TRUE(released) << i;
    }
}

TEST(VirtualEventLoop, WallClockFollowsVirtualTime) {
    VirtualEventLoop loop;
    const auto start = loop.wallNow();
    loop.advance(36000);
    EXPECT_EQ(loop.wallNow() - start, std::chrono::seconds(36));
}

}  // namespace
}  // namespace zorvan
