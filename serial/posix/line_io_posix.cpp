// Error counters and modem lines through the serial driver's ioctls.
#include <linux/serial.h>
#include <sys/ioctl.h>

#include "serial/comm_types.h"

namespace {
class PosixLineIo final : public LineIo {
 public:
  bool ErrorCounts(std::intptr_t handle, LineErrorCounts& out) override {
    serial_icounter_struct c{};
    // ENOTTY or EINVAL: the driver keeps no counters; that is not an error.
    if (ioctl(static_cast<int>(handle), TIOCGICOUNT, &c) != 0) return false;
    out.frame = static_cast<std::uint64_t>(c.frame);
    out.overrun = static_cast<std::uint64_t>(c.overrun);
    out.parity = static_cast<std::uint64_t>(c.parity);
    out.brk = static_cast<std::uint64_t>(c.brk);
    out.bufOverrun = static_cast<std::uint64_t>(c.buf_overrun);
    return true;
  }
  bool LowerModemLines(std::intptr_t handle) override {
    int lines = TIOCM_DTR | TIOCM_RTS;
    return ioctl(static_cast<int>(handle), TIOCMBIC, &lines) == 0;
  }
};
}  // namespace

LineIo& DefaultLineIo() {
  static PosixLineIo io;
  return io;
}
