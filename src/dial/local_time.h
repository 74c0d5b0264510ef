#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace zorvan {

// A wall-clock instant in local time, formatted with strftime.
inline std::string LocalTimeText(std::chrono::system_clock::time_point when, const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[96];
    const std::size_t n = std::strftime(text, sizeof text, format, &local);
    return std::string(text, n);
}

inline std::string LocalTimeText(std::int64_t wallMs, const char* format) {
    return LocalTimeText(std::chrono::system_clock::time_point(std::chrono::milliseconds(wallMs)), format);
}

inline std::int64_t WallMs(std::chrono::system_clock::time_point when) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
}

}  // namespace zorvan
