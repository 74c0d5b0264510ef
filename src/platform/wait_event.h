#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zorvan {

// A waitable flag in the manner of a kernel event object: manual-reset events
// stay set until reset and release every waiter; auto-reset events release one
// waiter and clear themselves. Worker threads wait on them through
// EventLoop::wait, which also bounds the wait in the loop's time.
class WaitEvent {
public:
    enum class Mode { Manual, Auto };

    explicit WaitEvent(Mode mode = Mode::Manual, bool initiallySet = false);
    WaitEvent(const WaitEvent&) = delete;
    WaitEvent& operator=(const WaitEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;

    // Returns true and, for an auto-reset event, clears it when it is set.
    bool tryConsume();

    // Waits in real time; timeoutMs < 0 waits without limit. True when the
    // event was set (and consumed, for an auto-reset event).
    bool waitReal(long long timeoutMs);

    // Called (without the event's lock held) every time the event is set.
    // Used by the virtual-time loop to wake its sleepers.
    using Listener = std::function<void()>;
    std::shared_ptr<void> addListener(Listener listener);

private:
    struct Entry {
        Listener fn;
    };
    const Mode mode_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
    std::vector<std::weak_ptr<Entry>> listeners_;
};

}  // namespace zorvan
