// The device behind an open port, and what the port asks of it: one Win32
// serial call a method (in brackets). Three kinds: a driver's device, through
// the platform's backend (backend.h: POSIX or Win32, chosen by CMake), a line
// behind a serial device server on the network (net_device.h), and a device
// inside the program (in_process.h: the simulated gimbal on Windows).
// Which one a port gets is decided once, where it opens the name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serial/backend.h"
#include "serial/comm_types.h"

class InProcessDevice;

class PortDevice {
 public:
  virtual ~PortDevice() = default;  // (CloseHandle.)
  // The driver's handle, for tests that look at the line; invalid when there is none.
  virtual std::intptr_t Handle() const { return comm::INVALID_HANDLE_VALUE; }
  virtual void SetQueues(std::uint32_t inQueue, std::uint32_t outQueue) = 0;  // (SetupComm.)
  virtual void Purge(unsigned mask) = 0;                                       // (PurgeComm.)
  virtual bool ApplyState(const comm::DCB& dcb, LineIo& io) = 0;               // (SetCommState.)
  virtual bool ApplyTimeouts(const comm::COMMTIMEOUTS& t, std::uint32_t baud) = 0;  // (SetCommTimeouts.)
  // (ClearCommError.) Errors counted so far belong to an earlier user of the line.
  virtual void TakeErrorBaseline(LineIo& io, LineErrorCounts& baseline) = 0;
  virtual serial_backend::CommStatus ClearError(LineIo& io, LineErrorCounts& baseline) = 0;
  virtual long ReadSome(void* buffer, unsigned n) = 0;  // (ReadFile.)
  virtual serial_backend::WriteResult WriteAll(const void* buffer, unsigned count,
                                               unsigned deadlineMs) = 0;  // (WriteFile.)
  // A line behind a serial device server (net_device.h): it keeps its
  // connection when only the line settings change.
  virtual bool IsNetwork() const { return false; }
  // What the device has to tell the operator since the last call (a server
  // that set another parity than asked); nothing for a driver's device.
  virtual std::vector<std::string> TakeNotes() { return {}; }
};

// A driver's device at path; nullptr with the reason when it cannot be opened.
std::unique_ptr<PortDevice> OpenDriverDevice(const std::string& path, serial_backend::OpenResult& failure);
// The port's face of a device inside the program; the device outlives it.
std::unique_ptr<PortDevice> InProcessPortDevice(InProcessDevice& device);
