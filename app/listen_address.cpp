#include "app/listen_address.h"

std::string ParseListenUrl(const std::string& url, const std::string& protocol, const std::string& what,
                           unsigned examplePort, ListenAddress& out) {
  const std::string scheme = protocol + "://";
  const std::string example = scheme + "127.0.0.1:" + std::to_string(examplePort);
  if (url.rfind(scheme, 0) != 0) return url + " is no " + what + " address (" + scheme + "HOST:PORT, e.g. " + example + ")";
  std::string rest = url.substr(scheme.size());
  std::string host;
  std::string port;
  if (!rest.empty() && rest[0] == '[') {
    const auto close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
      return url + ": an IPv6 address goes in brackets, then :PORT (" + scheme + "[::1]:" + std::to_string(examplePort) + ")";
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos) return url + ": no port (" + scheme + "HOST:PORT; port 0 takes a free one)";
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  if (host.empty()) return url + ": no host (" + scheme + "127.0.0.1:PORT listens on this machine only)";
  if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
      std::stoul(port) > 65535)
    return url + ": the port is a number from 0 to 65535";
  out.host = host == "localhost" ? "127.0.0.1" : host;
  out.port = static_cast<std::uint16_t>(std::stoul(port));
  return "";
}

std::string ParseControlUrl(const std::string& url, ListenAddress& out) {
  return ParseListenUrl(url, "tcp", "control", 7400, out);
}

std::string ParseViscaIpUrl(const std::string& url, ListenAddress& out) {
  return ParseListenUrl(url, "udp", "VISCA over IP", 52381, out);
}

std::string ParseRawViscaUrl(const std::string& url, ListenAddress& out, std::string& scheme) {
  scheme = url.rfind("tcp://", 0) == 0 ? "tcp" : "udp";
  if (url.rfind("udp://", 0) != 0 && url.rfind("tcp://", 0) != 0)
    return url + " is no raw VISCA address (udp://HOST:PORT or tcp://HOST:PORT, e.g. udp://127.0.0.1:1259)";
  return ParseListenUrl(url, scheme, "raw VISCA", scheme == "tcp" ? 5678 : 1259, out);
}

bool IsLoopback(const std::string& host) { return host.rfind("127.", 0) == 0 || host == "::1"; }

std::string ListenUrl(const std::string& scheme, const std::string& host, std::uint16_t port) {
  const bool v6 = host.find(':') != std::string::npos;
  return scheme + "://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}
