#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// Phone numbers as the telephone network reads them, through libphonenumber.
// The country code setting ("+44") names the region a number without its
// own international prefix belongs to; numbers are compared and dialled in
// E.164 form ("+442079460958"). Thread-safe.
namespace phone {

// The calling code the setting names ("+44", "44", "0044", " +1 ") or 0.
int CallingCode(std::string_view countryCode);
// The main region of that calling code ("GB" for "+44"), or empty when the
// code is unknown or shared by no region (global services).
std::string RegionOf(std::string_view countryCode);

// What the dialer sends for a phone cell.
struct DialTarget {
    enum class Kind {
        Number,      // `text` is the E.164 number
        Impossible,  // no telephone number can be read from the text
        AsTyped,     // the country code names no region: the code and the text as they stand
    };
    Kind kind = Kind::AsTyped;
    std::string text;
};
// A national number (with its trunk prefix or without it), a number with
// "+" and one with the international prefix "00" all give E.164.
DialTarget ForDialing(std::string_view countryCode, std::string_view phone);

// A phone cell read once for all the dial loop asks of it: what to dial,
// and the forms a do-not-call entry of the same number may have.
struct Reading {
    DialTarget target;
    std::vector<std::string> forms;
};
Reading Read(std::string_view countryCode, std::string_view phone);

// The E.164 form of the phone read in the region, when it is a possible
// number; the region may be empty for numbers written with "+".
std::optional<std::string> ToE164(std::string_view phone, std::string_view region);

// The texts a list entry holding the same number may have, separators
// removed: E.164 with and without "+", with "00" and with the region's
// international prefix, the national number with and without the trunk
// prefix. Empty when the phone does not read as a possible number.
std::vector<std::string> WrittenForms(std::string_view phone, std::string_view region);

// The IANA time zones an E.164 number lies in, as libphonenumber maps them:
// by the longest known prefix for a geographic number, by the country for
// other kinds (mobile numbers of most countries), none when the number is
// not a valid one.
std::vector<std::string> TimeZonesOf(std::string_view e164);

}  // namespace phone
}  // namespace zorvan
