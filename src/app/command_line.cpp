#include "app/command_line.h"

#include <filesystem>
#include <sstream>

namespace zorvan {

namespace {
constexpr const char* kVersion = "1.2.5.21";

std::optional<DialStart> DialOf(const std::string& word) {
    if (word == "auto") return DialStart::Automatic;
    if (word == "semi") return DialStart::SemiAutomatic;
    return std::nullopt;
}
}  // namespace

std::string UsageText() {
    return "Usage: zorvan-dialer [--open FILE] [--dial auto|semi]\n"
           "Calls a campaign of contacts through the Skype client.\n"
           "\n"
           "  --open FILE        open the campaign file FILE\n"
           "  --dial auto|semi   start automatic or semi-automatic dialing once the\n"
           "                     campaign is open and Skype is connected (waits up\n"
           "                     to a minute for both)\n"
           "  --convert-csv IN.csv OUT.xml\n"
           "                     import a CSV file into a new campaign file with the\n"
           "                     mapping its header proposes, and exit\n"
           "  --export-csv IN.xml OUT.csv\n"
           "                     write a campaign file's CSV export, and exit\n"
           "  --html-report IN.xml OUT.html\n"
           "                     write a campaign file's HTML report, and exit\n"
           "  -h, --help         show this help and exit\n"
           "      --version      show the version and exit\n"
           "\n"
           "Given to a second start, --open and --dial go to the dialer that runs.\n";
}

std::string VersionText() { return std::string("zorvan-dialer ") + kVersion + "\n"; }

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& workingFolder) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size() && line.error.empty(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) {
                line.error = "option '" + arg + "' needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "--open") {
            if (!takeValue()) break;
            if (value.empty()) {
                line.error = "option '--open' needs a file name";
                break;
            }
            std::filesystem::path path(value);
            if (path.is_relative()) path = std::filesystem::path(workingFolder) / path;
            line.open = path.lexically_normal().string();
        } else if (arg == "--convert-csv" || arg == "--export-csv" || arg == "--html-report") {
            if (hasValue || i + 2 >= args.size()) {
                line.error = "option '" + arg + "' needs two file names";
                break;
            }
            auto& files = arg == "--convert-csv" ? line.convertCsv
                          : arg == "--export-csv"  ? line.exportCsv
                                                   : line.htmlReport;
            for (int k = 0; k < 2; ++k) {
                std::filesystem::path path(args[++i]);
                if (path.is_relative()) path = std::filesystem::path(workingFolder) / path;
                files.push_back(path.lexically_normal().string());
            }
        } else if (arg == "--dial") {
            if (!takeValue()) break;
            line.dial = DialOf(value);
            if (!line.dial) line.error = "'--dial' takes 'auto' or 'semi', not '" + value + "'";
        } else {
            line.error = "unknown option '" + args[i] + "'";
        }
    }
    return line;
}

std::string EncodeRequest(const CommandLine& line) {
    std::string text = "activate\n";
    if (!line.open.empty()) text += "open " + line.open + "\n";
    if (line.dial) text += line.dial == DialStart::Automatic ? "dial auto\n" : "dial semi\n";
    return text;
}

CommandLine DecodeRequest(const std::string& text) {
    CommandLine line;
    std::istringstream in(text);
    std::string row;
    while (std::getline(in, row)) {
        if (row.rfind("open ", 0) == 0) line.open = row.substr(5);
        if (row.rfind("dial ", 0) == 0) line.dial = DialOf(row.substr(5));
    }
    return line;
}

}  // namespace zorvan
