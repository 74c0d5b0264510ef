#include <gtest/gtest.h>

#include <random>

#include "data/contact.h"
#include "data/do_not_call.h"
#include "data/do_not_call_loader.h"
#include "platform/virtual_event_loop.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

TEST(DoNotCallList, MatchesEitherWayAfterNormalisation) {
    test::TempDir dir;
    test::WriteFile(dir / "dnc.csv", "416,1234567\r\n\r\n416,1234568\r\n");
    DoNotCallList list;
    list.Replace(ReadDoNotCallFile(dir / "dnc.csv"));
    EXPECT_EQ(list.Count(), 2u) << "an empty line adds nothing";
    for (const char* phone : {"416-123-4567", "(416) 123 4567", "+1 416 123 4567", "1234567", "4161234568"}) {
        EXPECT_TRUE(list.Contains(phone)) << phone;
    }
    for (const char* phone : {"416-123-4569", "5551234", "+44 20 7946 0000"}) EXPECT_FALSE(list.Contains(phone)) << phone;
    EXPECT_TRUE(list.Contains("")) << "an empty phone matches any list";

    list.Replace(ReadDoNotCallFile(dir / "missing.csv"));
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.Contains("")) << "nothing matches an empty list";

    test::WriteFile(dir / "comma.csv", ",\n");
    list.Replace(ReadDoNotCallFile(dir / "comma.csv"));
    EXPECT_TRUE(list.Contains("999")) << "a line of separators is an empty entry, which matches everything";

    // UTF-16 with its mark works as well.
    test::WriteFile(dir / "wide.csv", std::string("\xFF\xFE" "4\0" "1\0" "6\0" ",\0" "9\0" "\n\0", 14));
    list.Replace(ReadDoNotCallFile(dir / "wide.csv"));
    EXPECT_TRUE(list.Contains("+1 4169"));
    EXPECT_FALSE(list.Contains("4170"));
}

TEST(DoNotCallList, TheIndexGivesExactlyTheAnswerOfAFullScan) {
    std::mt19937 random(7);
    const auto digits = [&](int min, int max) {
        std::string s(static_cast<std::size_t>(min + static_cast<int>(random() % (max - min + 1))), '0');
        for (char& c : s) c = static_cast<char>('0' + random() % 4);  // few digits: many overlaps
        return s;
    };
    std::vector<std::string> entries;
    for (int i = 0; i < 3000; ++i) entries.push_back(digits(3, 12));
    DoNotCallIndex index(entries);
    for (int q = 0; q < 3000; ++q) {
        const std::string phone = digits(1, 14);
        bool expected = false;
        for (const std::string& e : entries) {
            expected = expected || e.find(phone) != std::string::npos || phone.find(e) != std::string::npos;
        }
        ASSERT_EQ(index.Contains(phone), expected) << phone;
    }
}

TEST(DoNotCallLoader, PicksUpChangesOncePerSecondAndEndsWithClosing) {
    test::TempDir dir;
    const std::string path = dir / "dnc.csv";
    test::WriteFile(path, "5550001\n");
    VirtualEventLoop loop;
    WaitEvent closing;
    DoNotCallList list;
    std::string current = path;
    std::mutex pathMutex;
    DoNotCallLoader loader(loop, closing, list, [&] {
        std::lock_guard lock(pathMutex);
        return current;
    });
    loader.Start();
    loop.runPending();
    EXPECT_TRUE(list.Contains("5550001"));

    test::WriteFile(path, "5550001\n5550002\n");
    loop.advance(999);
    EXPECT_FALSE(list.Contains("5550002"));
    loop.advance(1);
    EXPECT_TRUE(list.Contains("5550002")) << "the change is seen at the next check";

    {
        std::lock_guard lock(pathMutex);
        current = dir / "none.csv";
    }
    loader.Start();  // as the options' change does: look at once
    loop.runPending();
    EXPECT_EQ(list.Count(), 0u) << "a path that does not exist leaves the list empty";

    closing.set();
    loop.advance(1000);
    loader.Join();
}

}  // namespace
}  // namespace zorvan
