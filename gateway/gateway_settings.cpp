#include "gateway_settings.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

namespace zorvan::gateway {

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

bool IsHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_';
    });
}

bool IsIpv6(const std::string& host) {
    in6_addr address{};
    return ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

std::optional<unsigned> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    const unsigned port = static_cast<unsigned>(std::stoul(text));
    if (port == 0 || port > 65535) return std::nullopt;
    return port;
}

// A host in a URI: IPv6 addresses go in brackets.
std::string UriHost(const HostPort& where) {
    return where.host.find(':') != std::string::npos ? "[" + where.host + "]" : where.host;
}

}  // namespace

std::optional<HostPort> ParseHostPort(const std::string& text) {
    HostPort out;
    std::string portText;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) return std::nullopt;
        out.host = text.substr(1, close - 1);
        if (!IsIpv6(out.host)) return std::nullopt;
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return std::nullopt;
            portText = rest.substr(1);
            if (portText.empty()) return std::nullopt;
        }
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        if (!IsIpv6(text)) return std::nullopt;
        out.host = text;  // a bare IPv6 address, no port
    } else {
        const auto colon = text.find(':');
        out.host = text.substr(0, colon);
        if (colon != std::string::npos) {
            portText = text.substr(colon + 1);
            if (portText.empty()) return std::nullopt;
        }
        if (!IsHostName(out.host)) return std::nullopt;
    }
    if (!portText.empty()) {
        const auto port = ParsePort(portText);
        if (!port) return std::nullopt;
        out.port = *port;
    }
    return out;
}

std::string FormatHostPort(const HostPort& where) {
    return where.port == 0 ? UriHost(where) : UriHost(where) + ":" + std::to_string(where.port);
}

std::string GatewaySettings::RequestUri(const std::string& number) const {
    return "sip:" + number + "@" + FormatHostPort(domain);
}

std::string GatewaySettings::FromUri() const {
    const std::string user = username.empty() ? std::string("zorvan") : username;
    if (registrar) return "sip:" + user + "@" + UriHost(*registrar);
    return "sip:" + user + "@" + FormatHostPort(listen);
}

std::optional<GatewaySettings> ParseGatewaySettings(const std::string& text, std::string& error) {
    GatewaySettings settings;
    bool haveDomain = false;
    std::set<std::string> seen;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    while (std::getline(in, line)) {
        ++number;
        // A comment starts with "#" at the start of a line or after a blank,
        // so that a password may hold one.
        for (std::size_t at = line.find('#'); at != std::string::npos; at = line.find('#', at + 1)) {
            if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t') {
                line.erase(at);
                break;
            }
        }
        line = Trim(line);
        if (line.empty()) continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) return fail("expected \"key = value\", found \"" + line + "\"");
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        if (!seen.insert(key).second) return fail("\"" + key + "\" is set twice");
        const auto where = [&](const char* what) -> std::optional<HostPort> {
            auto parsed = ParseHostPort(value);
            if (!parsed) fail(std::string(what) + " must be a host or address, with an optional :port, not \"" + value + "\"");
            return parsed;
        };
        if (key == "listen") {
            auto parsed = where("listen");
            if (!parsed) return std::nullopt;
            settings.listen = *parsed;
        } else if (key == "domain") {
            auto parsed = where("domain");
            if (!parsed) return std::nullopt;
            settings.domain = *parsed;
            haveDomain = true;
        } else if (key == "registrar") {
            if (value.empty()) continue;
            settings.registrar = where("registrar");
            if (!settings.registrar) return std::nullopt;
        } else if (key == "outbound-proxy") {
            if (value.empty()) continue;
            settings.outboundProxy = where("outbound-proxy");
            if (!settings.outboundProxy) return std::nullopt;
        } else if (key == "username") {
            if (value.find_first_of(" @:;<>\"") != std::string::npos) {
                return fail("username must not hold blanks or any of @ : ; < > \"");
            }
            settings.username = value;
        } else if (key == "password") {
            settings.password = value;
        } else if (key == "codecs") {
            settings.codecs.clear();
            std::istringstream list(value);
            std::string codec;
            while (std::getline(list, codec, ',')) {
                codec = Upper(Trim(codec));
                if (codec != "PCMU" && codec != "PCMA") {
                    return fail("codecs takes PCMU and PCMA, separated by commas, not \"" + codec + "\"");
                }
                if (std::find(settings.codecs.begin(), settings.codecs.end(), codec) == settings.codecs.end()) {
                    settings.codecs.push_back(codec);
                }
            }
            if (settings.codecs.empty()) return fail("codecs is empty");
        } else {
            return fail("unknown key \"" + key +
                        "\" (known: listen, domain, registrar, username, password, outbound-proxy, codecs)");
        }
    }
    if (!haveDomain) {
        error = "\"domain\" is missing: the calls need somewhere to go (domain = sip.example.com)";
        return std::nullopt;
    }
    if (settings.registrar && settings.username.empty()) {
        error = "\"registrar\" is set but \"username\" is not: registration needs an account";
        return std::nullopt;
    }
    return settings;
}

std::optional<std::string> RouteAddress(const HostPort& where, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(where.port != 0 ? where.port : 5060);
    const int status = ::getaddrinfo(where.host.c_str(), port.c_str(), &hints, &found);
    if (status != 0) {
        error = "cannot find " + where.host + ": " + ::gai_strerror(status);
        return std::nullopt;
    }
    std::optional<std::string> address;
    for (addrinfo* a = found; a != nullptr && !address; a = a->ai_next) {
        const int s = ::socket(a->ai_family, SOCK_DGRAM, 0);
        if (s < 0) continue;
        // Connecting a datagram socket sends nothing; it only picks the route.
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        char text[INET6_ADDRSTRLEN] = "";
        if (::connect(s, a->ai_addr, a->ai_addrlen) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            const void* raw = local.ss_family == AF_INET6
                                  ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&local)->sin6_addr)
                                  : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&local)->sin_addr);
            if (::inet_ntop(local.ss_family, raw, text, sizeof text) != nullptr) address = text;
        }
        ::close(s);
    }
    ::freeaddrinfo(found);
    if (!address) error = "no route to " + where.host;
    return address;
}

std::string DefaultSettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.config";
    }
    return base + "/Zorvan/sip-gateway.conf";
}

}  // namespace zorvan::gateway
