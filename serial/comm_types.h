// The panel's own copies of the Win32 line-setting types, in namespace comm so
// that Windows code can include <windows.h> beside them: there the real DCB,
// COMMTIMEOUTS and PURGE_* are the system's, and these are comm::.
//
// A file that includes <windows.h> must include this header first: the
// system's macros (NOPARITY, PURGE_RXABORT, INVALID_HANDLE_VALUE) would
// otherwise rewrite the declarations below.
#pragma once

#include <cstdint>

namespace comm {
// Line settings in the terms the panel uses. Every field left 0 goes to the
// driver as 0: no flow control, DTR and RTS off, no parity checking.
struct DCB {
  std::uint32_t DCBlength = 0;
  std::uint32_t BaudRate = 0;  // bits per second; 0 = none chosen
  std::uint32_t fBinary = 0;
  std::uint32_t fParity = 0;  // 1 = check parity on input
  std::uint32_t fOutxCtsFlow = 0;
  std::uint32_t fOutxDsrFlow = 0;
  std::uint32_t fDtrControl = 0;  // 0 = DTR off, 1 = on, 2 = handshake
  std::uint32_t fDsrSensitivity = 0;
  std::uint32_t fOutX = 0;  // XON/XOFF on output
  std::uint32_t fInX = 0;   // XON/XOFF on input
  std::uint32_t fRtsControl = 0;  // 0 = RTS off, 1 = on, 2 = handshake
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 0;  // data bits
  std::uint8_t Parity = 0;    // see below
  std::uint8_t StopBits = 0;  // 0 = one, 1 = one and a half, 2 = two
  char XonChar = 0;
  char XoffChar = 0;
};
inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
inline constexpr std::uint32_t DTR_CONTROL_DISABLE = 0, RTS_CONTROL_DISABLE = 0;

// All in milliseconds; 0 everywhere means no time-out at all.
struct COMMTIMEOUTS {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;  // per byte
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;  // per byte
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Purge masks.
inline constexpr unsigned PURGE_TXABORT = 0x01, PURGE_RXABORT = 0x02, PURGE_TXCLEAR = 0x04, PURGE_RXCLEAR = 0x08;

// The closed port; on Windows the same bits as the system's invalid handle.
inline constexpr std::intptr_t INVALID_HANDLE_VALUE = -1;
}  // namespace comm

// Why the last Open failed, mapped once per backend from the native error.
enum class SerialError {
  None,
  DeviceNotFound,
  PermissionDenied,
  DeviceBusy,           // held by another program (or another Varnel)
  UnsupportedSettings,  // the driver refused the line settings
  Resource,             // any other failure of the device
};

// Line error counts and modem lines where a POSIX driver keeps them apart from
// the line settings. Tests replace them to inject a line error or a refusal.
// (On Windows ClearCommError and the DCB do both, and these go unused.)
struct LineErrorCounts {
  std::uint64_t frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
  bool operator==(const LineErrorCounts&) const = default;
};
class LineIo {
 public:
  virtual ~LineIo() = default;
  // false when the driver keeps no counters (pl2303, ch341, pseudo-terminals).
  virtual bool ErrorCounts(std::intptr_t handle, LineErrorCounts& out) = 0;
  // Lower DTR and RTS; false when the device has no modem lines.
  virtual bool LowerModemLines(std::intptr_t handle) = 0;
};
LineIo& DefaultLineIo();
