// The POSIX backend of the serial port: termios, flock and ioctls.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "serial/backend.h"
#include "serial/posix/permission.h"
#include "serial/posix/termios_map.h"
#include "serial/posix/write_before.h"

namespace serial_backend {
namespace {
int Fd(std::intptr_t h) { return static_cast<int>(h); }

// Unix98 pseudo-terminal slaves have majors 136 to 143.
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned m = major(st.st_rdev);
  return m >= 136 && m <= 143;
}
}  // namespace

OpenResult OpenDevice(const std::string& path) {
  OpenResult r;
  // O_NONBLOCK: neither a missing carrier nor a full output queue may ever
  // stop the panel; Write waits with a deadline of its own.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (e == ENOENT || e == ENODEV || e == ENXIO) {
      r.error = SerialError::DeviceNotFound;
      r.reason = "no such device";
    } else if (e == EACCES || e == EPERM) {
      r.error = SerialError::PermissionDenied;
      const std::string advice = PermissionAdviceFor(path);
      r.reason = "permission denied" + (advice.empty() ? std::string() : " (" + advice + ")");
    } else if (e == EBUSY) {
      r.error = SerialError::DeviceBusy;
      r.reason = "held by another program";
    } else {
      r.error = SerialError::Resource;
      r.reason = std::strerror(e);
    }
    return r;
  }
  if (!isatty(fd)) {
    close(fd);
    r.error = SerialError::DeviceNotFound;
    r.reason = "not a serial device";
    return r;
  }
  // TIOCEXCL does not stop root from opening, so ask whether another
  // program holds the line that way: two programs writing to one line
  // garble each other's frames. And take the flock that other serial tools
  // (and a second Varnel) honour.
  int exclusive = 0;
  if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) {
    close(fd);
    r.error = SerialError::DeviceBusy;
    r.reason = "held by another program";
    return r;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    r.error = SerialError::DeviceBusy;
    r.reason = "held by another program";
    return r;
  }
  ioctl(fd, TIOCEXCL);
  r.handle = fd;
  return r;
}

void CloseDevice(std::intptr_t h) {
  // Clear the exclusive flag: it belongs to the tty, not to this descriptor,
  // and would otherwise outlive us while another descriptor stays open. It is
  // ours to clear: a line that was exclusive before was never opened.
  ioctl(Fd(h), TIOCNXCL);
  flock(Fd(h), LOCK_UN);
  close(Fd(h));
}

void SetQueues(std::intptr_t, std::uint32_t, std::uint32_t) {
  // A tty's queues are the kernel's own (4 KB in, a page or more out); there
  // is no call to ask for other sizes.
}

void Purge(std::intptr_t h, unsigned mask) {
  const bool rx = mask & (comm::PURGE_RXABORT | comm::PURGE_RXCLEAR);
  const bool tx = mask & (comm::PURGE_TXABORT | comm::PURGE_TXCLEAR);
  if (rx && tx) tcflush(Fd(h), TCIOFLUSH);
  else if (rx) tcflush(Fd(h), TCIFLUSH);
  else if (tx) tcflush(Fd(h), TCOFLUSH);
}

bool ApplyState(std::intptr_t h, const comm::DCB& dcb, LineIo& io) {
  // Refused before any system call: baud 0 would reach the driver as B0 and
  // hang up the line.
  const std::optional<termios> wanted = DcbToTermios(dcb);
  if (!wanted) return false;
  // A pseudo-terminal can answer EINVAL to a change it does not hold (parity),
  // so judge by what the device reads back, not by the call's result.
  tcsetattr(Fd(h), TCSANOW, &*wanted);
  termios got{};
  if (tcgetattr(Fd(h), &got) != 0) return false;
  if (!TermiosHolds(*wanted, got, IsPseudoTerminal(Fd(h)))) return false;
  if (dcb.fDtrControl == comm::DTR_CONTROL_DISABLE && dcb.fRtsControl == comm::RTS_CONTROL_DISABLE) {
    io.LowerModemLines(h);  // a device without modem lines refuses; nothing to lower then
  }
  return true;
}

bool ApplyTimeouts(std::intptr_t, const comm::COMMTIMEOUTS&, std::uint32_t) {
  // Reads never wait (VMIN = VTIME = 0 and only the queued count is read);
  // writes have their own deadline. Nothing else to set here.
  return true;
}

CommStatus ClearError(std::intptr_t h, LineIo& io, LineErrorCounts& baseline) {
  CommStatus status;
  // The driver counts line errors instead of holding a pending mask: an error
  // is pending when a count moved since the last look. No counters, no errors.
  LineErrorCounts now;
  if (io.ErrorCounts(h, now)) {
    status.lineError = !(now == baseline);
    baseline = now;
  }
  int queued = 0;
  if (ioctl(Fd(h), FIONREAD, &queued) == 0) {
    status.queued = queued;
  } else {
    // A hung-up tty (adapter unplugged, the far end of a pseudo-terminal
    // closed) answers every question with EIO from then on.
    status.gone = errno == EIO || errno == ENXIO || errno == ENODEV;
  }
  return status;
}

long ReadSome(std::intptr_t h, void* buffer, unsigned n) {
  for (;;) {
    const ssize_t got = read(Fd(h), buffer, n);
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? 0 : static_cast<long>(got);
  }
}

std::string DeviceForCom(int n) { return "/dev/ttyS" + std::to_string(n - 1); }

int ComForDevice(const std::string& device) {
  const std::string prefix = "/dev/ttyS";
  if (device.compare(0, prefix.size(), prefix) != 0) return 0;
  const std::string rest = device.substr(prefix.size());
  if (rest.empty() || rest.size() > 3 || rest.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoi(rest) + 1;
}

WriteResult WriteAll(std::intptr_t h, const void* buffer, unsigned count, unsigned deadlineMs) {
  return WriteBefore(Fd(h), buffer, count, deadlineMs, false,
                     [h](const unsigned char* p, unsigned n) { return write(Fd(h), p, n); });
}
}  // namespace serial_backend
