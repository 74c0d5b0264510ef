#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "data/atomic_file.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

namespace fs = std::filesystem;

std::size_t EntriesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFile, ReplacesTheFileWholeAndKeepsItsPermissions) {
    test::TempDir dir;
    const std::string path = dir / "conf.xml";
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(path, "new contents"));
    EXPECT_EQ(test::ReadFile(path), "new contents");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(EntriesIn(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(AtomicFile, AFailedWriteLeavesWhatWasThereAndNoTemporaryFile) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir / "missing/conf.xml", "x", &error));
    EXPECT_NE(error.find("missing/conf.xml"), std::string::npos) << error;

    // A folder in the way of the rename: it stays, the temporary file goes.
    fs::create_directories(dir / "taken/inside");
    EXPECT_FALSE(WriteFileAtomically(dir / "taken", "x", &error));
    EXPECT_TRUE(fs::is_directory(dir / "taken/inside"));
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

}  // namespace
}  // namespace zorvan
