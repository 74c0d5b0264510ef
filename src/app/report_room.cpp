#include "app/report_room.h"

#include "data/contact_list.h"
#include "data/text_file.h"
#include "dial/local_time.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "platform/um_events.h"

namespace zorvan {

void ReportRoom::Busy(bool on) {
    if (services_.busyTarget != kNoTarget) services_.loop.post(services_.busyTarget, {um::UM_BUSY, on ? 1u : 0u, 0});
}

void ReportRoom::Failed(const std::string& what) {
    services_.prompts.messageBox("Zorvan Dialer", "The file could not be written:\n" + what, PromptIcon::Error,
                                 PromptButtons::Ok);
}

void ReportRoom::ExportCsv(CsvHeading heading) {
    FileDialogRequest request;
    request.caption = "Save As";
    request.folder = services_.documentsFolder;
    request.defaultName = LocalTimeText(services_.loop.wallNow(), "%Y-%m-%d") + "-Campaign";
    request.defaultSuffix = "csv";
    request.filter = "CSV Files (*.csv)";
    request.confirmOverwrite = true;
    const auto path = services_.prompts.saveFile(request);
    if (!path) return;
    Busy(true);
    try {
        WriteCsvExport(*path, services_.contacts.Snapshot(), heading);
    } catch (const FileError& e) {
        Failed(e.what());
    }
    Busy(false);
}

void ReportRoom::HtmlReport() {
    FileDialogRequest request;
    request.caption = "Save As";
    request.folder = services_.documentsFolder;
    request.defaultName = LocalTimeText(services_.loop.wallNow(), "%m_%d_%Y-%H_%M_%S") + "-Report.html";
    request.defaultSuffix = "html";
    request.filter = "HTML File (*.html)";
    request.confirmOverwrite = true;
    const auto path = services_.prompts.saveFile(request);
    // A cancelled dialog writes and opens nothing.
    if (!path) return;
    reportPath_ = *path;
    Busy(true);
    bool written = true;
    try {
        WriteHtmlReport(reportPath_, services_.contacts.Snapshot());
    } catch (const FileError& e) {
        written = false;
        Failed(e.what());
    }
    Busy(false);
    if (written) services_.shell.Open(reportPath_);
}

}  // namespace zorvan
