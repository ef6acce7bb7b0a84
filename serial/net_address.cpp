#include "serial/net_address.h"

#include <cctype>

namespace {
constexpr std::string_view kRfc2217 = "rfc2217://";
constexpr std::string_view kRaw = "tcp://";

bool StartsWith(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

bool HostCharsOk(std::string_view host, bool v6) {
  if (host.empty() || host.size() > 253) return false;
  for (char c : host) {
    const auto u = static_cast<unsigned char>(c);
    const bool ok = v6 ? (std::isxdigit(u) || c == ':' || c == '.' || c == '%' || std::isalnum(u))
                       : (std::isalnum(u) || c == '.' || c == '-' || c == '_');
    if (!ok) return false;
  }
  return true;
}
}  // namespace

bool LooksLikeNetworkUrl(std::string_view name) { return StartsWith(name, kRfc2217) || StartsWith(name, kRaw); }

std::optional<NetAddress> ParseNetworkUrl(std::string_view url, bool listening) {
  NetAddress a;
  std::string_view rest;
  if (StartsWith(url, kRfc2217)) {
    a.kind = NetAddress::Kind::kRfc2217;
    rest = url.substr(kRfc2217.size());
  } else if (StartsWith(url, kRaw)) {
    a.kind = NetAddress::Kind::kRaw;
    rest = url.substr(kRaw.size());
  } else {
    return std::nullopt;
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);  // "tcp://host:4001/" as browsers write it
  std::string_view host, port;
  bool v6 = false;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return std::nullopt;
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
    v6 = true;
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // IPv6 wants its brackets
  }
  if (!HostCharsOk(host, v6) || port.empty() || port.size() > 5) return std::nullopt;
  unsigned long n = 0;
  for (char c : port) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + static_cast<unsigned long>(c - '0');
  }
  if ((n == 0 && !listening) || n > 65535) return std::nullopt;
  a.host = std::string(host);
  a.port = static_cast<std::uint16_t>(n);
  return a;
}

std::string NetworkUrl(const NetAddress& a) {
  const bool v6 = a.host.find(':') != std::string::npos;
  return std::string(a.kind == NetAddress::Kind::kRfc2217 ? kRfc2217 : kRaw) + (v6 ? "[" : "") + a.host +
         (v6 ? "]" : "") + ":" + std::to_string(a.port);
}

std::string DescribeNetworkPort(const NetAddress& a) {
  return a.kind == NetAddress::Kind::kRfc2217 ? "network, RFC 2217: the panel sets the server's line"
                                              : "network, raw TCP: the line settings are the server's";
}

std::string NetworkUrlProblem(std::string_view url) {
  const auto scheme = url.find("://");
  if (scheme == std::string_view::npos) return "not a network address";
  if (!StartsWith(url, kRfc2217) && !StartsWith(url, kRaw))
    return "the panel speaks no " + std::string(url.substr(0, scheme)) +
           "://; a serial device server is rfc2217://HOST:PORT or tcp://HOST:PORT";
  std::string_view rest = url.substr(scheme + 3);
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  for (char c : rest)
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return "a blank or a control character in it";
  if (rest.find('@') != std::string_view::npos) return "no user name goes in it (HOST:PORT, not USER@HOST:PORT)";
  std::string_view host = rest, port;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string_view::npos) return "the IPv6 address's bracket is not closed ([::1]:PORT)";
    host = rest.substr(1, close - 1);
    if (close + 1 >= rest.size() || rest[close + 1] != ':') return "no port after the address ([::1]:PORT)";
    port = rest.substr(close + 2);
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) return "no port (HOST:PORT)";
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) return "an IPv6 address goes in brackets ([::1]:PORT)";
  }
  if (host.empty()) return "no host (HOST:PORT)";
  if (port.empty()) return "no port (HOST:PORT)";
  for (char c : port)
    if (!std::isdigit(static_cast<unsigned char>(c))) return "the port " + std::string(port) + " is not a number";
  if (port.size() > 5 || std::stoul(std::string(port)) == 0 || std::stoul(std::string(port)) > 65535)
    return "the port " + std::string(port) + " is not 1 to 65535";
  if (!ParseNetworkUrl(url)) return "the host " + std::string(host) + " is no host name or address";
  return "";
}
