#include "dial/calling_hours.h"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace zorvan {

namespace {

constexpr std::int64_t kMinuteMs = 60 * 1000;
constexpr std::int64_t kDayMs = 24 * 60 * kMinuteMs;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Zones by id, made once: ICU builds a zone from its rules, which is slow.
class ZoneCache {
public:
    // The zone with that id; null for the computer's own or an unknown one.
    std::shared_ptr<const icu::TimeZone> Get(const std::string& id) {
        if (id.empty()) return nullptr;
        std::lock_guard lock(mutex_);
        auto [it, added] = zones_.try_emplace(id);
        if (added) {
            std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(id)));
            if (zone && *zone != icu::TimeZone::getUnknown()) it->second = std::move(zone);
        }
        return it->second;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const icu::TimeZone>> zones_;
};

ZoneCache& Zones() {
    static ZoneCache cache;
    return cache;
}

// The zone's offset from UTC at an instant, or, with `local`, at a local
// wall-clock time.
std::int64_t OffsetMs(const std::string& id, std::int64_t ms, bool local) {
    std::shared_ptr<const icu::TimeZone> zone = Zones().Get(id);
    std::unique_ptr<icu::TimeZone> host;
    if (!zone) {
        // Read anew each time: the computer's zone follows TZ.
        host.reset(icu::TimeZone::detectHostTimeZone());
    }
    const icu::TimeZone& z = zone ? *zone : *host;
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    z.getOffset(static_cast<UDate>(ms), local ? 1 : 0, raw, dst, status);
    if (U_FAILURE(status)) return 0;
    return static_cast<std::int64_t>(raw) + dst;
}

std::vector<std::string> OrHost(const std::vector<std::string>& zones) {
    return zones.empty() ? std::vector<std::string>{std::string()} : zones;
}

}  // namespace

std::optional<int> ParseClockTime(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) return std::nullopt;
    int hours = 0;
    for (char c : text.substr(0, colon)) {
        if (c < '0' || c > '9') return std::nullopt;
        hours = hours * 10 + (c - '0');
    }
    const char m1 = text[colon + 1];
    const char m2 = text[colon + 2];
    if (m1 < '0' || m1 > '5' || m2 < '0' || m2 > '9' || hours > 23) return std::nullopt;
    return hours * 60 + (m1 - '0') * 10 + (m2 - '0');
}

std::optional<CallingWindow> CallingWindow::Parse(std::string_view from, std::string_view to) {
    const auto a = ParseClockTime(from);
    const auto b = ParseClockTime(to);
    if (!a || !b) return std::nullopt;
    return CallingWindow{*a, *b};
}

bool CallingWindow::Holds(int minute) const {
    if (fromMinute == toMinute) return true;
    if (fromMinute < toMinute) return minute >= fromMinute && minute < toMinute;
    return minute >= fromMinute || minute < toMinute;
}

namespace calling_hours {

int LocalMinute(const std::string& zone, std::int64_t wallMs) {
    const std::int64_t local = wallMs + OffsetMs(zone, wallMs, false);
    return static_cast<int>(FloorDiv(local, kMinuteMs) - FloorDiv(local, kDayMs) * 24 * 60);
}

bool Inside(const std::vector<std::string>& zones, const CallingWindow& window, std::int64_t wallMs) {
    const auto all = OrHost(zones);
    return std::all_of(all.begin(), all.end(),
                       [&](const std::string& zone) { return window.Holds(LocalMinute(zone, wallMs)); });
}

std::optional<std::int64_t> NextOpen(const std::vector<std::string>& zones, const CallingWindow& window,
                                     std::int64_t wallMs) {
    if (Inside(zones, window, wallMs)) return wallMs;
    // The zones' windows all hold at once first when the last of them
    // opens: try each zone's opening time over the coming days.
    std::vector<std::int64_t> openings;
    for (const std::string& zone : OrHost(zones)) {
        const std::int64_t localNow = wallMs + OffsetMs(zone, wallMs, false);
        const std::int64_t midnight = FloorDiv(localNow, kDayMs) * kDayMs;
        for (int day = 0; day <= 3; ++day) {
            const std::int64_t local = midnight + day * kDayMs + window.fromMinute * kMinuteMs;
            const std::int64_t instant = local - OffsetMs(zone, local, true);
            if (instant > wallMs) openings.push_back(instant);
        }
    }
    std::sort(openings.begin(), openings.end());
    for (std::int64_t instant : openings) {
        if (Inside(zones, window, instant)) return instant;
    }
    return std::nullopt;
}

}  // namespace calling_hours
}  // namespace zorvan
