// Where a server of the panel listens (the control server, VISCA over IP):
// SCHEME://HOST:PORT read once, with the operator told what is wrong.
#pragma once

#include <cstdint>
#include <string>

struct ListenAddress {
  std::string host;  // numeric; localhost is 127.0.0.1
  std::uint16_t port = 0;
};
// "" when url is protocol://HOST:PORT (IPv6 in brackets); else what is wrong
// with it, in one line, with an example ("VISCA over IP", 52381).
std::string ParseListenUrl(const std::string& url, const std::string& protocol, const std::string& what,
                           unsigned examplePort, ListenAddress& out);
// The panel's servers: the control server's tcp://HOST:PORT, VISCA over IP's udp://HOST:PORT.
std::string ParseControlUrl(const std::string& url, ListenAddress& out);
std::string ParseViscaIpUrl(const std::string& url, ListenAddress& out);
// Raw VISCA: udp://HOST:PORT or tcp://HOST:PORT; scheme says which.
std::string ParseRawViscaUrl(const std::string& url, ListenAddress& out, std::string& scheme);
bool IsLoopback(const std::string& host);
// scheme://HOST:PORT of a socket bound to host and port, as the operator types it.
std::string ListenUrl(const std::string& scheme, const std::string& host, std::uint16_t port);
