// The one serial port of the panel. Open configures the line exactly as the
// caller's DCB says; Read never waits; Write hands every byte to the driver.
// Platform code lives in one backend file per platform (posix/com_posix.cpp)
// behind the private hooks of backend.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

struct COMMTIMEOUTS {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Purge masks.
inline constexpr unsigned PURGE_TXABORT = 0x01, PURGE_RXABORT = 0x02, PURGE_TXCLEAR = 0x04, PURGE_RXCLEAR = 0x08;

// Why the last Open failed, mapped once per backend from the native error.
enum class SerialError {
  None,
  DeviceNotFound,
  PermissionDenied,
  DeviceBusy,           // held by another process (or another Varnel)
  UnsupportedSettings,  // the driver refused the line settings
  Resource,             // any other failure of the device
};

// Line error counts and modem lines: the calls that differ between drivers.
// Tests replace them to inject a line error or a refusal.
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

inline constexpr std::intptr_t INVALID_HANDLE_VALUE = -1;

class CComBase {
 public:
  CComBase();
  virtual int Open(std::string name, const DCB* dcb, const COMMTIMEOUTS* timeouts) = 0;
  virtual int Read(void* buffer, unsigned max) = 0;
  virtual int Write(const void* buffer, unsigned count) = 0;
  virtual ~CComBase();

  void Close();
  bool IsOpen() const { return m_hCom != INVALID_HANDLE_VALUE; }
  std::intptr_t NativeHandle() const { return m_hCom; }
  bool SetState(const DCB* dcb);
  bool SetTimeouts(const COMMTIMEOUTS* timeouts);

  SerialError LastError() const { return m_lastError; }
  // One line for the operator's terminal: the device and the reason.
  const std::string& LastErrorText() const { return m_lastErrorText; }
  const std::string& DevicePath() const { return m_devicePath; }

  void SetLineIo(LineIo* io) { m_lineIo = io ? io : &DefaultLineIo(); }

 protected:
  // True when the driver counted a line error since the last look.
  bool TakeLineError();
  void Fail(SerialError error, std::string text);

  std::intptr_t m_hCom = INVALID_HANDLE_VALUE;
  std::uint32_t m_dwInQueue = 8192;
  std::uint32_t m_dwOutQueue = 8192;
  DCB m_dcb;
  COMMTIMEOUTS m_timeouts;
  LineIo* m_lineIo;
  LineErrorCounts m_errorBaseline;
  std::uint32_t m_baud = 0;  // for the write deadline
  SerialError m_lastError = SerialError::None;
  std::string m_lastErrorText;
  std::string m_devicePath;
};

class CComSync : public CComBase {
 public:
  int Open(std::string name, const DCB* dcb, const COMMTIMEOUTS* timeouts) override;
  int Read(void* buffer, unsigned max) override;
  int Write(const void* buffer, unsigned count) override;
  ~CComSync() override = default;
};

extern CComSync g_ComPort;
