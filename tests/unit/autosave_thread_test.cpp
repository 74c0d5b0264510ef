#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "dial/autosave_thread.h"
#include "platform/virtual_event_loop.h"

namespace zorvan {
namespace {

TEST(AutosaveThread, SavesEveryTenSecondsAtTheBoundary) {
    VirtualEventLoop loop;
    WaitEvent closing;
    std::atomic<int> saves{0};
    AutosaveThread autosave(loop, closing, [&] { ++saves; });
    autosave.Start();
    loop.advance(9999);
    EXPECT_EQ(saves, 0);
    loop.advance(1);
    EXPECT_EQ(saves, 1);
    loop.advance(9999);
    EXPECT_EQ(saves, 1);
    loop.advance(1);
    EXPECT_EQ(saves, 2);
    closing.set();
    autosave.Join();
}

TEST(AutosaveThread, ClosingEndsTheThreadAtOnceAndNothingIsSavedAfterIt) {
    VirtualEventLoop loop;
    WaitEvent closing;
    std::atomic<int> saves{0};
    AutosaveThread autosave(loop, closing, [&] { ++saves; });
    autosave.Start();
    loop.advance(9500);
    closing.set();
    // The wait on `closing` ends when it is set, without moving virtual
    // time: the thread has ended before the clock moves again.
    loop.settle();
    EXPECT_EQ(loop.sleepingWorkers(), 0u);
    autosave.Join();
    EXPECT_EQ(loop.now(), 9500);
    loop.advance(30000);
    EXPECT_EQ(saves, 0);
}

}  // namespace
}  // namespace zorvan
