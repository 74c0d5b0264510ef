// --convert-csv and --export-csv: the real program as a script uses it.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_dir.h"

namespace zorvan {
namespace {

std::tuple<int, std::string, std::string> RunDialer(const test::TempDir& dir, const std::string& args) {
    const std::string out = dir / "stdout.txt";
    const std::string err = dir / "stderr.txt";
    const int status = std::system(("env -i HOME='" + dir.path() + "' '" ZORVAN_DIALER_BINARY "' " + args + " >'" + out +
                                    "' 2>'" + err + "'")
                                       .c_str());
    return {WEXITSTATUS(status), test::ReadFile(out), test::ReadFile(err)};
}

using Row = std::vector<std::string>;
std::vector<Row> Contacts(const std::string& path) {
    std::vector<Row> out;
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return out;
    for (pugi::xml_node c : doc.child("dialer").child("contacts").children()) {
        Row row;
        for (pugi::xml_node f : c.children()) row.push_back(std::string(f.name()) + "=" + f.child_value());
        out.push_back(row);
    }
    return out;
}

std::string Utf16(const std::string& utf8, bool bigEndian) {
    // ASCII and Latin-1 letters are enough for the test's texts.
    std::string out = bigEndian ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned code = static_cast<unsigned char>(utf8[i]);
        if (code >= 0xC0) code = ((code & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
        const char hi = static_cast<char>(code >> 8);
        const char lo = static_cast<char>(code & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

TEST(FileTools, ACsvFileConvertsToACampaignAndItsExportConvertsBack) {
    test::TempDir dir;
    const std::string text =
        "First Name,Last Name,Phone Number,E-Mail Address,Company,Fax Number,City,Comment\r\n"
        "Ann,Lindqvist,(416) 555-0101,ann@example.org,\"Acme, Inc.\",416 555 0199,Toronto,VIP\r\n"
        "\r\n"
        "Siobhán,Ó Súilleabháin,+353 1 555 0102,,,,Dublin,\r\n"
        "Zoë,Müller,030 5550103,zoe@example.de,,,Berlin,\"said \"\"call later\"\"\"\r\n";
    for (const bool bigEndian : {false, true}) {
        const std::string csv = dir / (bigEndian ? "be.csv" : "le.csv");
        const std::string xml = dir / (bigEndian ? "be.xml" : "le.xml");
        test::WriteFile(csv, Utf16(text, bigEndian));
        auto [code, out, err] = RunDialer(dir, "--convert-csv '" + csv + "' '" + xml + "'");
        ASSERT_EQ(code, 0) << err;
        EXPECT_EQ(out, "3 contacts written to " + xml + "\n");
        const auto contacts = Contacts(xml);
        ASSERT_EQ(contacts.size(), 3u) << "the empty line neither counts nor ends the file";
        EXPECT_EQ(contacts[0][0], "fname=Ann");
        EXPECT_EQ(contacts[0][2], "phone=(416) 555-0101");
        EXPECT_EQ(contacts[0][3], "email=") << "\"E-Mail\" is no \"email\"";
        EXPECT_EQ(contacts[0][8], "street=ann@example.org") << "... and its \"address\" makes the column the street";
        EXPECT_EQ(contacts[0][5], "fax=416 555 0199") << "Fax Number is the fax, not the phone";
        EXPECT_EQ(contacts[0][6], "company=Acme, Inc.");
        EXPECT_EQ(contacts[1][1], "lname=Ó Súilleabháin");
        EXPECT_EQ(contacts[2][18], "others=said \"call later\"");

        // Its export converts back to the same contacts.
        const std::string exported = dir / (bigEndian ? "be-export.csv" : "le-export.csv");
        const std::string again = dir / (bigEndian ? "be-again.xml" : "le-again.xml");
        std::tie(code, out, err) = RunDialer(dir, "--export-csv '" + xml + "' '" + exported + "'");
        ASSERT_EQ(code, 0) << err;
        std::tie(code, out, err) = RunDialer(dir, "--convert-csv '" + exported + "' '" + again + "'");
        ASSERT_EQ(code, 0) << err;
        EXPECT_EQ(Contacts(again), contacts);
    }
}

TEST(FileTools, ProblemsAreSaidAndNothingIsReplaced) {
    test::TempDir dir;
    test::WriteFile(dir / "kept.xml", "<dialer><contacts/></dialer>");
    test::WriteFile(dir / "no-phone.csv", "Name,City\nAnn,Oslo\n");
    test::WriteFile(dir / "ok.csv", "Name,Phone\nAnn,5550100\n");
    auto [code, out, err] = RunDialer(dir, "--convert-csv '" + (dir / "ok.csv") + "' '" + (dir / "kept.xml") + "'");
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("exists already"), std::string::npos) << err;
    EXPECT_EQ(test::ReadFile(dir / "kept.xml"), "<dialer><contacts/></dialer>");
    std::tie(code, out, err) = RunDialer(dir, "--convert-csv '" + (dir / "missing.csv") + "' '" + (dir / "n.xml") + "'");
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("missing.csv"), std::string::npos) << err;
    std::tie(code, out, err) = RunDialer(dir, "--convert-csv '" + (dir / "no-phone.csv") + "' '" + (dir / "n.xml") + "'");
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("phone number column"), std::string::npos) << err;
    std::tie(code, out, err) = RunDialer(dir, "--export-csv '" + (dir / "no-phone.csv") + "' '" + (dir / "x.csv") + "'");
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("not a campaign file"), std::string::npos) << err;
    std::tie(code, out, err) = RunDialer(dir, "--export-csv only-one.xml");
    EXPECT_EQ(code, 2);
    EXPECT_NE(err.find("needs two file names"), std::string::npos) << err;
}

}  // namespace
}  // namespace zorvan
