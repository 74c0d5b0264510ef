#include "skype/skype_text.h"

#include "data/utf8.h"

namespace zorvan {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string DecodeUtf8Lossy(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) AppendUtf8(out, DecodeUtf8(bytes, i));
    return out;
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

char32_t FirstCodePoint(std::string_view text) {
    if (text.empty()) return 0;
    std::size_t i = 0;
    return DecodeUtf8(text, i);
}

}  // namespace zorvan
