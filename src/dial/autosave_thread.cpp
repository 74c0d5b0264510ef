#include "dial/autosave_thread.h"

namespace zorvan {

AutosaveThread::AutosaveThread(EventLoop& loop, WaitEvent& closing, std::function<void()> saveIfModified)
    : loop_(loop), closing_(closing), saveIfModified_(std::move(saveIfModified)) {}

AutosaveThread::~AutosaveThread() { Join(); }

void AutosaveThread::Start() {
    if (thread_.joinable()) return;
    thread_ = loop_.spawn([this] { Run(); });
}

void AutosaveThread::Join() {
    if (thread_.joinable()) thread_.join();
}

void AutosaveThread::Run() {
    while (!closing_.isSet()) {
        for (int i = 0; i < kWaits; ++i) {
            if (loop_.wait(closing_, kWaitMs)) return;
        }
        if (closing_.isSet()) return;
        if (saveIfModified_) saveIfModified_();
    }
}

}  // namespace zorvan
