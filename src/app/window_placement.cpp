#include "app/window_placement.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "data/text_convert.h"

namespace zorvan {

ScreenRect ParsePos(std::string_view pos) {
    std::array<int, 4> values{};
    std::size_t count = 0;
    std::size_t start = 0;
    while (start <= pos.size() && count < values.size()) {
        const std::size_t comma = std::min(pos.find(',', start), pos.size());
        if (comma > start) values[count++] = LeadingInt(pos.substr(start, comma - start));
        start = comma + 1;
    }
    return {values[0], values[1], values[2], values[3]};
}

std::string FormatPos(const ScreenRect& rect) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

std::optional<ScreenRect> PlacementFromPos(std::string_view pos, const ScreenRect& workArea) {
    const ScreenRect saved = ParsePos(pos);
    if (saved.empty()) return std::nullopt;
    const ScreenRect meet{std::max(saved.left, workArea.left), std::max(saved.top, workArea.top),
                          std::min(saved.right, workArea.right), std::min(saved.bottom, workArea.bottom)};
    if (meet.empty()) return std::nullopt;
    return saved;
}

}  // namespace zorvan
