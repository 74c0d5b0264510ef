#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/contact.h"

namespace zorvan {

// The disposition column's heading: "Call disposition" for the menu's CSV
// report, "Call status" for the exports and the toolbar's CSV report.
enum class CsvHeading { CallStatus, CallDisposition };

// All 19 fields of every contact, in list order, as a UTF-16 CSV file.
// Throws FileError when the file cannot be created.
void WriteCsvExport(const std::string& path, const std::vector<Contact>& contacts, CsvHeading heading);

struct ReportCounts {
    int total = 0;
    int answered = 0;  // a talk time was recorded
    int failed = 0;
    // Contacts per disposition text, in the order the texts first appear
    // ("Not called" for an empty one): the bars of the report's chart.
    std::vector<std::pair<std::string, int>> byDisposition;
};

// The HTML report: one row per contact with the summary line. Every value
// is escaped, so contact data can never become markup in the browser.
// Throws FileError when the file cannot be created.
ReportCounts WriteHtmlReport(const std::string& path, const std::vector<Contact>& contacts);

// &, <, > and " as character references.
std::string HtmlEscape(std::string_view text);

// A file path as a link: an absolute path becomes a file: URL; every byte
// outside the unreserved characters and "/" is percent-encoded, so names
// with "#", "?", "%" or blanks open.
std::string FileUrl(std::string_view path);

// The counts per disposition as an inline SVG bar chart (no script,
// nothing fetched).
std::string DispositionChart(const std::vector<std::pair<std::string, int>>& counts);

}  // namespace zorvan
