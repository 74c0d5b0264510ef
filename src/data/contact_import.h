#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "data/contact.h"

namespace zorvan {

// Which column of a CSV file holds which contact field; -1: none.
struct ImportMapping {
    int phone = -1;
    int fname = -1;
    int lname = -1;
    int email = -1;
    int website = -1;
    int fax = -1;
    int company = -1;
    int job = -1;
    int street = -1;
    int city = -1;
    int state = -1;
    int country = -1;
    int zip = -1;
    int notes = -1;
    // Columns only this program's own CSV export has, taken by their exact
    // headings, so an export imports back whole.
    int others = -1;
    int cstatus = -1;
    int ctime = -1;
    int ccon = -1;
    int recfile = -1;
    bool skipDuplicates = false;  // "Don't add a phone number if it already exists"
    std::string region;           // of the country code setting: phones compare as E.164 numbers of it
    bool operator==(const ImportMapping&) const = default;
};

// The mapping the first row proposes. Each cell takes the field of the
// first keyword it contains, in the fixed order (first, last, phone,
// number, email, web, fax, company, job, occupation, street, address,
// city, state, province, country, region, zip, postal, note); a later cell
// of the same field replaces an earlier one. A cell that names the phone
// outright keeps the phone column: a later "... number" cell that does not
// say "phone" does not take it over. The export's own headings "Others",
// "Call status" (or "Call disposition"), "Call time", "Call duration" and
// "Recorded file" map to those fields.
ImportMapping DetectHeader(const std::vector<std::string>& header);

// One data row as a contact: mapped cells to their fields, every other
// cell appended to `others` (after the mapped others cell), joined with " ,".
Contact ConvertRow(const std::vector<std::string>& cells, const ImportMapping& mapping);
Contact ConvertRow(std::vector<std::string>&& cells, const ImportMapping& mapping);

// Phones as the dialer dials them (separators removed, letters in one
// case), for the duplicate check.
// The key duplicates are found by: the E.164 form where the phone reads as a
// number of the region, else the phone without separators, in lower case.
std::string PhoneKey(const std::string& phone, const std::string& region = {});

// The data rows (the first row of a file is its header and is not passed
// here) as contacts. With skipDuplicates, a row whose phone is already in
// `phones` (the open campaign's, then the file's own as they come) is left
// out; a row without a phone is never a duplicate.
std::vector<Contact> ConvertRows(const std::vector<std::vector<std::string>>& rows, const ImportMapping& mapping,
                                 std::unordered_set<std::string> phones = {});
// The same, taking the cells over instead of copying them.
std::vector<Contact> ConvertRows(std::vector<std::vector<std::string>>&& rows, const ImportMapping& mapping,
                                 std::unordered_set<std::string> phones = {});

}  // namespace zorvan
