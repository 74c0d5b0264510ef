// The update check's rules over a fake HTTP client, and the prompt thread's
// 36 s wait on the virtual clock.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/virtual_event_loop.h"
#include "update/update_check.h"

namespace zorvan {
namespace {

class CannedHttp final : public HttpGet {
public:
    HttpReply reply{true, 200, "12519"};
    std::atomic<int> gets{0};
    std::string url;
    HttpReply Get(const std::string& u, std::int64_t, std::size_t maxBytes, const WaitEvent*) override {
        ++gets;
        url = u;
        HttpReply r = reply;
        r.body = r.body.substr(0, maxBytes);
        return r;
    }
};

int Check(HttpReply reply) {
    CannedHttp http;
    http.reply = std::move(reply);
    return UpdateCheck(http, "http://site/");
}

TEST(UpdateCheck, OnlyAHigherPublishedNumberOffersTheUpgrade) {
    EXPECT_EQ(Check({true, 200, "12519"}), UpdateCurrent);
    EXPECT_EQ(Check({true, 200, "12519\n"}), UpdateCurrent) << "white space around the number is not a new version";
    EXPECT_EQ(Check({true, 200, " 12519 \r\n"}), UpdateCurrent);
    EXPECT_EQ(Check({true, 200, "12520"}), UpdateAvailable);
    EXPECT_EQ(Check({true, 200, "112519"}), UpdateAvailable);
    EXPECT_EQ(Check({true, 200, "12518"}), UpdateCurrent) << "an older version is no upgrade";
    EXPECT_EQ(Check({true, 200, "012519"}), UpdateCurrent);
    EXPECT_EQ(Check({true, 200, "<html><body>Not here</body></html>"}), UpdateNoVersion);
    EXPECT_EQ(Check({true, 200, ""}), UpdateNoVersion);
    EXPECT_EQ(Check({true, 200, "version two"}), UpdateNoVersion);
    EXPECT_EQ(Check({true, 404, "12520"}), UpdateOpenFailed) << "an error status is no version file";
    EXPECT_EQ(Check({true, 500, ""}), UpdateOpenFailed);
    EXPECT_EQ(Check({false, 0, ""}), UpdateOpenFailed);
    EXPECT_EQ(Check({true, 200, std::string(5000, ' ') + "12520"}), UpdateNoVersion) << "at most 4096 bytes read";
    CannedHttp http;
    EXPECT_EQ(UpdateCheck(http, ""), UpdateNoConnection);
    EXPECT_EQ(http.gets, 0);
    UpdateCheck(http, "http://site/");
    EXPECT_EQ(http.url, "http://site/ver.htm");
}

struct Target final : EventHandler {
    std::vector<Event> events;
    void OnEvent(const Event& e) override { events.push_back(e); }
};

TEST(UpdatePromptThread, ChecksOnce36SecondsAfterStartAndNotAtAllWhenTheProgramEnds) {
    VirtualEventLoop loop;
    WaitEvent closing{WaitEvent::Mode::Manual};
    CannedHttp http;
    http.reply = {true, 200, "12520"};
    Target target;
    ScopedTarget id(loop, target);
    UpdatePromptThread thread(loop, closing, http, "http://site/", id.id(), 0x7D10);
    thread.Start();
    loop.advance(35999);
    EXPECT_EQ(http.gets, 0);
    loop.advance(1);
    loop.settle();
    loop.runPending();
    EXPECT_EQ(http.gets, 1);
    EXPECT_EQ(thread.result(), UpdateAvailable);
    ASSERT_EQ(target.events.size(), 1u);
    EXPECT_EQ(target.events[0].id, 0x7D10u);
    thread.Join();

    // Closing during the wait: no check, and the thread ends at once.
    CannedHttp quiet;
    UpdatePromptThread early(loop, closing, quiet, "http://site/", id.id(), 0x7D10);
    early.Start();
    loop.advance(1000);
    closing.set();
    early.Join();
    EXPECT_EQ(quiet.gets, 0);
}

}  // namespace
}  // namespace zorvan
