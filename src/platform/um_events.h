#pragma once

#include <cstdint>

// The program's event numbers, counted from the window-message range of the
// platform the dialer was first written for (WM_USER = 0x400). They keep
// their numbers everywhere.
namespace zorvan::um {

inline constexpr std::uint32_t UM_TRAY_NOTIFY = 0x501;
inline constexpr std::uint32_t UM_AMD_RESULT = 0x514;
inline constexpr std::uint32_t UM_GREETING_CUE = 0x515;
inline constexpr std::uint32_t UM_SKYPE_LINK_OPENED = 0x5F4;
// The client answered a command with an ERROR other than 91 to 94
// (wParam: its number); the call controller's, never the main window's.
inline constexpr std::uint32_t UM_SKYPE_ERROR = 0x5F7;
inline constexpr std::uint32_t UM_SKYPE_USER_STATUS = 0x5F9;
inline constexpr std::uint32_t UM_SKYPE_USER_HANDLE = 0x5FA;
inline constexpr std::uint32_t UM_CALL_UPDATE = 0x5FC;
inline constexpr std::uint32_t UM_CALL_DTMF = 0x5FD;
inline constexpr std::uint32_t UM_CALL_INVALID_NUMBER = 0x5FE;
inline constexpr std::uint32_t UM_SKYPE_VERSION = 0x5FF;
inline constexpr std::uint32_t UM_SKYPE_REFUSED = 0x600;
inline constexpr std::uint32_t UM_CALL_INCOMING_P2P = 0x601;
inline constexpr std::uint32_t UM_CALL_INCOMING_PSTN = 0x602;
inline constexpr std::uint32_t UM_SKYPE_ATTACHED = 0x604;
inline constexpr std::uint32_t UM_SKYPE_PENDING = 0x605;
inline constexpr std::uint32_t UM_GREETING_STARTED = 0x607;
inline constexpr std::uint32_t UM_GREETING_FINISHED = 0x608;
inline constexpr std::uint32_t UM_SILENT_MODE_ON = 0x609;
inline constexpr std::uint32_t UM_SILENT_MODE_OFF = 0x60A;
inline constexpr std::uint32_t UM_CALL_DIALING = 0x900;
inline constexpr std::uint32_t UM_CALL_CONNECTED = 0x901;
inline constexpr std::uint32_t UM_CALL_ENDED = 0x904;
inline constexpr std::uint32_t UM_OPTIONS_CHANGED = 0xD00;
inline constexpr std::uint32_t UM_ROW_EDITED = 0xD01;
inline constexpr std::uint32_t UM_BUSY = 0xD02;
inline constexpr std::uint32_t UM_UPDATE_CONTACT = 0xD03;
inline constexpr std::uint32_t UM_END_CALL = 0xD04;
inline constexpr std::uint32_t UM_HOLD = 0xD05;
inline constexpr std::uint32_t UM_RESUME = 0xD06;
inline constexpr std::uint32_t UM_START_RECORDING = 0xD07;
inline constexpr std::uint32_t UM_STOP_RECORDING = 0xD08;
inline constexpr std::uint32_t UM_PLAY_GREETING = 0xD09;
inline constexpr std::uint32_t UM_STOP_GREETING = 0xD10;
inline constexpr std::uint32_t UM_ROW_MENU = 0xD11;
inline constexpr std::uint32_t UM_ROW_DELETED = 0xD12;
inline constexpr std::uint32_t UM_GREETING_PROGRESS = 0xD26;

// Mouse messages carried in UM_TRAY_NOTIFY's lParam.
inline constexpr std::intptr_t kTrayLeftButtonUp = 0x202;
inline constexpr std::intptr_t kTrayRightButtonUp = 0x205;
inline constexpr std::uintptr_t kTrayIconId = 1;

}  // namespace zorvan::um
