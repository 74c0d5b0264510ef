#include "data/contact.h"

#include <array>
#include <cstdio>

namespace zorvan {

std::string ContactElementName(std::int32_t id) {
    char name[16];
    std::snprintf(name, sizeof name, "c%x", static_cast<unsigned>(id));
    return name;
}

std::string NormalizePhoneNumber(std::string_view text) {
    // The multi-byte separators, as UTF-8.
    static constexpr std::array<std::string_view, 11> kWide{
        "\u3000", "\uFF0E", "\uFF0C", "\uFF0D", "\u2014", "\uFF08", "\uFF09",
        "\uFF5B", "\uFF5D", "\u3010", "\u3011",
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        switch (c) {
            case ' ': case '.': case ',': case '-': case '_':
            case '(': case ')': case '{': case '}': case '[': case ']':
                ++i;
                continue;
            default:
                break;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            bool removed = false;
            for (const std::string_view wide : kWide) {
                if (text.substr(i, wide.size()) == wide) {
                    i += wide.size();
                    removed = true;
                    break;
                }
            }
            if (removed) continue;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

}  // namespace zorvan
