#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan {

// The leading-digits conversion used for every number read from a file:
// leading blanks skipped, an optional sign, then digits up to the first other
// character. Text that does not start with a number gives 0; values beyond
// the 32-bit range are clamped to it.
std::int32_t LeadingInt(std::string_view text);

// "%ld" of a 32-bit value.
std::string FormatInt(std::int32_t value);

// Letter case ignored, ASCII only (the keys and values compared this way are).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace zorvan
