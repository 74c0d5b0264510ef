#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/virtual_event_loop.h"

namespace zorvan::test {

// For a call that another thread makes and that waits on virtual time:
// moves the clock a millisecond at a time, letting real time pass too,
// until `done` is set.
inline void StepUntil(VirtualEventLoop& loop, const std::atomic<bool>& done) {
    while (!done) {
        loop.advance(1);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

}  // namespace zorvan::test
