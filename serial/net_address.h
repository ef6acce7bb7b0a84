// A gimbal behind a serial device server: the port name of such a line.
//
//   rfc2217://HOST:PORT   Telnet with the COM-PORT-OPTION: the panel sets the
//                         server's line (baud, parity, ...) as it sets a local one
//   tcp://HOST:PORT       the bytes as they are; the line settings are the server's
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct NetAddress {
  enum class Kind { kRfc2217, kRaw };
  Kind kind = Kind::kRaw;
  std::string host;  // without the brackets
  std::uint16_t port = 0;
};

// True when the name is meant as a network port (it starts with a scheme),
// whether or not the rest of it is right.
bool LooksLikeNetworkUrl(std::string_view name);
// The address in a well-formed URL; nothing for anything else. Port 0 (any
// free port) only for a listener.
std::optional<NetAddress> ParseNetworkUrl(std::string_view url, bool listening = false);
// "rfc2217://[::1]:2217": the URL the address was read from, normalised.
std::string NetworkUrl(const NetAddress& address);
// For --list-ports: what the mode does with the panel's line settings.
std::string DescribeNetworkPort(const NetAddress& address);

// What is wrong with a network port's URL, for the operator (the scheme, a
// blank, a user name, an unclosed bracket, no port, a port out of range);
// empty when it is well formed. Anything without "://" is no URL at all.
std::string NetworkUrlProblem(std::string_view url);
