#include "data/contact_import.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <type_traits>

#include "data/phone_numbers.h"

namespace zorvan {

namespace {

struct Keyword {
    const char* word;
    int ImportMapping::*field;
};

constexpr std::array<Keyword, 20> kKeywords{{
    {"first", &ImportMapping::fname},      {"last", &ImportMapping::lname},
    {"phone", &ImportMapping::phone},      {"number", &ImportMapping::phone},
    {"email", &ImportMapping::email},      {"web", &ImportMapping::website},
    {"fax", &ImportMapping::fax},          {"company", &ImportMapping::company},
    {"job", &ImportMapping::job},          {"occupation", &ImportMapping::job},
    {"street", &ImportMapping::street},    {"address", &ImportMapping::street},
    {"city", &ImportMapping::city},        {"state", &ImportMapping::state},
    {"province", &ImportMapping::state},   {"country", &ImportMapping::country},
    {"region", &ImportMapping::country},   {"zip", &ImportMapping::zip},
    {"postal", &ImportMapping::zip},       {"note", &ImportMapping::notes},
}};

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c); });
    return text;
}

}  // namespace

ImportMapping DetectHeader(const std::vector<std::string>& header) {
    ImportMapping m;
    bool phoneNamed = false;  // the phone column came from a cell saying "phone"
    static const std::array<std::pair<const char*, int ImportMapping::*>, 6> exported{{
        {"others", &ImportMapping::others},
        {"call status", &ImportMapping::cstatus},
        {"call disposition", &ImportMapping::cstatus},
        {"call time", &ImportMapping::ctime},
        {"call duration", &ImportMapping::ccon},
        {"recorded file", &ImportMapping::recfile},
    }};
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string cell = AsciiLower(header[i]);
        const auto own = std::find_if(exported.begin(), exported.end(),
                                      [&cell](const auto& e) { return cell == e.first; });
        if (own != exported.end()) {
            m.*(own->second) = static_cast<int>(i);
            continue;
        }
        for (std::size_t k = 0; k < kKeywords.size(); ++k) {
            const Keyword& keyword = kKeywords[k];
            if (cell.find(keyword.word) == std::string::npos) continue;
            const bool byNumber = std::string_view(keyword.word) == "number";
            if (byNumber) {
                // "Fax Number", "Account Number": the rest of the cell may
                // name its field better; and a named phone column stays.
                const auto other = std::find_if(kKeywords.begin() + static_cast<std::ptrdiff_t>(k) + 1, kKeywords.end(),
                                                [&](const Keyword& kw) { return cell.find(kw.word) != std::string::npos; });
                if (other != kKeywords.end()) {
                    m.*(other->field) = static_cast<int>(i);
                    break;
                }
                if (phoneNamed) break;
            }
            m.*(keyword.field) = static_cast<int>(i);
            if (keyword.field == &ImportMapping::phone && !byNumber) phoneNamed = true;
            break;
        }
    }
    return m;
}

namespace {
template <class Cells>
Contact Convert(Cells&& cells, const ImportMapping& m) {
    constexpr bool kMove = !std::is_lvalue_reference_v<Cells>;
    const auto take = [&cells](std::size_t col) -> std::string {
        if constexpr (kMove) {
            return std::move(cells[col]);
        } else {
            return cells[col];
        }
    };
    Contact c;
    if (m.others >= 0 && static_cast<std::size_t>(m.others) < cells.size()) c.others = take(static_cast<std::size_t>(m.others));
    const std::array<std::pair<int, std::string Contact::*>, 19> fields{{
        {m.phone, &Contact::phone},
        {m.fname, &Contact::fname},
        {m.lname, &Contact::lname},
        {m.email, &Contact::email},
        {m.website, &Contact::website},
        {m.fax, &Contact::fax},
        {m.company, &Contact::company},
        {m.job, &Contact::job},
        {m.street, &Contact::street},
        {m.city, &Contact::city},
        {m.state, &Contact::state},
        {m.country, &Contact::country},
        {m.zip, &Contact::zip},
        {m.notes, &Contact::notes},
        {m.others, nullptr},
        {m.cstatus, &Contact::cstatus},
        {m.ctime, &Contact::ctime},
        {m.ccon, &Contact::ccon},
        {m.recfile, &Contact::recfile},
    }};
    for (std::size_t col = 0; col < cells.size(); ++col) {
        const auto at = std::find_if(fields.begin(), fields.end(),
                                     [col](const auto& f) { return f.first == static_cast<int>(col); });
        if (at != fields.end()) {
            if (at->second != nullptr) c.*(at->second) = take(col);
        } else {
            if (!c.others.empty()) c.others += " ,";
            c.others += cells[col];
        }
    }
    return c;
}

template <class Rows>
std::vector<Contact> ConvertAll(Rows&& rows, const ImportMapping& mapping, std::unordered_set<std::string> phones) {
    std::vector<Contact> out;
    out.reserve(rows.size());
    for (auto& row : rows) {
        Contact c = std::is_lvalue_reference_v<Rows> ? Convert(row, mapping) : Convert(std::move(row), mapping);
        if (mapping.skipDuplicates && !c.phone.empty()) {
            if (!phones.insert(PhoneKey(c.phone, mapping.region)).second) continue;
        }
        out.push_back(std::move(c));
    }
    return out;
}
}  // namespace

Contact ConvertRow(const std::vector<std::string>& cells, const ImportMapping& m) { return Convert(cells, m); }
Contact ConvertRow(std::vector<std::string>&& cells, const ImportMapping& m) { return Convert(std::move(cells), m); }

std::string PhoneKey(const std::string& phone, const std::string& region) {
    if (auto e164 = phone::ToE164(phone, region)) return *std::move(e164);
    return AsciiLower(NormalizePhoneNumber(phone));
}

std::vector<Contact> ConvertRows(const std::vector<std::vector<std::string>>& rows, const ImportMapping& mapping,
                                 std::unordered_set<std::string> phones) {
    return ConvertAll(rows, mapping, std::move(phones));
}

std::vector<Contact> ConvertRows(std::vector<std::vector<std::string>>&& rows, const ImportMapping& mapping,
                                 std::unordered_set<std::string> phones) {
    return ConvertAll(std::move(rows), mapping, std::move(phones));
}

}  // namespace zorvan
