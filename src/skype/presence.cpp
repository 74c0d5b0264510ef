#include "skype/presence.h"

#include <array>
#include <utility>

namespace zorvan {

PresenceCode PresenceFromText(std::string_view upper) {
    static constexpr std::array<std::pair<std::string_view, PresenceCode>, 8> kCodes{{
        {"LOGGEDOUT", PresenceLoggedOut},
        {"OFFLINE", PresenceOffline},
        {"ONLINE", PresenceOnline},
        {"SKYPEME", PresenceSkypeMe},
        {"AWAY", PresenceAway},
        {"NA", PresenceNa},
        {"DND", PresenceDnd},
        {"INVISIBLE", PresenceInvisible},
    }};
    for (const auto& [text, code] : kCodes) {
        if (text == upper) return code;
    }
    return PresenceOther;
}

}  // namespace zorvan
