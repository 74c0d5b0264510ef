#include "data/exports.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "data/text_file.h"

namespace zorvan {

void WriteCsvExport(const std::string& path, const std::vector<Contact>& contacts, CsvHeading heading) {
    CCSVFile file = CCSVFile::CreateForWriting(path);
    file.WriteRow({"First name", "Last name", "Phone", "Email", "Website", "Fax", "Company", "Job title",
                   "Street address", "City", "State", "Country", "Zip", "Notes", "Others",
                   heading == CsvHeading::CallDisposition ? "Call disposition" : "Call status", "Call time",
                   "Call duration", "Recorded file"});
    for (const Contact& c : contacts) {
        file.WriteRow({c.fname, c.lname, c.phone, c.email, c.website, c.fax, c.company, c.job, c.street, c.city,
                       c.state, c.country, c.zip, c.notes, c.others, c.cstatus, c.ctime, c.ccon, c.recfile});
    }
    file.Close();
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

namespace {

// The page head and style sheet, piece by piece.
constexpr const char* kHead[] = {
    "<html>", "<head>", "<style>",
    "table", "{", "font-family: Tahoma;", "font-size: 8pt;", "border: solid 1px #cbcbcb;", "width: 100%;",
    "margin: 0px;", "border-collapse:collapse;", "}",
    "table tr", "{", "background-color:white;", "}",
    "table tr td", "{", "border: solid 1px #cbcbcb;", "white-space:nowrap;", "padding-top:2px;",
    "padding-bottom:2px;", "padding-left:10px;", "padding-right:10px;", "}",
    "table tr th", "{", "background-color:#918891;", "border-color: #989898 #cbcbcb #989898 #989898;",
    "border-style: solid solid solid none;", "border-width: 1px 1px 1px medium;", "color: #000;",
    "padding: 4px 5px 4px 10px;", "text-align: center;", "vertical-align: bottom;", "white-space: nowrap;", "}",
    "tr.sep", "{", "background-color: #dbeaff;", "}",
    "a", "{", "color:Blue;", "text-decoration:none;", "}",
    "a:hover", "{", "color:Blue;", "text-decoration:underline;", "}",
    "#collapse", "{", "width: 12px;", "border-right: 0px;", "padding-left: 3px;", "padding-right: 3px;",
    "vertical-align:top;", "}",
    "th#fname", "{", "text-align:center;", "}",
    "#fname ", "{", "text-align: left;", "width: 10%;", "padding-left: 0px;", "vertical-align:top;",
    " border-left:0px;", "}",
    "#phone,#lname,#stime,#duration", "{", "vertical-align:top;", "text-align: center;", "width:10%;", "} ",
    "#notes,#status", "{", "vertical-align:top;", "text-align: center;", "width: 12%;", "}",
    // Printed, long cells wrap instead of running off the page.
    "@media print{table tr td{white-space:normal;}.chart svg{max-width:100%;height:auto;}}",
    "</style>", "</head>", "<body>",
};

constexpr char kHeadingRow[] =
    "<tr><th id=\"fname\">FirstName</th><th id=\"lname\">Listname</th><th id=\"phone\">Phone</th>"
    "<th id=\"notes\">Notes</th><th id=\"stime\">Time</th><th id=\"duration\">Duration</th>"
    "<th id=\"status\">Call Disposition</th></tr>";

}  // namespace

std::string FileUrl(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = !path.empty() && path.front() == '/' ? "file://" : "";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            url += ch;
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

std::string DispositionChart(const std::vector<std::pair<std::string, int>>& counts) {
    constexpr int kBars = 360;
    constexpr int kRow = 24;
    int most = 1;
    std::size_t longest = 0;
    for (const auto& [text, n] : counts) {
        most = std::max(most, n);
        longest = std::max(longest, text.size());
    }
    // Room for the longest label at about 7 pixels a character of 12 px type.
    const int kLabel = static_cast<int>(std::clamp<std::size_t>(longest * 7 + 16, 120, 420));
    const int height = static_cast<int>(counts.size()) * kRow + 8;
    std::string svg = "<div class=\"chart\"><h3 style=\"font-family: Tahoma; font-size: 10pt;\">Calls by disposition</h3>"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-label=\"Calls by disposition\" "
                      "width=\"" + std::to_string(kLabel + kBars + 60) + "\" height=\"" + std::to_string(height) +
                      "\" font-family=\"Tahoma, sans-serif\" font-size=\"12\">";
    int y = 4;
    for (const auto& [text, n] : counts) {
        const int width = std::max(1, n * kBars / most);
        svg += "<text x=\"" + std::to_string(kLabel - 8) + "\" y=\"" + std::to_string(y + 15) +
               "\" text-anchor=\"end\">" + HtmlEscape(text) + "</text>";
        svg += "<rect class=\"bar\" x=\"" + std::to_string(kLabel) + "\" y=\"" + std::to_string(y + 2) +
               "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(kRow - 6) +
               "\" fill=\"#5b7fb5\" stroke=\"#2f4f7f\" data-count=\"" + std::to_string(n) + "\"/>";
        svg += "<text x=\"" + std::to_string(kLabel + width + 6) + "\" y=\"" + std::to_string(y + 15) + "\">" +
               std::to_string(n) + "</text>";
        y += kRow;
    }
    return svg + "</svg></div>";
}

ReportCounts WriteHtmlReport(const std::string& path, const std::vector<Contact>& contacts) {
    CUTF16File file = CUTF16File::CreateForWriting(path);
    for (const char* piece : kHead) file.WriteString(piece);
    ReportCounts counts;
    for (const Contact& c : contacts) {
        const std::string text = c.cstatus.empty() ? std::string("Not called") : c.cstatus;
        auto at = std::find_if(counts.byDisposition.begin(), counts.byDisposition.end(),
                               [&text](const auto& entry) { return entry.first == text; });
        if (at == counts.byDisposition.end()) {
            counts.byDisposition.emplace_back(text, 1);
        } else {
            ++at->second;
        }
    }
    // The chart above the table (bars print, being drawn, not backgrounds).
    file.WriteString(DispositionChart(counts.byDisposition));
    file.WriteString("<table>");
    file.WriteString(kHeadingRow);
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        const Contact& c = contacts[i];
        if (c.ccon.empty()) {
            ++counts.failed;
        } else {
            ++counts.answered;
        }
        std::string row = (i % 2 == 0) ? "<tr>" : "<tr class=\"sep\">";
        for (const std::string* cell : {&c.fname, &c.lname, &c.phone, &c.notes, &c.ctime, &c.ccon}) {
            row += "<td>" + HtmlEscape(*cell) + "</td>";
        }
        row += "<td>" + HtmlEscape(c.cstatus);
        if (!c.recfile.empty()) row += " <a href=\"" + HtmlEscape(FileUrl(c.recfile)) + "\">Recorded File</a>";
        row += "</td></tr>";
        file.WriteString(row);
    }
    counts.total = static_cast<int>(contacts.size());
    char summary[160];
    std::snprintf(summary, sizeof summary, "<p>Summary: Total %d Calls. Answered %d Calls. Failed %d Calls.</p>",
                  counts.total, counts.answered, counts.failed);
    file.WriteString("</table>");
    file.WriteString(summary);
    file.WriteString("</body>");
    file.WriteString("</html>");
    file.Close();
    return counts;
}

}  // namespace zorvan
