#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan {

// One contact of a campaign: 19 texts and the identity of its grid row.
struct Contact {
    std::string fname;
    std::string lname;
    std::string phone;  // as entered; never normalised in place
    std::string email;
    std::string website;
    std::string fax;
    std::string company;
    std::string job;
    std::string street;
    std::string city;
    std::string state;
    std::string country;
    std::string zip;
    std::string notes;
    std::string cstatus;  // disposition of the last call
    std::string ctime;    // "%H:%M:%S" when the last call was placed
    std::string ccon;     // "%H:%M:%S" talk time of the last connected call
    std::string recfile;  // recording of the last call
    std::string others;   // unmapped imported cells joined by " ,"
    std::int32_t id = 0;

    bool operator==(const Contact&) const = default;
};

struct ContactField {
    std::string_view key;
    std::string Contact::*member;
};

// The fields in the order of the campaign file.
inline constexpr std::array<ContactField, 19> kContactFields{{
    {"fname", &Contact::fname},     {"lname", &Contact::lname},     {"phone", &Contact::phone},
    {"email", &Contact::email},     {"website", &Contact::website}, {"fax", &Contact::fax},
    {"company", &Contact::company}, {"job", &Contact::job},         {"street", &Contact::street},
    {"city", &Contact::city},       {"state", &Contact::state},     {"country", &Contact::country},
    {"zip", &Contact::zip},         {"notes", &Contact::notes},     {"cstatus", &Contact::cstatus},
    {"ctime", &Contact::ctime},     {"ccon", &Contact::ccon},       {"recfile", &Contact::recfile},
    {"others", &Contact::others},
}};

// The name of a contact's element in the campaign file: "c" and the id in
// lower-case hexadecimal without leading zeros.
std::string ContactElementName(std::int32_t id);

// Removes the separators people write into phone numbers (blank, . , - _
// brackets of every kind, and their full-width and ideographic forms);
// everything else, digits, plus signs and letters included, stays.
std::string NormalizePhoneNumber(std::string_view text);

}  // namespace zorvan
