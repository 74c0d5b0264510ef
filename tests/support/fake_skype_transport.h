#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/skype_transport.h"

namespace zorvan::test {

// Stands in for the bus: remembers discovers and every text the dialer
// hands over (with the loop time of the hand-over), and accepts or refuses
// each as told.
class FakeSkypeTransport final : public SkypeTransport {
public:
    explicit FakeSkypeTransport(EventLoop& loop) : loop_(loop) {}

    struct Sent {
        std::string peer;
        std::string text;  // without the terminating zero
        std::int64_t at;
        bool operator==(const Sent&) const = default;
    };

    bool openResult = true;
    // Decides whether the peer accepts a text (called on the sender thread).
    std::function<bool(const std::string& text)> accept = [](const std::string&) { return true; };

    bool Open(SkypeTransportListener& listener) override {
        listener_ = &listener;
        return openResult;
    }
    void Close() override { listener_ = nullptr; }
    void BroadcastDiscover() override {
        std::lock_guard lock(mutex_);
        discovers_.push_back(loop_.now());
    }
    bool CopyData(const std::string& peer, std::string_view bytes) override {
        std::string text(bytes);
        const bool terminated = !text.empty() && text.back() == '\0';
        if (terminated) text.pop_back();
        const bool accepted = accept(text);
        std::lock_guard lock(mutex_);
        sent_.push_back({peer, terminated ? text : text + "<no terminator>", loop_.now()});
        return accepted;
    }

    std::vector<Sent> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // The texts handed over since the last call.
    std::vector<std::string> TakeTexts() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (std::size_t i = taken_; i < sent_.size(); ++i) texts.push_back(sent_[i].text);
        taken_ = sent_.size();
        return texts;
    }
    std::vector<std::int64_t> discovers() const {
        std::lock_guard lock(mutex_);
        return discovers_;
    }

private:
    EventLoop& loop_;
    SkypeTransportListener* listener_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<Sent> sent_;
    std::size_t taken_ = 0;
    std::vector<std::int64_t> discovers_;
};

// Remembers every event posted to it.
struct EventLog final : EventHandler {
    std::vector<Event> events;
    void OnEvent(const Event& e) override { events.push_back(e); }
    std::vector<std::uint32_t> ids() const {
        std::vector<std::uint32_t> out;
        for (const Event& e : events) out.push_back(e.id);
        return out;
    }
    std::vector<Event> Take() { return std::exchange(events, {}); }
};

}  // namespace zorvan::test
