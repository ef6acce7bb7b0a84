// GetLastError after a failed CreateFile, mapped once into SerialError and a
// reason the operator can act on. Windows builds only.
#pragma once

#include "serial/backend.h"

namespace serial_backend {
OpenResult MapOpenError(unsigned long code);  // a Win32 error code (DWORD)
}
