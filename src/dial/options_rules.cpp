#include "dial/options_rules.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "data/settings.h"
#include "dial/calling_hours.h"

namespace zorvan {

CallingHoursField CheckCallingHours(bool on, const std::string& from, const std::string& to) {
    static const char* const kNotATime = "Enter a time from 00:00 to 23:59, such as 08:00.";
    const SettingsData defaults;
    const auto a = ParseClockTime(from);
    const auto b = ParseClockTime(to);
    const auto text = [](int minutes) {
        char out[24];
        std::snprintf(out, sizeof out, "%02d:%02d", minutes / 60, minutes % 60);
        return std::string(out);
    };
    CallingHoursField field;
    field.from = a ? text(*a) : defaults.callfrom;
    field.to = b ? text(*b) : defaults.callto;
    if (!on) return field;
    if (!a) {
        field.message = kNotATime;
    } else if (!b) {
        field.message = kNotATime;
        field.wrongTo = true;
    } else if (*a == *b) {
        field.message = "The calling hours must end at another time than they start.";
        field.wrongTo = true;
    }
    return field;
}

IntegerField ParseIntegerField(std::string_view text, int min, int max) {
    const std::string trimmed = TrimmedText(text);
    int value = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [at, error] = std::from_chars(trimmed.data(), end, value);
    if (trimmed.empty() || error != std::errc() || at != end) return {std::nullopt, "Enter an integer."};
    if (value < min || value > max) {
        return {std::nullopt, "Enter an integer between " + std::to_string(min) + " and " + std::to_string(max) + "."};
    }
    return {value, {}};
}

VadEnabling EnablingOf(const VadChecks& c) {
    if (!c.vad) return {};
    return {true, c.leaveMessage, true, true, c.messageToHuman, true};
}

VadChecks AfterLeaveMessageClicked(VadChecks checks) {
    if (checks.leaveMessage) checks.hangUp = false;
    return checks;
}

VadChecks AfterHangUpClicked(VadChecks checks) {
    if (checks.hangUp) checks.leaveMessage = false;
    return checks;
}

std::string ThresholdText(int position) {
    if (position == 1) return "This value to make the system more responsive to human pick up.";
    if (position == 2) return "This value is recommended for general usage.";
    return "This value is usually used to detect the answering machine.";
}

int NextDispositionCode(const std::vector<Disposition>& dispositions) {
    int highest = -1;
    for (const Disposition& d : dispositions) highest = std::max(highest, d.status);
    return highest + 1;
}

std::string TrimmedText(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string AddEditProblem(int mode, const std::string& first, const std::string& description) {
    const bool noDescription = TrimmedText(description).empty();
    if (mode == 1) {
        if (first.empty()) return "The file path can not be empty!";
        if (noDescription) return "The file description can not be empty!";
        return {};
    }
    if (first.empty()) return "The call disposition can not be empty!";
    if (noDescription) return "The description can not be empty!";
    return {};
}

}  // namespace zorvan
