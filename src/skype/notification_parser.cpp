// The interpretation of every text the Skype client sends: replies to
// queries and the client's own notifications alike.
#include <array>
#include <utility>

#include "data/text_convert.h"
#include "platform/um_events.h"
#include "skype/call_audio_routing.h"
#include "skype/presence.h"
#include "skype/skype_connector.h"
#include "skype/skype_text.h"

namespace zorvan {

namespace {

int StateCode(std::string_view upper) {
    static constexpr std::array<std::pair<std::string_view, int>, 13> kStates{{
        {"UNPLACED", SkypeUnplaced},
        {"ROUTING", SkypeRouting},
        {"EARLYMEDIA", SkypeEarlyMedia},
        {"FAILED", SkypeFailed},
        {"RINGING", SkypeRinging},
        {"INPROGRESS", SkypeInProgress},
        {"ONHOLD", SkypeOnHold},
        {"LOCALHOLD", SkypeOnHold},
        {"REMOTEHOLD", SkypeOnHold},
        {"MISSED", SkypeMissed},
        {"REFUSED", SkypeRefused},
        {"BUSY", SkypeBusy},
        {"CANCELLED", SkypeCancelled},
    }};
    for (const auto& [text, code] : kStates) {
        if (text == upper) return code;
    }
    return SkypeOther;
}

}  // namespace

void SkypeConnector::ParseNotification(std::string_view raw) {
    const std::string_view text = TrimBlanks(raw);
    const std::size_t blank = text.find(' ');
    if (text.empty() || blank == std::string_view::npos) return;
    const std::string word = AsciiUpper(text.substr(0, blank));
    const std::string_view rest = TrimBlanks(text.substr(blank + 1));

    if (word == "CONNSTATUS" || word == "USERSTATUS") {
        const PresenceCode code = PresenceFromText(AsciiUpper(rest));
        // Logged out: the link stays closed until an attach opens it again.
        if (word == "CONNSTATUS" && code == PresenceLoggedOut) linkOpen_ = false;
        Post(um::UM_SKYPE_USER_STATUS, code);
    } else if (word == "CALL") {
        ParseCall(rest);
    } else if (word == "CURRENTUSERHANDLE") {
        Post(um::UM_SKYPE_USER_HANDLE);
    } else if (word == "ERROR") {
        // With or without a text after the number.
        const int number = LeadingInt(rest.substr(0, rest.find(' ')));
        if (number >= 91 && number <= 94) {
            Post(um::UM_CALL_INVALID_NUMBER);
        } else {
            Post(um::UM_SKYPE_ERROR, number);
        }
    } else if (word == "SKYPEVERSION") {
        Post(um::UM_SKYPE_VERSION);
    } else if (word == "SILENT_MODE") {
        const std::string mode = AsciiUpper(rest);
        if (mode == "ON") Post(um::UM_SILENT_MODE_ON);
        if (mode == "OFF") Post(um::UM_SILENT_MODE_OFF);
    }
}

// CALL id property value
void SkypeConnector::ParseCall(std::string_view rest) {
    const std::size_t first = rest.find(' ');
    if (first == std::string_view::npos) return;
    const std::string id(rest.substr(0, first));
    const std::size_t second = rest.find(' ', first + 1);
    if (second == std::string_view::npos) return;
    const std::string property = AsciiUpper(rest.substr(first + 1, second - first - 1));
    const std::string value(rest.substr(second + 1));

    if (property == "STATUS") {
        ParseState(id, value);
    } else if (property == "PARTNER_HANDLE") {
        const int i = table_.SetPartner(id, value);
        const std::string_view handle = TrimBlanks(value);
        if (!handle.empty()) SendCommand("GET USER " + std::string(handle) + " FULLNAME");
        Post(um::UM_CALL_UPDATE, i, 1);
    } else if (property == "DTMF") {
        const std::string_view key = TrimBlanks(value);
        if (Utf8Length(key) != 1) return;
        const int i = table_.FindOrAdd(id);
        Post(um::UM_CALL_DTMF, i, static_cast<std::intptr_t>(FirstCodePoint(key)));
    } else if (property == "DURATION") {
        if (table_.KnownCallCount() != 0) return;
        // A call in progress the dialer does not know yet: learn about it.
        for (const char* query :
             {" PARTNER_HANDLE", " TYPE", " STATUS", " CONF_PARTICIPANTS_COUNT", " VIDEO_RECEIVE_STATUS",
              " VIDEO_SEND_STATUS"}) {
            SendCommand("GET CALL " + id + query);
        }
    } else if (property == "CONF_PARTICIPANTS_COUNT") {
        if (table_.KnownCallCount() == 0) return;
        if (LeadingInt(value) >= 2) {
            SendCommand("GET CALL " + id + " CONF_PARTICIPANT 0");
            SendCommand("GET CALL " + id + " CONF_PARTICIPANT 1");
        }
    } else if (property == "TYPE") {
        if (value == "INCOMING_P2P" || value == "INCOMING_PSTN") table_.MarkIncoming(id);
        if (value == "INCOMING_P2P") Post(um::UM_CALL_INCOMING_P2P);
        if (value == "INCOMING_PSTN") Post(um::UM_CALL_INCOMING_PSTN);
    } else if (property == "PSTN_STATUS") {
        if (AsciiLower(value).find("failure") == std::string::npos) return;
        const int i = table_.SetState(id, SkypeFailed);
        Post(um::UM_CALL_UPDATE, i, 2);
    }
}

void SkypeConnector::ParseState(const std::string& id, const std::string& value) {
    const std::string upper = AsciiUpper(value);
    int code = StateCode(upper);
    // A call that has ended stays ended: the client may repeat the last
    // status (the reply to a command and the notification both carry it).
    if (IsEndedState(table_.StateOf(id)) && (IsEndedState(code) || upper == "FINISHED")) return;
    switch (code) {
        case SkypeRouting:
        case SkypeRinging:
        case SkypeEarlyMedia:
            SendCommand("GET CALL " + id + " TYPE");
            break;
        case SkypeInProgress: {
            // A call someone else answered (an incoming one) keeps its audio.
            const int slot = table_.Find(id);
            const bool incoming = slot >= 0 && table_.slot(slot).incoming;
            if (routing_ != nullptr && !incoming) routing_->RouteCallAudio(id, capturePort_, outputPort_);
            SendCommand("GET CALL " + id + " TYPE");
            SendCommand("GET CALL " + id + " TARGET_IDENTITY");
            SendCommand("GET CALL " + id + " PARTNER_HANDLE");
            break;
        }
        default:
            break;
    }
    if (upper == "FINISHED") code = IsActiveState(table_.StateOf(id)) ? SkypeFinished : SkypeFailed;
    const int i = table_.SetState(id, code);
    Post(um::UM_CALL_UPDATE, i, 2);
}

}  // namespace zorvan
