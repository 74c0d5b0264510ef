#include "data/phone_numbers.h"

#include <phonenumbers/logger.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <mutex>

#include "data/contact.h"
#include "data/phone_time_zone_table.h"

namespace zorvan::phone {

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

const PhoneNumberUtil& Util() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The library's own messages would reach the user's terminal.
        PhoneNumberUtil::GetInstance()->SetLogger(new i18n::phonenumbers::NullLogger());
    });
    return *PhoneNumberUtil::GetInstance();
}

std::string DigitsOnly(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits;
}

// The phone as a possible number of the region, or nothing. A number that
// starts with "00" reads as international when the region's own prefix is
// another one ("011" in North America) and the national reading fails.
std::optional<PhoneNumber> Parse(std::string_view phone, const std::string& region) {
    const PhoneNumberUtil& util = Util();
    const std::string text(phone);
    PhoneNumber number;
    if (util.Parse(text, region.empty() ? "ZZ" : region, &number) == PhoneNumberUtil::NO_PARSING_ERROR &&
        util.IsPossibleNumber(number)) {
        return number;
    }
    const std::string normalized = NormalizePhoneNumber(phone);
    if (normalized.size() > 2 && normalized.compare(0, 2, "00") == 0) {
        PhoneNumber international;
        if (util.Parse("+" + normalized.substr(2), "ZZ", &international) == PhoneNumberUtil::NO_PARSING_ERROR &&
            util.IsPossibleNumber(international)) {
            return international;
        }
    }
    return std::nullopt;
}

std::string E164Of(const PhoneNumber& number) {
    std::string out;
    Util().Format(number, PhoneNumberUtil::E164, &out);
    return out;
}

// The written forms of a number, from its parts alone (no formatting
// rules, which cost tens of microseconds): with "+", bare, with the
// international prefixes "00" and "011" (North America), and nationally
// with and without the trunk prefix of its calling code's main region.
std::vector<std::string> FormsOf(const PhoneNumber& number) {
    const PhoneNumberUtil& util = Util();
    std::string national;
    util.GetNationalSignificantNumber(number, &national);
    const std::string international = std::to_string(number.country_code()) + national;
    std::vector<std::string> forms{"+" + international, international, "00" + international, "011" + international,
                                   national};
    std::string region;
    util.GetRegionCodeForCountryCode(number.country_code(), &region);
    std::string trunk;
    util.GetNddPrefixForRegion(region, true, &trunk);
    if (!trunk.empty()) forms.push_back(trunk + national);
    return forms;
}

std::vector<std::string> ZonesOfPrefix(std::string_view digits) {
    using namespace phone_tz;
    const PrefixEntry* begin = kPrefixes;
    const PrefixEntry* end = kPrefixes + kPrefixCount;
    for (std::size_t length = std::min(digits.size(), kLongestPrefix); length > 0; --length) {
        const std::string_view prefix = digits.substr(0, length);
        const PrefixEntry* at = std::lower_bound(
            begin, end, prefix, [](const PrefixEntry& e, std::string_view p) { return std::string_view(e.prefix) < p; });
        if (at != end && std::string_view(at->prefix) == prefix) {
            std::vector<std::string> zones;
            for (std::size_t i = 0; i < at->count; ++i) zones.emplace_back(kZones[kZoneLists[at->first + i]]);
            return zones;
        }
    }
    return {};
}

}  // namespace

int CallingCode(std::string_view countryCode) {
    std::string digits = DigitsOnly(countryCode);
    while (!digits.empty() && digits.front() == '0') digits.erase(0, 1);  // "0044"
    if (digits.empty() || digits.size() > 3) return 0;
    return std::stoi(digits);
}

std::string RegionOf(std::string_view countryCode) {
    const int code = CallingCode(countryCode);
    if (code == 0) return {};
    std::string region;
    Util().GetRegionCodeForCountryCode(code, &region);
    if (region == "ZZ" || region == "001") return {};
    return region;
}

DialTarget ForDialing(std::string_view countryCode, std::string_view phone) {
    const std::string region = RegionOf(countryCode);
    if (region.empty()) {
        // A number written with its own country code is dialled as it stands.
        const auto first = phone.find_first_not_of(" \t");
        if (first != std::string_view::npos && phone[first] == '+') return {DialTarget::Kind::AsTyped, std::string(phone)};
        return {DialTarget::Kind::AsTyped, std::string(countryCode) + std::string(phone)};
    }
    const std::optional<PhoneNumber> number = Parse(phone, region);
    if (!number) return {DialTarget::Kind::Impossible, {}};
    return {DialTarget::Kind::Number, E164Of(*number)};
}

std::optional<std::string> ToE164(std::string_view phone, std::string_view region) {
    const std::optional<PhoneNumber> number = Parse(phone, std::string(region));
    if (!number) return std::nullopt;
    return E164Of(*number);
}

std::vector<std::string> WrittenForms(std::string_view phone, std::string_view region) {
    const std::optional<PhoneNumber> number = Parse(phone, std::string(region));
    return number ? FormsOf(*number) : std::vector<std::string>{};
}

Reading Read(std::string_view countryCode, std::string_view phone) {
    const std::string region = RegionOf(countryCode);
    if (region.empty()) return {ForDialing(countryCode, phone), {}};
    const std::optional<PhoneNumber> number = Parse(phone, region);
    if (!number) return {{DialTarget::Kind::Impossible, {}}, {}};
    return {{DialTarget::Kind::Number, E164Of(*number)}, FormsOf(*number)};
}

std::vector<std::string> TimeZonesOf(std::string_view e164) {
    const PhoneNumberUtil& util = Util();
    PhoneNumber number;
    if (util.Parse(std::string(e164), "ZZ", &number) != PhoneNumberUtil::NO_PARSING_ERROR) return {};
    const PhoneNumberUtil::PhoneNumberType type = util.GetNumberType(number);
    if (type == PhoneNumberUtil::UNKNOWN) return {};
    if (!util.IsNumberGeographical(type, number.country_code())) {
        return ZonesOfPrefix(std::to_string(number.country_code()));
    }
    std::string national;
    util.GetNationalSignificantNumber(number, &national);
    return ZonesOfPrefix(std::to_string(number.country_code()) + national);
}

}  // namespace zorvan::phone
