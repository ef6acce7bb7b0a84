// A line behind a serial device server (net_address.h), as the port sees a
// device: the same calls as a driver's (device.h), on a TCP connection, with
// the RFC 2217 layer (rfc2217.h) between for rfc2217:// ports.
//
// Opening one is a connection under way across calls: the port may wait
// for it or look at it and come back later (the panel always does), so that
// neither a server nor a name server that does not answer holds the window.
// The name is looked up on a thread of its own, which a connection given up
// leaves behind to end by itself (a silent resolver takes 20 s or more).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/backend.h"
#include "serial/device.h"
#include "serial/net_address.h"

// How long a server may take to take the connection, once its name is looked up.
inline constexpr unsigned kConnectMs = 3000;
// After the connection is taken, how long to listen for a server that says
// it is busy and hangs up (ser2net: "Port already in use") before the port
// counts as open.
inline constexpr unsigned kSettleMs = 100;

struct PendingLookup;

class NetworkConnect {
 public:
  explicit NetworkConnect(const NetAddress& address);
  ~NetworkConnect();
  NetworkConnect(const NetworkConnect&) = delete;
  NetworkConnect& operator=(const NetworkConnect&) = delete;

  enum class Step { kPending, kReady, kFailed };
  // Goes as far as it can within waitMs (0: only what is ready now).
  Step Advance(unsigned waitMs);
  // Once kReady: the device, configured by nobody yet.
  std::unique_ptr<PortDevice> Take();
  // Once kFailed: why, mapped as a driver's open failure is.
  SerialError Error() const { return m_error; }
  // Still waiting for the name server (kPending before any connection).
  bool LookingUp() const { return !m_addresses && m_error == SerialError::None; }
  const std::string& Reason() const { return m_reason; }

 private:
  Step Fail(SerialError error, std::string reason);
  bool Settled(std::uint64_t now);
  bool LookedUp(unsigned waitMs);  // false while the resolver has not answered
  NetAddress m_address;
  std::shared_ptr<PendingLookup> m_lookup;  // shared with the lookup's thread
  std::shared_ptr<serial_backend::SocketAddresses> m_addresses;
  std::size_t m_next = 0;  // the next address to try
  std::intptr_t m_socket = comm::INVALID_HANDLE_VALUE;
  std::uint64_t m_startedAt = 0, m_connectedAt = 0;
  std::unique_ptr<PortDevice> m_device;  // connected, settling
  SerialError m_error = SerialError::None;
  std::string m_reason;
  bool m_refused = false;
};

// Milliseconds of a steady clock, for the deadlines here.
std::uint64_t NowMs();
