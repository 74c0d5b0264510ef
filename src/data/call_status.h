#pragma once

#include <array>
#include <string_view>

namespace zorvan {

// The call status codes the dial loop and the call outcome handling produce.
enum class CallStatus : int {
    Connecting = 0,
    DncNumber = 1,
    CallFailed = 2,
    LineBusy = 3,
    CallSucceeded = 4,
    InvalidNumber = 5,
    InProgress = 6,
    MachineAnswered = 7,
    MachineSucceeded = 8,
    VoiceDetecting = 9,
    PlayingGreeting = 10,
};

inline constexpr int kCallStatusCount = 11;

struct DefaultDisposition {
    std::string_view name;
    std::string_view description;
};

// The default disposition of each code, in code order.
inline constexpr std::array<DefaultDisposition, kCallStatusCount> kDefaultDispositions{{
    {"Connecting...", "The call is connecting."},
    {"DNC Number", "Do Not Call phone number"},
    {"Call Failed", "The call is failed, missed, refused or cancelled."},
    {"Line is Busy", "The call is busy."},
    {"Call Succeeded", "The call is finished."},
    {"Invalid Phone Number", "The phone number is invalid."},
    {"In Progress...", "The call is in progress or call is answered by human."},
    {"Answering Machine Answered", "The call is answered via answering machine."},
    {"Answering Machine Succeeded", "The call is finished with the answering machine."},
    {"Voice Activity Detecting...", "Voice activity detecting."},
    {"Playing greeting message...", "Playing greeting message."},
}};

}  // namespace zorvan
