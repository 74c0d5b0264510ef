// The wait of --dial for the campaign and for Skype, on the virtual clock.
#include <gtest/gtest.h>

#include "app/launch_waiter.h"
#include "platform/virtual_event_loop.h"

namespace zorvan {
namespace {

struct Launch {
    VirtualEventLoop loop;
    bool ready = false;
    std::string failed;
    int starts = 0;
    std::vector<std::string> failures;
    LaunchWaiter waiter{loop, 60000, 250,
                        LaunchWaiter::Steps{[this] { return ready; }, [this] { ++starts; }, [this] { return failed; },
                                            [] { return std::string("Skype is not connected"); },
                                            [this](const std::string& why) { failures.push_back(why); }}};
};

TEST(LaunchWaiter, StartsOnceWhenReadyAndGivesUpAfterAMinuteWithTheReason) {
    Launch a;
    a.loop.advance(10000);
    EXPECT_EQ(a.starts, 0);
    a.ready = true;
    a.loop.advance(250);
    EXPECT_EQ(a.starts, 1);
    a.loop.advance(120000);
    EXPECT_EQ(a.starts, 1) << "once";
    EXPECT_TRUE(a.failures.empty());

    Launch b;
    b.loop.advance(59999);
    EXPECT_TRUE(b.failures.empty());
    b.loop.advance(1);
    EXPECT_EQ(b.failures, std::vector<std::string>{"Skype is not connected"});
    b.ready = true;
    b.loop.advance(1000);
    EXPECT_EQ(b.starts, 0) << "given up is given up";

    Launch c;
    c.failed = "the campaign file could not be opened";
    c.loop.advance(250);
    EXPECT_EQ(c.failures, std::vector<std::string>{"the campaign file could not be opened"}) << "no minute's wait";
}

}  // namespace
}  // namespace zorvan
