#pragma once

#include <string_view>

namespace zorvan {

// The user status codes UM_SKYPE_USER_STATUS carries.
enum PresenceCode : int {
    PresenceOther = 0,
    PresenceLoggedOut = 1,
    PresenceOffline = 2,
    PresenceOnline = 3,
    PresenceSkypeMe = 4,
    PresenceAway = 5,
    PresenceNa = 6,
    PresenceDnd = 7,
    PresenceInvisible = 8,
};

// The code of a status text already upper-cased.
PresenceCode PresenceFromText(std::string_view upper);

}  // namespace zorvan
