// What a host name resolved to, kept by each socket backend in its own
// types: the copy out of getaddrinfo's list is the same on every platform,
// as are the hints for an address to listen on and the port of an address.
// Included after the platform's socket headers.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "serial/backend.h"

namespace serial_backend {
// Takes every address of list that fits (and frees the list); the reason
// when none does. Addresses holds vectors `address` (sockaddr_storage) and
// `length`; Info is the platform's addrinfo.
template <typename Addresses, typename Info, typename Free>
ResolveResult KeepAddresses(Info* list, const std::string& host, Free freeList) {
  ResolveResult r;
  auto out = std::make_shared<Addresses>();
  for (Info* a = list; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(typename decltype(out->address)::value_type)) continue;
    typename decltype(out->address)::value_type s{};
    std::memcpy(&s, a->ai_addr, a->ai_addrlen);
    out->address.push_back(s);
    out->length.push_back(static_cast<typename decltype(out->length)::value_type>(a->ai_addrlen));
  }
  freeList(list);
  if (out->address.empty()) r.reason = "no usable address for " + host;
  else r.addresses = std::move(out);
  return r;
}

// getaddrinfo's hints for a numeric address to listen on.
template <typename Info>
Info ListenHints(int socketType = SOCK_STREAM) {
  Info hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = socketType;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
  return hints;
}

// An address's host as text (IPv4 or IPv6); ntop is the platform's inet_ntop.
template <typename Storage, typename Ntop>
std::string HostOf(const Storage& a, Ntop ntop) {
  char text[64] = "?";
  const void* where = a.ss_family == AF_INET6 ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&a)->sin6_addr)
                                              : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&a)->sin_addr);
  ntop(a.ss_family, where, text, sizeof text);
  return text;
}

// The port of an IPv4 or IPv6 address the system filled in, in host order.
template <typename Storage>
std::uint16_t PortOf(const Storage& a) {
  return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&a)->sin6_port
                                       : reinterpret_cast<const sockaddr_in*>(&a)->sin_port);
}
}  // namespace serial_backend
