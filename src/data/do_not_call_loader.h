#pragma once

#include <atomic>

#include <functional>
#include <string>
#include <thread>

#include "platform/event_loop.h"

namespace zorvan {

class DoNotCallList;

// Keeps the do-not-call list in step with the file named by the settings.
// Once a second it looks at the path and at the file's size, time and
// identity, and reads the file again only when one of them changed; the
// new list is built aside and swapped in whole. It ends with `closing`.
class DoNotCallLoader {
public:
    DoNotCallLoader(EventLoop& loop, WaitEvent& closing, DoNotCallList& list, std::function<std::string()> path);
    ~DoNotCallLoader();

    // Starts the thread; when it runs already, makes it look at once.
    void Start();
    void Join();
    // The file has been read once since the loader started.
    bool loaded() const { return loaded_; }

    static constexpr std::int64_t kCheckMs = 1000;

private:
    void Run();

    EventLoop& loop_;
    WaitEvent& closing_;
    DoNotCallList& list_;
    std::function<std::string()> path_;
    WaitEvent wake_{WaitEvent::Mode::Auto};
    std::atomic<bool> loaded_{false};
    std::thread thread_;
};

}  // namespace zorvan
