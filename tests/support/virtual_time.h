#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/virtual_event_loop.h"

namespace zorvan::test {

// For a call that a thread other than the loop's workers makes and that
// waits on virtual time: moves the clock a millisecond at a time until
// `done` is set, at most `limitMs` of virtual time. Reaching the limit fails
// the test (the caller then must not join the waiting thread).
[[nodiscard]] inline bool StepUntil(VirtualEventLoop& loop, const std::atomic<bool>& done,
                                    std::int64_t limitMs = 60000) {
    const std::int64_t start = loop.now();
    while (!done) {
        if (loop.now() - start >= limitMs) {
            ADD_FAILURE() << "the awaited call did not return within " << limitMs << " ms of virtual time";
            return false;
        }
        loop.advance(1);
        std::this_thread::yield();
    }
    return true;
}

}  // namespace zorvan::test
