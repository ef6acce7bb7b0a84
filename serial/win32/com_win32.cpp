// The Win32 backend of the serial port: the Windows serial calls themselves,
// synchronous, on the dialog's thread. The port is exclusive (share mode 0),
// so a second program (or a second Varnel) cannot open it while we have it.
//
// backend.h first: it declares the panel's own DCB and COMMTIMEOUTS (comm::)
// before <windows.h> brings the real ones and its macros.
#include "serial/backend.h"
#include "serial/win32/open_error.h"

#include <windows.h>

#include <cctype>

namespace serial_backend {
namespace {
HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// The system's own words for an error we have no better reason for.
std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s = n && text ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
  return "error " + std::to_string(code) + (s.empty() ? "" : " (" + s + ")");
}
}  // namespace

// Each CreateFile error an operator meets, mapped once into what to do about it.
OpenResult MapOpenError(unsigned long code) {
  OpenResult r;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
      r.error = SerialError::DeviceNotFound;
      r.reason = "no such port (is the adapter plugged in? Device Manager lists the COM numbers under Ports)";
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      // Windows answers "access denied" for a COM port another program holds.
      r.error = SerialError::DeviceBusy;
      r.reason = "in use by another program (close it, or choose another port)";
      break;
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
      r.error = SerialError::Resource;
      r.reason = "the device does not answer (unplug the adapter and plug it in again)";
      break;
    default:
      r.error = SerialError::Resource;
      r.reason = SystemMessage(static_cast<DWORD>(code));
      break;
  }
  return r;
}

OpenResult OpenDevice(const std::string& path) {
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return MapOpenError(GetLastError());
  OpenResult r;
  r.handle = reinterpret_cast<std::intptr_t>(h);
  return r;
}

void SetQueues(std::intptr_t h, std::uint32_t inQueue, std::uint32_t outQueue) {
  SetupComm(H(h), inQueue, outQueue);  // a request; the driver may keep its own sizes
}

void Purge(std::intptr_t h, unsigned mask) { PurgeComm(H(h), mask); }

bool ApplyState(std::intptr_t h, const comm::DCB& d, LineIo&) {
  // Field by field into the real DCB: every field the caller left 0 goes to
  // the driver as 0 (no flow control, DTR and RTS off), never merged with the
  // port's current state. DTR and RTS need no call of their own here.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = d.BaudRate;
  dcb.fBinary = d.fBinary;
  dcb.fParity = d.fParity;
  dcb.fOutxCtsFlow = d.fOutxCtsFlow;
  dcb.fOutxDsrFlow = d.fOutxDsrFlow;
  dcb.fDtrControl = d.fDtrControl;
  dcb.fDsrSensitivity = d.fDsrSensitivity;
  dcb.fOutX = d.fOutX;
  dcb.fInX = d.fInX;
  dcb.fRtsControl = d.fRtsControl;
  dcb.XonLim = d.XonLim;
  dcb.XoffLim = d.XoffLim;
  dcb.ByteSize = d.ByteSize;
  dcb.Parity = d.Parity;
  dcb.StopBits = d.StopBits;
  dcb.XonChar = d.XonChar;
  dcb.XoffChar = d.XoffChar;
  return SetCommState(H(h), &dcb) != 0;
}

bool ApplyTimeouts(std::intptr_t h, const comm::COMMTIMEOUTS& t, std::uint32_t baud) {
  COMMTIMEOUTS native{};
  native.ReadIntervalTimeout = t.ReadIntervalTimeout;
  native.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
  native.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
  native.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
  native.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
  if (native.WriteTotalTimeoutMultiplier == 0 && native.WriteTotalTimeoutConstant == 0) {
    // No write time-out would let a device that never drains its input (flow
    // control held off, a hung adapter) stop the window inside WriteFile.
    native.WriteTotalTimeoutMultiplier = LineTimeMs(1, baud);
    native.WriteTotalTimeoutConstant = kWriteGraceMs;
  }
  return SetCommTimeouts(H(h), &native) != 0;
}

CommStatus ClearError(std::intptr_t h, LineIo&, LineErrorCounts&) {
  CommStatus status;
  DWORD errors = 0;
  COMSTAT stat{};
  if (!ClearCommError(H(h), &errors, &stat)) {
    // A port that works always answers; an unplugged adapter's handle fails
    // every call from then on.
    status.gone = true;
    return status;
  }
  status.lineError = errors != 0;
  status.queued = static_cast<long>(stat.cbInQue);
  return status;
}

long ReadSome(std::intptr_t h, void* buffer, unsigned n) {
  DWORD got = 0;
  if (!ReadFile(H(h), buffer, n, &got, nullptr)) return 0;
  return static_cast<long>(got);
}

WriteResult WriteAll(std::intptr_t h, const void* buffer, unsigned count, unsigned deadlineMs) {
  // The deadline is the write time-out set at Open. A write that must not
  // wait runs under a 1 ms time-out, then the port's own time-outs come back.
  COMMTIMEOUTS saved{};
  const bool probe = deadlineMs == 0 && GetCommTimeouts(H(h), &saved);
  if (probe) {
    COMMTIMEOUTS quick = saved;
    quick.WriteTotalTimeoutMultiplier = 0;
    quick.WriteTotalTimeoutConstant = 1;
    SetCommTimeouts(H(h), &quick);
  }
  WriteResult result;
  DWORD written = 0;
  const BOOL ok = WriteFile(H(h), buffer, count, &written, nullptr);
  const DWORD error = ok ? 0 : GetLastError();
  if (probe) SetCommTimeouts(H(h), &saved);
  result.written = static_cast<long>(written);
  // A synchronous write that times out succeeds with fewer bytes (some
  // drivers fail it with a time-out code instead).
  result.deadline = written < count &&
                    (ok || error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT || error == WAIT_TIMEOUT);
  result.gone = !ok && (error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND || error == ERROR_GEN_FAILURE ||
                        error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_OPERATION_ABORTED);
  return result;
}

void CloseDevice(std::intptr_t h) { CloseHandle(H(h)); }

// COM10 and above open only through the device namespace; COM1 to COM9 take
// it just as well, so every COM name goes that way.
std::string DeviceForCom(int n) { return "\\\\.\\COM" + std::to_string(n); }

int ComForDevice(const std::string& device) {
  const std::string prefix = "\\\\.\\COM";
  if (device.size() <= prefix.size() || device.size() > prefix.size() + 3) return 0;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(device[i])) != prefix[i]) return 0;
  int n = 0;
  for (std::size_t i = prefix.size(); i < device.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(device[i]))) return 0;
    n = n * 10 + (device[i] - '0');
  }
  return n;
}
}  // namespace serial_backend

// ClearCommError reports line errors and the DCB sets the modem lines; the
// driver calls a POSIX backend needs apart have nothing to do here.
namespace {
class NoLineIo final : public LineIo {
 public:
  bool ErrorCounts(std::intptr_t, LineErrorCounts&) override { return false; }
  bool LowerModemLines(std::intptr_t) override { return true; }
};
}  // namespace

LineIo& DefaultLineIo() {
  static NoLineIo io;
  return io;
}
