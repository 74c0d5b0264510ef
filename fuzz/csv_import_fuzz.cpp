// Fuzz target: a CSV or text file as a spreadsheet or an editor wrote it
// (any encoding, any quoting) read into rows, its first row taken as the
// header of an import, the rest converted to contacts with the duplicate
// check on.
#include <cstddef>
#include <cstdint>

#include "data/campaign_convert.h"
#include "data/contact_import.h"
#include "data/text_file.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zorvan;
    const std::string path = fuzz::AsFile(data, size, "contacts.csv");
    std::vector<std::vector<std::string>> rows;
    try {
        rows = ReadCsvRows(path);
    } catch (const FileError&) {
        return 0;
    }
    std::vector<std::string> cells;
    CCSVFile::SplitRow(std::string_view(reinterpret_cast<const char*>(data), size), cells);
    if (rows.empty()) return 0;
    ImportMapping mapping = DetectHeader(rows.front());
    mapping.skipDuplicates = true;
    mapping.region = size % 2 == 0 ? "US" : "GB";
    rows.erase(rows.begin());
    const std::vector<Contact> contacts = ConvertRows(std::move(rows), mapping);
    for (const Contact& c : contacts) {
        // A cell is never longer than its bytes decoded (a code-page byte
        // becomes at most three bytes of UTF-8).
        if (c.phone.size() > 3 * size) std::abort();
    }
    return 0;
}
