#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
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

// The either-way substring test over the whole list, entry by entry.
bool FullScan(const std::vector<std::string>& entries, const std::string& phone) {
    return std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
        return e.find(phone) != std::string::npos || phone.find(e) != std::string::npos;
    });
}

TEST(DoNotCallList, ALineThatIsNoUtf8IsReadAsTheCodePageAndMatchesItself) {
    // A stray byte beside a separator: read raw, taking the space out would
    // make a fullwidth hyphen of the bytes around it, and the entry would
    // no longer match its own phone.
    test::TempDir dir;
    const std::string path = dir / "dnc.csv";
    test::WriteFile(path, "+4\xEF \xBC\x8D" "7494\r\n416 555 0199\r\n");
    const std::vector<std::string> entries = ReadDoNotCallFile(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], "4165550199");
    DoNotCallList list;
    list.Replace(entries);
    for (const std::string& entry : entries) EXPECT_TRUE(list.Contains(entry)) << entry;
    EXPECT_EQ(NormalizePhoneNumber(entries[0]), entries[0]);
}

TEST(DoNotCallList, TheIndexGivesExactlyTheAnswerOfAFullScan) {
    std::mt19937 random(7);
    const auto pick = [&](int min, int max) { return min + static_cast<int>(random() % static_cast<unsigned>(max - min + 1)); };
    const auto digits = [&](int min, int max, int alphabet) {
        std::string s(static_cast<std::size_t>(pick(min, max)), '0');
        for (char& c : s) c = static_cast<char>('0' + random() % static_cast<unsigned>(alphabet));
        return s;
    };

    // A dense list over four digits: entries overlap everywhere, so nearly
    // every phone is listed, often through several entries.
    {
        std::vector<std::string> entries;
        for (int i = 0; i < 3000; ++i) entries.push_back(digits(3, 12, 4));
        const DoNotCallIndex index(entries);
        for (int q = 0; q < 2000; ++q) {
            const std::string phone = digits(1, 14, 4);
            ASSERT_EQ(index.Contains(phone), FullScan(entries, phone)) << phone;
        }
    }

    // A sparse list of real-looking numbers, asked about pieces of entries,
    // numbers around entries, entries with one digit changed (they share
    // most of their six-digit pieces with an entry, yet are not listed) and
    // numbers of their own.
    std::vector<std::string> entries;
    for (int i = 0; i < 4000; ++i) entries.push_back(digits(i % 50 == 0 ? 4 : 7, 11, 10));
    const DoNotCallIndex index(entries);
    int listed = 0;
    int unlisted = 0;
    for (int q = 0; q < 8000; ++q) {
        const std::string& entry = entries[random() % entries.size()];
        std::string phone;
        switch (q % 4) {
            case 0: {  // a piece of an entry, short ones included
                const int from = pick(0, static_cast<int>(entry.size()) - 1);
                phone = entry.substr(static_cast<std::size_t>(from),
                                     static_cast<std::size_t>(pick(1, static_cast<int>(entry.size()) - from)));
                break;
            }
            case 1:  // an entry inside a longer number
                phone = digits(0, 3, 10) + entry + digits(0, 3, 10);
                break;
            case 2: {  // an entry with one digit changed
                phone = entry;
                char& c = phone[random() % phone.size()];
                c = static_cast<char>('0' + (c - '0' + pick(1, 9)) % 10);
                break;
            }
            default:
                phone = digits(7, 14, 10);
                break;
        }
        const bool expected = FullScan(entries, phone);
        (expected ? listed : unlisted) += 1;
        ASSERT_EQ(index.Contains(phone), expected) << phone << " (kind " << q % 4 << ")";
    }
    // Both answers must be well represented for the comparison to mean anything.
    EXPECT_GT(unlisted, 8000 * 35 / 100) << "listed " << listed;
    EXPECT_GT(listed, 8000 * 35 / 100) << "unlisted " << unlisted;
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

// Rewrites one byte of the file where it is: same inode, same size.
void OverwriteByte(const std::string& path, off_t at, char byte) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, &byte, 1, at), 1);
    ::close(fd);
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st;
}

void SetModified(const std::string& path, timespec modified) {
    const timespec times[2] = {modified, modified};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

struct LoaderOn {
    test::TempDir dir;
    std::string path = dir / "dnc.csv";
    VirtualEventLoop loop;
    WaitEvent closing;
    DoNotCallList list;
    DoNotCallLoader loader{loop, closing, list, [this] { return path; }};

    explicit LoaderOn(const std::string& content) {
        test::WriteFile(path, content);
        loader.Start();
        loop.runPending();
    }
    ~LoaderOn() {
        closing.set();
        loop.advance(DoNotCallLoader::kCheckMs);
        loader.Join();
    }
};

// An edit that keeps the file's size and inode, made within the second of
// the previous version: only the finer part of the modification time tells.
TEST(DoNotCallLoader, ASameSizeEditInTheSameSecondIsPickedUpAtTheNextCheck) {
    LoaderOn on("5550001\n5550003\n");
    ASSERT_TRUE(on.list.Contains("5550001"));
    const struct stat before = StatOf(on.path);

    OverwriteByte(on.path, 6, '2');  // 5550001 -> 5550002
    timespec sameSecond = before.st_mtim;
    sameSecond.tv_nsec = (before.st_mtim.tv_nsec + 500000000) % 1000000000;
    SetModified(on.path, sameSecond);
    const struct stat after = StatOf(on.path);
    ASSERT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

    on.loop.advance(DoNotCallLoader::kCheckMs - 1);
    EXPECT_TRUE(on.list.Contains("5550001")) << "nothing before the check";
    on.loop.advance(1);
    EXPECT_TRUE(on.list.Contains("5550002")) << "the edit is seen at the next check";
    EXPECT_FALSE(on.list.Contains("5550001"));
    EXPECT_TRUE(on.list.Contains("5550003"));
}

// The same edit with the modification time put back as it was (as a copy
// that keeps times does): size, inode and modification time all stay, and
// only the change time still moves.
TEST(DoNotCallLoader, ASameSizeEditWithItsModificationTimePutBackIsPickedUpAtTheNextCheck) {
    LoaderOn on("5550001\n5550003\n");
    ASSERT_TRUE(on.list.Contains("5550001"));
    const struct stat before = StatOf(on.path);

    OverwriteByte(on.path, 6, '2');
    SetModified(on.path, before.st_mtim);
    const struct stat after = StatOf(on.path);
    ASSERT_EQ(after.st_size, before.st_size);
    ASSERT_EQ(after.st_ino, before.st_ino);
    ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    on.loop.advance(DoNotCallLoader::kCheckMs);
    EXPECT_TRUE(on.list.Contains("5550002")) << "the edit is seen at the next check";
    EXPECT_FALSE(on.list.Contains("5550001"));
}

}  // namespace
}  // namespace zorvan
