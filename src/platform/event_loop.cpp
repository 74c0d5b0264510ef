#include "platform/event_loop.h"

namespace zorvan {

bool EventLoop::sleep(std::int64_t ms, WaitEvent* cancel) {
    if (cancel != nullptr) return !wait(*cancel, ms);
    WaitEvent never;
    wait(never, ms);
    return true;
}

}  // namespace zorvan
