#pragma once

#include <functional>
#include <thread>

#include "platform/event_loop.h"

namespace zorvan {

// Saves the open campaign every ten seconds while it has unsaved changes.
// The ten seconds are ten one-second waits on `closing`, so the thread ends
// as soon as shutdown sets it, and never saves after seeing it.
class AutosaveThread {
public:
    AutosaveThread(EventLoop& loop, WaitEvent& closing, std::function<void()> saveIfModified);
    ~AutosaveThread();
    AutosaveThread(const AutosaveThread&) = delete;
    AutosaveThread& operator=(const AutosaveThread&) = delete;

    void Start();
    // Waits for the thread to end; `closing` must be set.
    void Join();

    static constexpr int kWaits = 10;
    static constexpr std::int64_t kWaitMs = 1000;

private:
    void Run();

    EventLoop& loop_;
    WaitEvent& closing_;
    std::function<void()> saveIfModified_;
    std::thread thread_;
};

}  // namespace zorvan
