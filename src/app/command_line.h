#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvan {

enum class DialStart { Automatic, SemiAutomatic };

// What the program was asked on its command line.
struct CommandLine {
    bool help = false;
    bool version = false;
    std::string open;                // a campaign file to open, absolute
    std::optional<DialStart> dial;   // dialing to start once it is open and Skype connected
    // For scripts, without a window: IN and OUT, absolute.
    std::vector<std::string> convertCsv;  // --convert-csv IN.csv OUT.xml
    std::vector<std::string> exportCsv;   // --export-csv IN.xml OUT.csv
    std::vector<std::string> htmlReport;  // --html-report IN.xml OUT.html
    std::string error;               // a malformed command line: what is wrong
};

// The options after the program's name (Qt's own already taken out).
// Relative paths are taken from `workingFolder`.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& workingFolder);

std::string UsageText();
std::string VersionText();

// The request as one instance hands it to the running one, line by line,
// and back.
std::string EncodeRequest(const CommandLine& line);
CommandLine DecodeRequest(const std::string& text);

}  // namespace zorvan
