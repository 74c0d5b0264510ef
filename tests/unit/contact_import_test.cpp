// The import's header detection, row conversion and duplicate check.
#include <gtest/gtest.h>

#include "data/campaign_convert.h"
#include "data/contact_import.h"
#include "data/text_file.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

TEST(ContactImport, TheHeaderProposesAMappingInKeywordOrder) {
    const ImportMapping m = DetectHeader({"First Name", "Last Name", "Home Phone Number", "E-mail", "Email Address",
                                          "Web Site", "Company", "Occupation", "Street", "City", "Province",
                                          "Country/Region", "Postal Code", "Notes", "Fax Number", "Account Number"});
    EXPECT_EQ(m.fname, 0) << "\"first\" before \"name\"";
    EXPECT_EQ(m.lname, 1);
    EXPECT_EQ(m.phone, 2) << "named by \"phone\": the later number cells do not take it over";
    EXPECT_EQ(m.email, 4) << "E-mail matches nothing; Email Address matches \"email\" before \"address\"";
    EXPECT_EQ(m.website, 5);
    EXPECT_EQ(m.company, 6);
    EXPECT_EQ(m.job, 7);
    EXPECT_EQ(m.street, 8);
    EXPECT_EQ(m.city, 9);
    EXPECT_EQ(m.state, 10);
    EXPECT_EQ(m.country, 11);
    EXPECT_EQ(m.zip, 12);
    EXPECT_EQ(m.notes, 13);
    EXPECT_EQ(m.fax, 14) << "Fax Number is the fax";

    EXPECT_EQ(DetectHeader({"Name", "x", "Mobile number", "y", "z", "Phone"}).phone, 5) << "a later cell replaces";
    EXPECT_EQ(DetectHeader({"Name", "Mobile number"}).phone, 1);
    EXPECT_EQ(DetectHeader({"Phone", "Account Number"}).phone, 0);
    EXPECT_EQ(DetectHeader({"Name", "Tel"}), ImportMapping{}) << "nothing to propose";
    EXPECT_EQ(DetectHeader({"PHONE"}).phone, 0) << "letter case does not matter";
}

TEST(ContactImport, RowsBecomeContactsWithUnmappedCellsInOthers) {
    ImportMapping m;
    m.phone = 2;
    m.fname = 0;
    m.notes = 4;
    const Contact c = ConvertRow({"Ann", "VIP", "416 555 0101", "", "call at noon", "Toronto"}, m);
    EXPECT_EQ(c.fname, "Ann");
    EXPECT_EQ(c.phone, "416 555 0101");
    EXPECT_EQ(c.notes, "call at noon");
    EXPECT_EQ(c.others, "VIP , ,Toronto") << "joined with \" ,\", the empty cell too";
    const Contact shorter = ConvertRow({"Bo"}, m);
    EXPECT_EQ(shorter.fname, "Bo");
    EXPECT_EQ(shorter.phone, "") << "a row shorter than the header leaves the field empty";
    EXPECT_EQ(ConvertRow({"a", "", "p", ""}, ImportMapping{}).others, "a , ,p ,") << "empty cells count as cells";
}

TEST(ContactImport, DuplicatesAreTheSameNumberAsDialledAndNeverAnEmptyPhone) {
    ImportMapping m;
    m.fname = 0;
    m.phone = 1;
    const std::vector<std::vector<std::string>> rows{{"A", "(416) 123-4567"}, {"B", "416-123-4567"}, {"C", ""},
                                                     {"D", ""},               {"E", "+1 416 555 0000"},
                                                     {"F", "5550100"}};
    EXPECT_EQ(ConvertRows(rows, m).size(), 6u) << "the option off keeps every row";
    m.skipDuplicates = true;
    const auto kept = ConvertRows(rows, m, {PhoneKey("555-0100")});
    std::vector<std::string> names;
    for (const Contact& c : kept) names.push_back(c.fname);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "C", "D", "E"}))
        << "B repeats A's number; F is in the campaign already; rows without a phone all stay";
}

TEST(ContactImport, FilesInEachEncodingReadAsTheSameRowsAndBlankLinesAreSkipped) {
    test::TempDir dir;
    // "Zoë,555 0101" then a blank line, then "Åsa,555 0102", in each encoding.
    const std::string utf8 = "Name,Phone\r\nZo\xC3\xAB,555 0101\r\n\r\n\xC3\x85sa,555 0102\r\n";
    const auto utf16 = [&](bool big) {
        std::string out = big ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            unsigned c = static_cast<unsigned char>(utf8[i]);
            if (c >= 0xC0) c = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
            const char hi = static_cast<char>(c >> 8);
            const char lo = static_cast<char>(c & 0xFF);
            out += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    const std::vector<std::pair<std::string, std::string>> files{
        {"utf16le.csv", utf16(false)},
        {"utf16be.csv", utf16(true)},
        {"utf8bom.csv", "\xEF\xBB\xBF" + utf8},
        {"ansi.csv", "Name,Phone\r\nZo\xEB,555 0101\r\n\r\n\xC5sa,555 0102\r\n"},  // Windows-1252
    };
    const std::vector<std::vector<std::string>> expected{
        {"Name", "Phone"}, {"Zo\xC3\xAB", "555 0101"}, {"\xC3\x85sa", "555 0102"}};
    for (const auto& [name, bytes] : files) {
        test::WriteFile(dir / name, bytes);
        EXPECT_EQ(ReadCsvRows(dir / name), expected) << name;
    }
    EXPECT_THROW(ReadCsvRows(dir / "missing.csv"), FileError);
}

}  // namespace
}  // namespace zorvan
