#pragma once

#include <string>
#include <string_view>

namespace zorvan {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes the UTF-8 sequence at text[i] and moves i past it. An invalid or
// cut-off sequence gives U+FFFD and moves i by one byte, so every byte is
// either part of a character or replaced.
char32_t DecodeUtf8(std::string_view text, std::size_t& i);
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace zorvan
