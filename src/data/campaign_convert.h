#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zorvan {

// The rows of a CSV file as the import reads them (UTF-16 LE/BE, UTF-8, the
// code page), lines without any text left out. Throws FileError.
std::vector<std::vector<std::string>> ReadCsvRows(const std::string& path);

// For scripts: a CSV file into a new campaign file with the mapping its
// header proposes (no duplicate check). The campaign file must not exist
// yet. False, with the reason, when nothing was written.
bool ConvertCsvToCampaign(const std::string& csv, const std::string& campaign, std::size_t* contacts,
                          std::string* error);

// For scripts: a campaign file's CSV export ("Call status" heading). False,
// with the reason, when nothing was written.
bool ExportCampaignToCsv(const std::string& campaign, const std::string& csv, std::size_t* contacts,
                         std::string* error);

// For scripts: a campaign file's HTML report. False, with the reason, when
// nothing was written.
bool ReportCampaignAsHtml(const std::string& campaign, const std::string& html, std::size_t* contacts,
                          std::string* error);

}  // namespace zorvan
