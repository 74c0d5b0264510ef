#pragma once

#include <atomic>

namespace zorvan {

// The Skype Desktop API's attach results.
enum AttachResult : int {
    AttachSuccess = 0,
    AttachPendingAuthorization = 1,
    AttachRefused = 2,
    AttachNotAvailable = 3,
};
inline constexpr unsigned kApiAvailable = 0x8001;  // handled, never stored

// The last attach result, shared by the connector and the connection status
// dialog; NOT_AVAILABLE until an answer arrives.
std::atomic<int>& AttachStatus();

}  // namespace zorvan
