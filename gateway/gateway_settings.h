#pragma once

// The gateway's settings: `key = value` lines; "#" at the start of a line
// or after a blank starts a comment.
//   listen          local address and port for SIP, and the address for RTP;
//                   by default (or 0.0.0.0) the address that reaches the
//                   domain, on any free port
//   domain          where numbers are sent: sip:<number>@<domain>
//   registrar       register there (with username and password) when set
//   username, password
//   outbound-proxy  every request goes through it when set
//   codecs          PCMU and/or PCMA, in order of preference
// No Qt: the file is read before the bus is touched, and tested alone.

#include <optional>
#include <string>
#include <vector>

namespace zorvan::gateway {

struct HostPort {
    std::string host;   // a name, an IPv4 address, or an IPv6 address without brackets
    unsigned port = 0;  // 0: not given
};

struct GatewaySettings {
    HostPort listen{"0.0.0.0", 0};  // 0.0.0.0: the address that reaches the domain; port 0: any
    HostPort domain;
    std::optional<HostPort> registrar;
    std::string username;
    std::string password;
    std::optional<HostPort> outboundProxy;
    std::vector<std::string> codecs{"PCMU", "PCMA"};

    // The SIP URI a dialled number is sent to.
    std::string RequestUri(const std::string& number) const;
    // Who the calls are from: the account, or the gateway at its address.
    std::string FromUri() const;
};

// Reads "host", "host:port", "[v6]" or "[v6]:port"; nothing when malformed.
std::optional<HostPort> ParseHostPort(const std::string& text);
std::string FormatHostPort(const HostPort& where);

// Parses the file's text; on a mistake returns nothing and `error` says
// which line and why, as the user should read it.
std::optional<GatewaySettings> ParseGatewaySettings(const std::string& text, std::string& error);

// The local address that packets to `where` leave from: what the callee
// must send its SIP and RTP to. Resolves a name; nothing, with `error`,
// when the host is unknown or no route leads there.
std::optional<std::string> RouteAddress(const HostPort& where, std::string& error);

// The default file: $XDG_CONFIG_HOME/Zorvan/sip-gateway.conf, or
// ~/.config/Zorvan/sip-gateway.conf.
std::string DefaultSettingsPath();

}  // namespace zorvan::gateway
