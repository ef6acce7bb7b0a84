// Private hooks that each platform backend implements for com_base.cpp and
// port_map.cpp, one call of the Win32 serial API each (in brackets): the
// Win32 backend makes exactly that call, the POSIX one its nearest match.
// Includes only comm_types.h, so that the Win32 backend can include
// <windows.h> after it.
#pragma once

#include <cstdint>
#include <string>

#include "serial/comm_types.h"

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

// A write may take the line time of its bytes (11 bits each: start, 8 data,
// parity, stop) plus this much before it gives up.
inline constexpr unsigned kWriteGraceMs = 2000;
inline unsigned LineTimeMs(unsigned long long bytes, std::uint32_t baud) {
  const unsigned long long rate = baud ? baud : 9600;  // no rate chosen: the slowest of the list
  return static_cast<unsigned>((bytes * 11 * 1000 + rate - 1) / rate);
}

// The device a "COMn" of the panel reaches when no --port maps it, and back
// (0 when the device is none of those).
std::string DeviceForCom(int n);
int ComForDevice(const std::string& device);
}  // namespace serial_backend
