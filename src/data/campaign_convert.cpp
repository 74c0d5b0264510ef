#include "data/campaign_convert.h"

#include <algorithm>
#include <filesystem>

#include "data/campaign_io.h"
#include "data/campaign_store.h"
#include "data/contact_import.h"
#include "data/exports.h"
#include "data/text_file.h"

namespace zorvan {

std::vector<std::vector<std::string>> ReadCsvRows(const std::string& path) {
    CCSVFile file = CCSVFile::OpenForReading(path);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    while (file.ReadRow(row)) {
        // An empty line is no row, and does not end the file either.
        const bool blank = std::all_of(row.begin(), row.end(), [](const std::string& c) { return c.empty(); });
        if (!blank) rows.push_back(row);
    }
    return rows;
}

bool ConvertCsvToCampaign(const std::string& csv, const std::string& campaign, std::size_t* contacts,
                          std::string* error) {
    std::error_code ec;
    if (std::filesystem::exists(campaign, ec)) {
        *error = "'" + campaign + "' exists already; it is not replaced";
        return false;
    }
    std::vector<std::vector<std::string>> rows;
    try {
        rows = ReadCsvRows(csv);
    } catch (const FileError& e) {
        *error = e.what();
        return false;
    }
    if (rows.empty()) {
        *error = "'" + csv + "' holds no rows";
        return false;
    }
    const ImportMapping mapping = DetectHeader(rows.front());
    if (mapping.phone < 0) {
        *error = "no heading in the first row of '" + csv + "' names the phone number column";
        return false;
    }
    rows.erase(rows.begin());
    std::vector<Contact> converted = ConvertRows(std::move(rows), mapping);
    CampaignStore store;
    store.Bind(campaign);
    store.RemoveAllContacts();  // the "contacts" element even for none
    std::int32_t id = 0;
    for (Contact& c : converted) {
        c.id = ++id;
        store.WriteContact(c, true);
    }
    if (!store.SaveIfModified()) {
        *error = "'" + campaign + "' could not be written";
        return false;
    }
    *contacts = converted.size();
    return true;
}

namespace {
bool ReadForExport(const std::string& campaign, CampaignFileRead& read, std::string* error) {
    read = ReadCampaignFile(campaign);
    if (read.result == CampaignOpenResult::NoFile) {
        *error = "cannot open '" + campaign + "': no such campaign file";
        return false;
    }
    if (read.result != CampaignOpenResult::Opened) {
        *error = "'" + campaign + "' is not a campaign file";
        return false;
    }
    return true;
}
}  // namespace

bool ExportCampaignToCsv(const std::string& campaign, const std::string& csv, std::size_t* contacts,
                         std::string* error) {
    CampaignFileRead read;
    if (!ReadForExport(campaign, read, error)) return false;
    try {
        WriteCsvExport(csv, read.contacts, CsvHeading::CallStatus);
    } catch (const FileError& e) {
        *error = e.what();
        return false;
    }
    *contacts = read.contacts.size();
    return true;
}

bool ReportCampaignAsHtml(const std::string& campaign, const std::string& html, std::size_t* contacts,
                          std::string* error) {
    CampaignFileRead read;
    if (!ReadForExport(campaign, read, error)) return false;
    try {
        WriteHtmlReport(html, read.contacts);
    } catch (const FileError& e) {
        *error = e.what();
        return false;
    }
    *contacts = read.contacts.size();
    return true;
}

}  // namespace zorvan
