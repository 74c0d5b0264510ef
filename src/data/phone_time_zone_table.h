#pragma once

#include <cstddef>
#include <cstdint>

// libphonenumber's table of number prefixes (country calling code and the
// leading national digits) and the time zones each lies in, generated at
// build time; sorted by prefix text.
namespace zorvan::phone_tz {

struct PrefixEntry {
    const char* prefix;
    std::uint16_t first;  // into kZoneLists
    std::uint8_t count;
};

extern const char* const kZones[];
extern const std::uint16_t kZoneLists[];
extern const PrefixEntry kPrefixes[];
extern const std::size_t kPrefixCount;
extern const std::size_t kLongestPrefix;

}  // namespace zorvan::phone_tz
