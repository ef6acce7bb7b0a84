// The Win32 backend of a network line: Winsock 2, non-blocking sockets.
//
// backend.h first, as in com_win32.cpp: the panel's comm:: types before the
// system's headers and their macros.
#include "serial/backend.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <mswsock.h>
#include <windows.h>

#include "serial/socket_addresses.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace serial_backend {
struct SocketAddresses {
  std::vector<sockaddr_storage> address;
  std::vector<int> length;
};

namespace {
SOCKET S(std::intptr_t h) { return static_cast<SOCKET>(h); }

// Winsock is started once for the process, as Winsock asks; the system
// takes it down with the process.
bool Started() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::string Reason(int e) {
  switch (e) {
    case WSAECONNREFUSED: return "the server refused the connection (nothing listens at that port)";
    case WSAETIMEDOUT: return "the server does not answer";
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH: return "the server cannot be reached";
    case WSAECONNRESET: return "the server reset the connection";
    case WSAHOST_NOT_FOUND: return "no such host is known";
    case WSATRY_AGAIN: return "the name server did not answer in time";
    case WSANO_DATA: return "the name has no address";
    default: {
      char* text = nullptr;
      const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, static_cast<DWORD>(e), 0, reinterpret_cast<char*>(&text), 0, nullptr);
      std::string s = n && text ? std::string(text, n) : std::string();
      if (text) LocalFree(text);
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
      return "network error " + std::to_string(e) + (s.empty() ? "" : " (" + s + ")");
    }
  }
}

// TCP_INFO_v0 as Windows documents it; the SDK declares it only for newer targets.
struct TcpInfoV0 {
  int state;
  ULONG mss;
  ULONG64 connectionTimeMs;
  BOOLEAN timestampsEnabled;
  ULONG rttUs, minRttUs, bytesInFlight, cwnd, sndWnd, rcvWnd, rcvBuf;
  ULONG64 bytesOut, bytesIn;
  ULONG bytesReordered, bytesRetrans, fastRetrans, dupAcksIn, timeoutEpisodes;
  UCHAR synRetrans;
};
constexpr DWORD kSioTcpInfo = _WSAIORW(IOC_VENDOR, 39);

// False where the system cannot tell (older Windows, Wine).
bool BytesInFlight(std::intptr_t h, unsigned long& out) {
  DWORD version = 0, got = 0;
  TcpInfoV0 info{};
  if (WSAIoctl(S(h), kSioTcpInfo, &version, sizeof version, &info, sizeof info, &got, nullptr, nullptr) != 0)
    return false;
  out = info.bytesInFlight;
  return true;
}

// select's answer within waitMs: readable, writable or failed.
int Wait(std::intptr_t h, unsigned waitMs, bool write, bool& failed) {
  fd_set set, errors;
  FD_ZERO(&set);
  FD_ZERO(&errors);
  FD_SET(S(h), &set);
  FD_SET(S(h), &errors);
  timeval tv{static_cast<long>(waitMs / 1000), static_cast<long>(waitMs % 1000) * 1000};
  const int ready = select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &tv);
  failed = ready == SOCKET_ERROR || FD_ISSET(S(h), &errors);
  return ready;
}
}  // namespace

ResolveResult Resolve(const std::string& host, std::uint16_t port) {
  ResolveResult r;
  if (!Started()) {
    r.reason = "Winsock did not start";
    return r;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const int e = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (e != 0 || !list) {
    r.reason = "no such host " + host + " (" + Reason(e) + ")";
    return r;
  }
  return KeepAddresses<SocketAddresses>(list, host, freeaddrinfo);
}

std::size_t AddressCount(const SocketAddresses& a) { return a.address.size(); }

ConnectResult StartConnect(const SocketAddresses& a, std::size_t index) {
  ConnectResult r;
  if (index >= a.address.size() || !Started()) {
    r.reason = "no address left to try";
    return r;
  }
  const auto* addr = reinterpret_cast<const sockaddr*>(&a.address[index]);
  const SOCKET s = WSASocketW(addr->sa_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) {
    r.reason = Reason(WSAGetLastError());
    return r;
  }
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  if (connect(s, addr, a.length[index]) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
    const int e = WSAGetLastError();
    closesocket(s);
    r.refused = e == WSAECONNREFUSED;
    r.reason = Reason(e);
    return r;
  }
  r.handle = static_cast<std::intptr_t>(s);
  return r;
}

ConnectState CheckConnect(std::intptr_t h, unsigned waitMs, ConnectResult& why) {
  bool failed = false;
  const int ready = Wait(h, waitMs, true, failed);
  if (ready == 0) return ConnectState::kPending;
  int error = 0;
  int len = sizeof error;
  if (getsockopt(S(h), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0) error = WSAGetLastError();
  if (!failed && error == 0) return ConnectState::kConnected;
  if (error == 0) error = WSAECONNREFUSED;  // select said failed without a reason
  why.refused = error == WSAECONNREFUSED;
  why.reason = Reason(error);
  return ConnectState::kFailed;
}

void TuneSocket(std::intptr_t h) {
  const BOOL one = TRUE;
  setsockopt(S(h), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  // A small send queue: what a server that stopped reading has not taken
  // is dropped as the stall's, never delivered late.
  setsockopt(S(h), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&kNetworkSendBuffer),
             sizeof kNetworkSendBuffer);
  // Probes after 3 s idle, then every 500 ms; Windows gives up after ten.
  tcp_keepalive keepalive{1, 3000, 500};
  DWORD bytes = 0;
  WSAIoctl(S(h), SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &bytes, nullptr, nullptr);
}

long ReceiveSome(std::intptr_t h, void* buffer, unsigned n, bool& closed) {
  const int got = recv(S(h), static_cast<char*>(buffer), static_cast<int>(n), 0);
  if (got > 0) return got;
  closed = got == 0 || WSAGetLastError() != WSAEWOULDBLOCK;
  return 0;
}

bool WaitReadable(std::intptr_t h, unsigned waitMs) {
  bool failed = false;
  return Wait(h, waitMs, false, failed) > 0;
}

WriteResult SendAll(std::intptr_t h, const void* buffer, unsigned count, unsigned deadlineMs, bool inFlightBound) {
  const auto* p = static_cast<const char*>(buffer);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  WriteResult result;
  // What the server has not acknowledged yet is waited for, up to the
  // deadline, where the system says it (SIO_TCP_INFO, Windows 10 1703 on);
  // elsewhere the small send queue alone bounds it.
  for (unsigned long inFlight = 0; inFlightBound && BytesInFlight(h, inFlight) && inFlight > kNetworkInFlightBytes;) {
    if (std::chrono::steady_clock::now() >= deadline) {
      result.deadline = true;
      return result;
    }
    Sleep(2);
  }
  while (result.written < static_cast<long>(count)) {
    const int w = send(S(h), p + result.written, static_cast<int>(count - static_cast<unsigned>(result.written)), 0);
    if (w > 0) {
      result.written += w;
      continue;
    }
    if (w == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
      result.gone = true;
      break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.deadline = true;
      break;
    }
    bool failed = false;
    const int ready = Wait(h, static_cast<unsigned>(left.count()), true, failed);
    if (failed) {
      result.gone = true;
      break;
    }
    if (ready == 0) {
      result.deadline = true;
      break;
    }
  }
  return result;
}

void CloseSocket(std::intptr_t h) { closesocket(S(h)); }

namespace {
// A socket of type bound to host:port (a stream socket listening too), non-blocking.
ListenResult Bound(const std::string& host, std::uint16_t port, int type) {
  ListenResult r;
  const addrinfo hints = ListenHints<addrinfo>(type);
  addrinfo* list = nullptr;
  if (!Started() || getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0 || !list) {
    r.reason = host + " is no address to listen on";
    return r;
  }
  const bool stream = type == SOCK_STREAM;
  const SOCKET s =
      WSASocketW(list->ai_family, type, stream ? IPPROTO_TCP : IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  // Windows lets another program take a port that is in use unless asked not to.
  const BOOL one = TRUE;
  if (s != INVALID_SOCKET)
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
  if (s == INVALID_SOCKET || bind(s, list->ai_addr, static_cast<int>(list->ai_addrlen)) != 0 ||
      (stream && listen(s, 16) != 0)) {
    r.reason = Reason(WSAGetLastError());
    if (s != INVALID_SOCKET) closesocket(s);
    freeaddrinfo(list);
    return r;
  }
  freeaddrinfo(list);
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  if (!stream) {
    // A controller gone away makes the next receive fail with a reset, not the socket.
    BOOL noReset = FALSE;
    DWORD unused = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &noReset, sizeof noReset, nullptr, 0, &unused, nullptr, nullptr);
  }
  sockaddr_storage a{};
  int len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  r.port = PortOf(a);
  r.handle = static_cast<std::intptr_t>(s);
  return r;
}
}  // namespace

ListenResult Listen(const std::string& host, std::uint16_t port) { return Bound(host, port, SOCK_STREAM); }

ListenResult BindDatagram(const std::string& host, std::uint16_t port) { return Bound(host, port, SOCK_DGRAM); }

long ReceiveDatagram(std::intptr_t s, void* buffer, unsigned n, Sender& from) {
  sockaddr_storage a{};
  int len = sizeof a;
  const int got = recvfrom(S(s), static_cast<char*>(buffer), static_cast<int>(n), 0, reinterpret_cast<sockaddr*>(&a), &len);
  // Longer than the buffer: Windows keeps its start and says so.
  const bool cut = got < 0 && WSAGetLastError() == WSAEMSGSIZE;
  if (got < 0 && !cut) return -1;
  from.address.assign(reinterpret_cast<const char*>(&a), static_cast<std::size_t>(len));
  from.host = HostOf(a, [](int family, const void* where, char* text, std::size_t size) {
    inet_ntop(family, where, text, size);
  });
  from.text = from.host + ":" + std::to_string(PortOf(a));
  return cut ? static_cast<long>(n) + 1 : got;
}

bool SendDatagram(std::intptr_t s, const void* buffer, unsigned n, const Sender& to) {
  return sendto(S(s), static_cast<const char*>(buffer), static_cast<int>(n), 0,
                reinterpret_cast<const sockaddr*>(to.address.data()), static_cast<int>(to.address.size())) ==
         static_cast<int>(n);
}

std::intptr_t AcceptOne(std::intptr_t listener, std::string& peer) {
  sockaddr_storage a{};
  int len = sizeof a;
  const SOCKET s = accept(S(listener), reinterpret_cast<sockaddr*>(&a), &len);
  if (s == INVALID_SOCKET) return ConnectResult{}.handle;  // none waits
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  char text[64] = "?";
  DWORD size = sizeof text;
  WSAAddressToStringA(reinterpret_cast<sockaddr*>(&a), static_cast<DWORD>(len), nullptr, text, &size);
  peer = text;
  const BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  // What a client does not read waits in the program, where it is counted, not in the system.
  setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&kClientSendBuffer), sizeof kClientSendBuffer);
  return static_cast<std::intptr_t>(s);
}
}  // namespace serial_backend
