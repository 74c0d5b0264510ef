#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvan {

// Text helpers of the Skype link. The wire is UTF-8; so is the program's
// text inside the core. The protocol's keywords are ASCII, so letter case is
// changed for ASCII letters only.
std::string_view TrimBlanks(std::string_view text);
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// Decodes bytes from the peer as UTF-8: the text ends at the first zero byte
// (a missing terminator is supplied), and every invalid sequence becomes
// U+FFFD, so nothing a peer sends can make the text ill-formed.
std::string DecodeUtf8Lossy(std::string_view bytes);

// The number of characters (code points) of well-formed UTF-8 text, and the
// first one.
std::size_t Utf8Length(std::string_view text);
char32_t FirstCodePoint(std::string_view text);

}  // namespace zorvan
