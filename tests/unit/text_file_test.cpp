#include <gtest/gtest.h>

#include <sys/stat.h>

#include "data/text_file.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

using Cells = std::vector<std::string>;

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

std::vector<Cells> ReadAll(const std::string& path) {
    CCSVFile file = CCSVFile::OpenForReading(path);
    std::vector<Cells> rows;
    Cells row;
    while (file.ReadRow(row)) rows.push_back(row);
    return rows;
}

TEST(CCSVFile, SplitsCellsExactlyAsWritten) {
    Cells cells{"left over", "from", "before", "x"};
    CCSVFile::SplitRow("a,b,", cells);
    EXPECT_EQ(cells, (Cells{"a", "b"})) << "a trailing comma adds no cell; old cells go";
    CCSVFile::SplitRow("a,,b", cells);
    EXPECT_EQ(cells, (Cells{"a", "", "b"}));
    CCSVFile::SplitRow("\"Smith, John\",42", cells);
    EXPECT_EQ(cells, (Cells{"Smith, John", "42"}));
    CCSVFile::SplitRow("x,\"say \"\"hi\"\"\"", cells);
    EXPECT_EQ(cells, (Cells{"x", "say \"hi\""})) << "a quoted last cell ends the row cleanly";
    CCSVFile::SplitRow(" a b ,c\"d", cells);
    EXPECT_EQ(cells, (Cells{" a b ", "c\"d"})) << "unquoted cells are taken as they are";
    CCSVFile::SplitRow("", cells);
    EXPECT_TRUE(cells.empty());
}

TEST(CCSVFile, WritesUtf16WithAMarkQuotingWhereNeeded) {
    test::TempDir dir;
    const std::string path = dir / "out.csv";
    CCSVFile file = CCSVFile::CreateForWriting(path);
    file.WriteRow({"a", "b,c", "x\"y", "\xC3\xA9\xF0\x9F\x93\x9E"});
    file.Close();
    const std::string bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::string expected = Utf16("a,\"b,c\",\"x\"\"y\",", false).substr(2);
    expected += std::string("\xE9\x00\x3D\xD8\xDE\xDC", 6);  // é, then a surrogate pair
    expected += std::string("\r\0\n\0", 4);
    EXPECT_EQ(bytes.substr(2), expected);
    EXPECT_EQ(ReadAll(path), (std::vector<Cells>{{"a", "b,c", "x\"y", "\xC3\xA9\xF0\x9F\x93\x9E"}}));
}

TEST(CUTF16File, EncodingsByByteOrderMarkAndEveryLineEnd) {
    test::TempDir dir;
    const std::vector<Cells> expected{{"Ann", "1"}, {"Bob", "2"}, {"Cy", "3"}};
    const std::string text = "Ann,1\r\nBob,2\nCy,3\r";
    test::WriteFile(dir / "le.csv", Utf16(text, false));
    test::WriteFile(dir / "be.csv", Utf16(text, true));
    test::WriteFile(dir / "utf8.csv", "\xEF\xBB\xBF" + text);
    for (const char* name : {"le.csv", "be.csv", "utf8.csv"}) {
        EXPECT_EQ(ReadAll(dir / name), expected) << name;
    }
    EXPECT_EQ(CUTF16File::OpenForReading(dir / "be.csv").encoding(), CUTF16File::Encoding::Utf16Be);

    // Without a mark: the 8-bit code page. Invalid UTF-8 is read as
    // Windows-1252; valid UTF-8 stays; a lone CR does not end an ANSI line.
    test::WriteFile(dir / "ansi.csv", "M\xFCller,\x80 5\r\nna\xC3\xAFve,x\ry\n");
    EXPECT_EQ(CUTF16File::OpenForReading(dir / "ansi.csv").encoding(), CUTF16File::Encoding::Ansi);
    EXPECT_EQ(ReadAll(dir / "ansi.csv"),
              (std::vector<Cells>{{"M\xC3\xBCller", "\xE2\x82\xAC 5"}, {"na\xC3\xAFve", "x\ry"}}));
    test::WriteFile(dir / "one.csv", "\xFF");
    EXPECT_EQ(CUTF16File::OpenForReading(dir / "one.csv").encoding(), CUTF16File::Encoding::Ansi);
}

TEST(CUTF16File, FileErrorsAndNothingWrittenUntilClose) {
    test::TempDir dir;
    EXPECT_THROW(CUTF16File::OpenForReading(dir / "missing.csv"), FileError);
    EXPECT_THROW(CUTF16File::CreateForWriting(dir / "no/such/folder.csv"), FileError);
    test::WriteFile(dir / "locked.csv", "old");
    ::chmod((dir / "locked.csv").c_str(), 0444);
    EXPECT_THROW(CUTF16File::CreateForWriting(dir / "locked.csv"), FileError);

    test::WriteFile(dir / "keep.csv", "old contents");
    CUTF16File file = CUTF16File::CreateForWriting(dir / "keep.csv");
    file.WriteString("new");
    EXPECT_EQ(test::ReadFile(dir / "keep.csv"), "old contents") << "the old file stands until the new one is whole";
    file.Close();
    EXPECT_EQ(test::ReadFile(dir / "keep.csv"), std::string("\xFF\xFEn\0e\0w\0", 8));
}

}  // namespace
}  // namespace zorvan
