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
Info ListenHints() {
  Info hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
  return hints;
}

// The port of an IPv4 or IPv6 address the system filled in, in host order.
template <typename Storage>
std::uint16_t PortOf(const Storage& a) {
  return ntohs(a.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&a)->sin6_port
                                       : reinterpret_cast<const sockaddr_in*>(&a)->sin_port);
}
}  // namespace serial_backend
