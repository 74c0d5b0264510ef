#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "platform/event_loop.h"
#include "platform/http_get.h"
#include "platform/wait_event.h"

namespace zorvan {

// The publisher's site: the version file and the upgrade page live at its
// root. ZORVAN_UPDATE_ROOT replaces it (tests, a mirror).
inline constexpr char kUpdateSiteRoot[] = "https://zorvan-dialer.example/";
inline constexpr char kOwnVersion[] = "12519";
std::string UpdateSiteRoot();

// Results of the check.
enum UpdateResult : int {
    UpdateNoConnection = 1,  // no client, or no site to ask
    UpdateOpenFailed = 2,    // not reached, or an HTTP error status
    UpdateNoVersion = 3,     // nothing read, empty, an HTML page, not a number
    UpdateCurrent = 6,       // the published version is not newer than ours
    UpdateAvailable = 8,     // a newer version is published
};

inline constexpr std::int64_t kUpdateTimeoutMs = 15000;
inline constexpr std::size_t kVersionBytes = 4096;

// One GET of root + "ver.htm". The text is trimmed of white space and
// lower-cased; only a version that is a higher number than ours is new.
int UpdateCheck(HttpGet& http, const std::string& root, std::string_view ownVersion = kOwnVersion,
                const WaitEvent* cancel = nullptr);

// Waits 36 s after start-up (on the loop's clock, ending at once when
// `closing` is set), checks once, and when a newer version is published
// posts `notifyEvent` to `target`, whose handler asks the user on the UI
// thread. The HTTP wait is bounded, so Join always returns.
class UpdatePromptThread {
public:
    static constexpr std::int64_t kDelayMs = 36000;

    UpdatePromptThread(EventLoop& loop, WaitEvent& closing, HttpGet& http, std::string root, TargetId target,
                       std::uint32_t notifyEvent);
    ~UpdatePromptThread();
    UpdatePromptThread(const UpdatePromptThread&) = delete;
    UpdatePromptThread& operator=(const UpdatePromptThread&) = delete;

    void Start();
    void Join();
    // The check's result once it ran; 0 before.
    int result() const { return result_; }

private:
    void Run();

    EventLoop& loop_;
    WaitEvent& closing_;
    HttpGet& http_;
    std::string root_;
    TargetId target_;
    std::uint32_t notifyEvent_;
    std::thread thread_;
    std::atomic<int> result_{0};
};

}  // namespace zorvan
