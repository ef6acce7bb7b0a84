// Private hooks that each platform backend implements for com_base.cpp and
// port_map.cpp, one call of the Win32 serial API each (in brackets): the
// Win32 backend makes exactly that call, the POSIX one its nearest match.
// Includes only comm_types.h, so that the Win32 backend can include
// <windows.h> after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/comm_types.h"
#include "serial/line_time.h"

namespace serial_backend {
struct OpenResult {
  std::intptr_t handle = comm::INVALID_HANDLE_VALUE;
  SerialError error = SerialError::None;
  std::string reason;  // for the operator: "permission denied (group dialout) ..."
};
// (CreateFileA: read and write, exclusive, synchronous.)
OpenResult OpenDevice(const std::string& path);
// (SetupComm.) A request the driver may round or ignore; never fails the open.
void SetQueues(std::intptr_t handle, std::uint32_t inQueue, std::uint32_t outQueue);
// (PurgeComm.)
void Purge(std::intptr_t handle, unsigned mask);
// (SetCommState.) The DCB goes to the driver as it is, zero fields included.
bool ApplyState(std::intptr_t handle, const comm::DCB& dcb, LineIo& io);
// (SetCommTimeouts.) Write time-outs of 0 (none) become the line time of the
// bytes at baud plus two seconds, so that a stalled device cannot freeze the panel.
bool ApplyTimeouts(std::intptr_t handle, const comm::COMMTIMEOUTS& timeouts, std::uint32_t baud);

// (ClearCommError.) Whether a line error (framing, parity, overrun, break) was
// pending, now cleared, and how many bytes the driver has queued (-1 when that
// cannot be asked).
struct CommStatus {
  bool lineError = false;
  long queued = -1;
  bool gone = false;  // the device went away (unplugged, hung up): it will not come back on this handle
};
CommStatus ClearError(std::intptr_t handle, LineIo& io, LineErrorCounts& baseline);
// (ReadFile.) Never called with more than is queued, so it does not wait.
long ReadSome(std::intptr_t handle, void* buffer, unsigned n);
// (WriteFile.) Everything, or what went out before deadlineMs (0: only what
// the driver takes at once, without waiting).
struct WriteResult {
  long written = 0;
  bool deadline = false;  // cut short by the deadline, not by an error
  bool gone = false;      // the device went away
};
WriteResult WriteAll(std::intptr_t handle, const void* buffer, unsigned count, unsigned deadlineMs);
// (CloseHandle.)
void CloseDevice(std::intptr_t handle);

// A write may take the line time of its bytes (LineTimeMs, line_time.h)
// plus this much before it gives up.
inline constexpr unsigned kWriteGraceMs = 2000;
using ::LineTimeMs;

// ---- Network sockets, for a line behind a serial device server ----------
// (socket, connect, send, recv, closesocket.) Every socket is non-blocking:
// nothing here waits longer than the caller says.
struct SocketAddresses;  // what a host name resolved to; the backend's own
struct ResolveResult {
  std::shared_ptr<SocketAddresses> addresses;  // null when the name has none
  std::string reason;
};
// (getaddrinfo.) Numeric addresses never ask a name server.
ResolveResult Resolve(const std::string& host, std::uint16_t port);
std::size_t AddressCount(const SocketAddresses& addresses);
struct ConnectResult {
  std::intptr_t handle = comm::INVALID_HANDLE_VALUE;
  bool refused = false;  // the server's machine answered: nobody listens there
  std::string reason;    // for the operator when there is no handle
};
// Starts connecting to the index-th address; the handle comes back at once,
// connected or still connecting.
ConnectResult StartConnect(const SocketAddresses& addresses, std::size_t index);
enum class ConnectState { kConnected, kPending, kFailed };
// Waits at most waitMs for the connection; on kFailed, why (and whether refused).
ConnectState CheckConnect(std::intptr_t handle, unsigned waitMs, ConnectResult& why);
inline constexpr unsigned kNetworkInFlightBytes = 96;  // a frame, its FF bytes doubled by telnet
inline constexpr int kNetworkSendBuffer = 2048;       // asked of the system, which may round it up
// TCP_NODELAY (a frame goes out as it is handed over), a small send queue
// (kNetworkSendBuffer), and keepalive short
// enough that a pulled network cable is noticed within about ten seconds.
void TuneSocket(std::intptr_t handle);
// Whatever has arrived, up to n bytes; never waits. closed: the server
// ended the connection or it broke (after the bytes returned).
long ReceiveSome(std::intptr_t handle, void* buffer, unsigned n, bool& closed);
// Waits at most waitMs for something to read (or the end of the connection).
bool WaitReadable(std::intptr_t handle, unsigned waitMs);
// Everything, or what went out before deadlineMs (0: what the socket takes
// at once); one send call for all of it when the socket has the room. Never
// more than kNetworkInFlightBytes waits unacknowledged towards the server
// before a send, and the socket's own queue is kept small (TuneSocket), so
// that a server that stops reading is a stall like a serial line's: what
// cannot go then is dropped, never delivered late.
// inFlightBound false: the telnet layer's own requests, which must never be dropped.
WriteResult SendAll(std::intptr_t handle, const void* buffer, unsigned count, unsigned deadlineMs,
                    bool inFlightBound = true);
void CloseSocket(std::intptr_t handle);

// ---- A listening socket, for programs that drive the panel --------------
struct ListenResult {
  std::intptr_t handle = comm::INVALID_HANDLE_VALUE;
  std::uint16_t port = 0;  // the one taken (port 0 asks for a free one)
  std::string reason;      // for the operator when there is no handle
};
// (socket, bind, listen.) host must be a numeric address; non-blocking.
ListenResult Listen(const std::string& host, std::uint16_t port);
inline constexpr int kClientSendBuffer = 16384;  // an accepted connection's send queue, asked of the system
// (accept.) A connection that waits, non-blocking (TCP_NODELAY, a send queue
// of kClientSendBuffer), with its peer's address as text; invalid when none
// waits. Never waits itself.
std::intptr_t AcceptOne(std::intptr_t listener, std::string& peer);

// ---- A datagram socket, for controllers that speak VISCA over IP --------
// (socket, bind.) host must be a numeric address; non-blocking. SO_EXCLUSIVEADDRUSE on Windows.
ListenResult BindDatagram(const std::string& host, std::uint16_t port);
// Who sent a datagram: the address as the system gave it (to answer to, and
// to compare), the host alone and host:port as text.
struct Sender {
  std::string address;  // the raw socket address
  std::string host, text;
};
// (recvfrom.) One datagram that waits, up to n bytes of it, and its sender;
// its whole size (more than n: it was longer, and cut), or -1 when none
// waits. Never waits.
long ReceiveDatagram(std::intptr_t socket, void* buffer, unsigned n, Sender& from);
// (sendto.) false when the system did not take it (a full queue drops it, as UDP does).
bool SendDatagram(std::intptr_t socket, const void* buffer, unsigned n, const Sender& to);

// The device a "COMn" of the panel reaches when no --port maps it, and back
// (0 when the device is none of those).
std::string DeviceForCom(int n);
int ComForDevice(const std::string& device);

// What a device says of itself that another device would not, read where
// --list-ports reads it: a USB adapter's vendor, product and serial number
// from sysfs; on Windows the device instance SetupAPI names. Empty when the
// device says nothing of the kind (a pseudo-terminal, a built-in UART).
std::string DeviceIdentity(const std::string& path);
// Whether path goes away with its device and comes back with it (a udev
// stable link), rather than a bare device node that the next device or
// terminal takes; on Windows never: a COM name is the same device only when
// DeviceIdentity says so.
bool NameFollowsDevice(const std::string& path);
}  // namespace serial_backend
