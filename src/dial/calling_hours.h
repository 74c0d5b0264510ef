#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvan {

// The daily window in which a callee may be called, in the callee's own
// local time. A window whose end is before its start runs over midnight;
// one whose ends are equal is the whole day.
struct CallingWindow {
    int fromMinute = 8 * 60;  // inclusive
    int toMinute = 21 * 60;   // exclusive

    static std::optional<CallingWindow> Parse(std::string_view from, std::string_view to);
    bool Holds(int minuteOfDay) const;
};

// "HH:MM" (one or two hour digits, 00:00 to 23:59) as minutes after midnight.
std::optional<int> ParseClockTime(std::string_view text);

// Local times through ICU. An empty zone list stands for the computer's own
// zone (as TZ names it). Thread-safe.
namespace calling_hours {

// The minute of the day in the zone at the instant (milliseconds since the
// epoch); an unknown zone id reads as the computer's zone.
int LocalMinute(const std::string& zone, std::int64_t wallMs);
// True when the local time of every zone lies inside the window.
bool Inside(const std::vector<std::string>& zones, const CallingWindow& window, std::int64_t wallMs);
// The first instant at or after `wallMs` at which every zone is inside the
// window (to the minute), within the next three days; none when the zones'
// windows never meet.
std::optional<std::int64_t> NextOpen(const std::vector<std::string>& zones, const CallingWindow& window,
                                     std::int64_t wallMs);

}  // namespace calling_hours
}  // namespace zorvan
