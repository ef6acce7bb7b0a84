// Private hooks that each platform backend implements for com_base.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "serial/com_base.h"

namespace serial_backend {
struct OpenResult {
  std::intptr_t handle = INVALID_HANDLE_VALUE;
  SerialError error = SerialError::None;
  std::string reason;  // for the operator: "permission denied (group dialout) ..."
};
OpenResult OpenDevice(const std::string& path);
void CloseDevice(std::intptr_t handle);
void Purge(std::intptr_t handle, unsigned mask);
bool ApplyState(std::intptr_t handle, const DCB& dcb, LineIo& io);
bool ApplyTimeouts(std::intptr_t handle, const COMMTIMEOUTS& timeouts);
// Bytes queued by the driver, -1 when that cannot be asked.
long QueuedInput(std::intptr_t handle);
long ReadSome(std::intptr_t handle, void* buffer, unsigned n);
// Writes everything or gives up after deadlineMs; returns the count written.
long WriteAll(std::intptr_t handle, const void* buffer, unsigned count, unsigned deadlineMs);
}  // namespace serial_backend
