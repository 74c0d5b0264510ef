#pragma once

#include <string>

#include "data/exports.h"
#include "platform/event_loop.h"

namespace zorvan {

class ContactList;
class Prompts;
class Shell;

// The export and report commands: the CSV export and report, and the HTML
// report, each with its save dialog and the please-wait window while it
// writes. A file that cannot be written is said, and the please-wait
// window always goes. UI thread only.
class ReportRoom {
public:
    struct Services {
        EventLoop& loop;
        Prompts& prompts;
        Shell& shell;
        ContactList& contacts;
        std::string documentsFolder;
        TargetId busyTarget = kNoTarget;  // receives UM_BUSY 1 and 0
    };
    explicit ReportRoom(Services services) : services_(std::move(services)) {}

    // "Export CSV File", "Export CSV file", "CSV Report" and "CSV report".
    void ExportCsv(CsvHeading heading);
    // "Web Report" and "HTML report": written, then opened.
    void HtmlReport();
    const std::string& reportPath() const { return reportPath_; }

private:
    void Busy(bool on);
    void Failed(const std::string& what);

    Services services_;
    std::string reportPath_;
};

}  // namespace zorvan
