#include <gtest/gtest.h>

#include "data/exports.h"
#include "data/text_file.h"
#include "support/temp_dir.h"

namespace zorvan {
namespace {

// A UTF-16LE file back to UTF-8 text.
std::string Text(const std::string& path) {
    CUTF16File file = CUTF16File::OpenForReading(path);
    EXPECT_EQ(file.encoding(), CUTF16File::Encoding::Utf16Le);
    std::string all, line;
    while (file.ReadLine(line)) all += line + "\n";
    return all;
}

std::vector<Contact> Sample() {
    Contact a;
    a.fname = "Ann";
    a.phone = "111";
    a.notes = "<b>x</b>, \"quoted\" & more";
    a.cstatus = "Call Succeeded";
    a.ccon = "00:00:30";
    a.recfile = "/home/u/Documents/Zorvan/a \"1\".mp3";
    Contact b;
    b.fname = "Bob";
    b.cstatus = "Line is Busy";
    Contact never;
    never.fname = "Cy";
    return {a, b, never};
}

TEST(Exports, CsvExportAndReportDifferOnlyInTheDispositionHeading) {
    test::TempDir dir;
    WriteCsvExport(dir / "export.csv", Sample(), CsvHeading::CallStatus);
    WriteCsvExport(dir / "report.csv", Sample(), CsvHeading::CallDisposition);
    CCSVFile exported = CCSVFile::OpenForReading(dir / "export.csv");
    CCSVFile reported = CCSVFile::OpenForReading(dir / "report.csv");
    std::vector<std::string> a, b;
    ASSERT_TRUE(exported.ReadRow(a));
    ASSERT_TRUE(reported.ReadRow(b));
    ASSERT_EQ(a.size(), 19u);
    EXPECT_EQ(a[15], "Call status");
    EXPECT_EQ(b[15], "Call disposition");
    a[15] = b[15];
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[13], "Notes");
    EXPECT_EQ(a[14], "Others");
    ASSERT_TRUE(exported.ReadRow(a));
    EXPECT_EQ(a[0], "Ann");
    EXPECT_EQ(a[13], Sample()[0].notes) << "commas and quotes survive the round trip";
    EXPECT_EQ(a[15], "Call Succeeded");
    EXPECT_EQ(a[18], Sample()[0].recfile);
    EXPECT_NE(test::ReadFile(dir / "export.csv").find(std::string("\"\0\"\0q\0", 6)), std::string::npos)
        << "an inner quote is doubled";

    WriteCsvExport(dir / "empty.csv", {}, CsvHeading::CallStatus);
    EXPECT_EQ(Text(dir / "empty.csv").substr(0, 11), "First name,");
    EXPECT_THROW(WriteCsvExport(dir / "no/dir.csv", Sample(), CsvHeading::CallStatus), FileError);
}

TEST(Exports, HtmlReportRowsLinksSummaryAndEscaping) {
    test::TempDir dir;
    const ReportCounts counts = WriteHtmlReport(dir / "r.html", Sample());
    EXPECT_EQ(counts.total, 3);
    EXPECT_EQ(counts.answered, 1);
    EXPECT_EQ(counts.failed, 2) << "a disposition without talk time is a failed call";
    const std::string html = Text(dir / "r.html");
    EXPECT_EQ(html.find('\n'), html.size() - 1) << "written as one line";
    EXPECT_EQ(html.rfind("<html><head><style>table{font-family: Tahoma;font-size: 8pt;", 0), 0u);
    EXPECT_NE(html.find("#fname {text-align: left;width: 10%;padding-left: 0px;vertical-align:top; border-left:0px;}"),
              std::string::npos);
    EXPECT_NE(html.find("width:10%;} #notes,#status{"), std::string::npos);
    EXPECT_NE(html.find("@media print{table tr td{white-space:normal;}"), std::string::npos) << "readable printed";
    EXPECT_NE(html.find("</style></head><body><div class=\"chart\">"), std::string::npos) << "the chart first";
    EXPECT_NE(html.find("</svg></div><table><tr><th id=\"fname\">FirstName</th><th id=\"lname\">Listname</th>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>Ann</td><td></td><td>111</td><td>&lt;b&gt;x&lt;/b&gt;, &quot;quoted&quot; &amp; more"
                        "</td><td></td><td>00:00:30</td><td>Call Succeeded <a href=\"file:///home/u/Documents/Zorvan/a"
                        "%20%221%22.mp3\">Recorded File</a></td></tr>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<tr class=\"sep\"><td>Bob</td>"), std::string::npos);
    EXPECT_NE(html.find("</td></tr><tr><td>Cy</td>"), std::string::npos) << "the third row has no class again";
    EXPECT_NE(html.find("</table><p>Summary: Total 3 Calls. Answered 1 Calls. Failed 2 Calls.</p></body></html>"),
              std::string::npos);
    EXPECT_EQ(html.find("<b>x"), std::string::npos) << "contact data never becomes markup";

    // The chart's bars count what the table holds.
    EXPECT_EQ(counts.byDisposition, (std::vector<std::pair<std::string, int>>{
                                        {"Call Succeeded", 1}, {"Line is Busy", 1}, {"Not called", 1}}));
    for (const auto& [text, n] : counts.byDisposition) {
        EXPECT_NE(html.find(">" + text + "</text><rect class=\"bar\""), std::string::npos) << text;
    }
    std::size_t bars = 0;
    for (auto at = html.find("data-count=\"1\""); at != std::string::npos; at = html.find("data-count=\"1\"", at + 1)) ++bars;
    EXPECT_EQ(bars, 3u);
    EXPECT_EQ(html.find("<script"), std::string::npos) << "nothing runs, nothing is fetched";

    EXPECT_EQ(FileUrl("/rec/a#1?x%.mp3"), "file:///rec/a%231%3Fx%25.mp3");
    EXPECT_EQ(FileUrl("/rec/Zo\xC3\xAB 1.mp3"), "file:///rec/Zo%C3%AB%201.mp3");

    const ReportCounts none = WriteHtmlReport(dir / "empty.html", {});
    EXPECT_EQ(none.total + none.answered + none.failed, 0);
    EXPECT_NE(Text(dir / "empty.html").find("Summary: Total 0 Calls. Answered 0 Calls. Failed 0 Calls."),
              std::string::npos);
}

}  // namespace
}  // namespace zorvan
