#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/disposition_list.h"

namespace zorvan {

// An integer box of the options: the value, or the message the user sees
// ("Enter an integer." / "Enter an integer between 0 and 10.").
struct IntegerField {
    std::optional<int> value;
    std::string message;
};
IntegerField ParseIntegerField(std::string_view text, int min, int max);

// The calling-hours boxes: the times to store ("8:00" becomes "08:00"), or
// the message and which box it is about. Boxes that are off and do not
// read as times store the default hours.
struct CallingHoursField {
    std::string from;
    std::string to;
    std::string message;
    bool wrongTo = false;
};
CallingHoursField CheckCallingHours(bool on, const std::string& from, const std::string& to);

// The detection page's check boxes and what they enable.
struct VadChecks {
    bool vad = false;
    bool leaveMessage = false;   // "Leave below message on the answering machine line..."
    bool hangUp = false;         // "Hang up immediately if detect answering machine line"
    bool messageToHuman = false;
    bool operator==(const VadChecks&) const = default;
};
struct VadEnabling {
    bool leaveMessage = false;  // the check box
    bool leaveMessageFile = false;  // its path, "Record" and "Browse..."
    bool hangUp = false;
    bool messageToHuman = false;
    bool humanFile = false;  // path, "Record", "Browse..." and the auto hang-up box
    bool threshold = false;  // the small threshold button
    bool operator==(const VadEnabling&) const = default;
};
VadEnabling EnablingOf(const VadChecks& checks);
// A click on one of the two machine options: the two never stay on together.
VadChecks AfterLeaveMessageClicked(VadChecks checks);
VadChecks AfterHangUpClicked(VadChecks checks);

// The threshold dialog's text for a slider position.
std::string ThresholdText(int position);

// A new disposition's code: one more than the highest in the list, so no
// code is ever given twice.
int NextDispositionCode(const std::vector<Disposition>& dispositions);
// The built-in codes 0 to 10 cannot be deleted.
inline bool DispositionDeletable(int code) { return code > 10; }

// The add/edit dialog's check: the message, or empty when the texts will do.
// Mode 1 is a greeting file (path, description), mode 2 a disposition
// (name, description).
std::string AddEditProblem(int mode, const std::string& first, const std::string& description);
std::string TrimmedText(std::string_view text);

}  // namespace zorvan
