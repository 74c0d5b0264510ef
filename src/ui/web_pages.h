#pragma once

// The publisher's pages the program opens in the browser.
namespace zorvan::web {

inline constexpr char kHelpBase[] = "https://zorvan-dialer.example/help/";
inline constexpr char kOnlineHelp[] = "https://zorvan-dialer.example/help/index.html";
inline constexpr char kAccessSkype[] = "https://zorvan-dialer.example/help/AccessSkype.html";

}  // namespace zorvan::web
