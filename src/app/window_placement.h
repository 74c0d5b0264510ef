#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvan {

// A screen rectangle as the settings store it: right and bottom are
// exclusive, so width = right - left.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const ScreenRect&) const = default;
};

// `pos`: the non-empty comma-separated pieces, the first four converted by
// the leading-digits rule into left, top, right and bottom; missing ones 0.
ScreenRect ParsePos(std::string_view pos);
std::string FormatPos(const ScreenRect& rect);

// Where the main window goes: the saved rectangle when it is not empty and
// meets the work area; nothing (centre the window) otherwise.
std::optional<ScreenRect> PlacementFromPos(std::string_view pos, const ScreenRect& workArea);

}  // namespace zorvan
