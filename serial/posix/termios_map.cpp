#include "serial/posix/termios_map.h"

#include <cstring>

std::optional<speed_t> BaudToSpeed(std::uint32_t baud) {
  struct Rate {
    std::uint32_t baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
      {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
      {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
      {576000, B576000}, {921600, B921600}, {1000000, B1000000},
  };
  for (const Rate& r : kRates)
    if (r.baud == baud) return r.speed;
  return std::nullopt;
}

std::optional<termios> DcbToTermios(const comm::DCB& dcb) {
  const std::optional<speed_t> speed = BaudToSpeed(dcb.BaudRate);
  if (!speed) return std::nullopt;
  termios t;
  std::memset(&t, 0, sizeof t);

  // Raw 8-bit: no line editing, no echo, no signals, no output processing.
  // No IGNPAR either: a 16550 driver then silently drops bytes with a parity
  // or framing error, and the operator would never see them in the log.
  t.c_iflag = 0;
  if (dcb.fParity) t.c_iflag |= INPCK;
  if (dcb.fOutX) t.c_iflag |= IXON;
  if (dcb.fInX) t.c_iflag |= IXOFF;
  t.c_oflag = 0;
  t.c_lflag = 0;

  // CLOCAL: the gimbal has no carrier line. HUPCL stays clear so that a close
  // does not toggle DTR and RTS behind the operator's back.
  t.c_cflag = CREAD | CLOCAL;
  switch (dcb.ByteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return std::nullopt;
  }
  switch (dcb.Parity) {
    case comm::NOPARITY: break;
    case comm::ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case comm::EVENPARITY: t.c_cflag |= PARENB; break;
    case comm::MARKPARITY: t.c_cflag |= PARENB | PARODD | CMSPAR; break;   // stick parity 1
    case comm::SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;           // stick parity 0
    default: return std::nullopt;
  }
  switch (dcb.StopBits) {
    case comm::ONESTOPBIT: break;
    case comm::TWOSTOPBITS: t.c_cflag |= CSTOPB; break;
    default: return std::nullopt;
  }
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == 2) t.c_cflag |= CRTSCTS;

  // Reads return what is queued at once and never wait.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

  cfsetispeed(&t, *speed);
  cfsetospeed(&t, *speed);
  return t;
}

bool TermiosHolds(const termios& wanted, const termios& got, bool pseudoTerminal) {
  if (cfgetispeed(&got) != cfgetispeed(&wanted) || cfgetospeed(&got) != cfgetospeed(&wanted)) return false;
  // Only the flags this program sets or must see cleared are compared; a
  // driver may add bits of its own elsewhere.
  constexpr tcflag_t kIflags = INPCK | PARMRK | ISTRIP | IGNPAR | IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR |
                               BRKINT | IGNBRK;
  constexpr tcflag_t kOflags = OPOST;
  constexpr tcflag_t kLflags = ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN;
  tcflag_t cflags = CSTOPB | CRTSCTS | CREAD | CLOCAL | HUPCL;
  if (!pseudoTerminal) cflags |= CSIZE | PARENB | PARODD | CMSPAR;
  if ((got.c_iflag & kIflags) != (wanted.c_iflag & kIflags)) return false;
  if ((got.c_oflag & kOflags) != (wanted.c_oflag & kOflags)) return false;
  if ((got.c_lflag & kLflags) != (wanted.c_lflag & kLflags)) return false;
  if ((got.c_cflag & cflags) != (wanted.c_cflag & cflags)) return false;
  return got.c_cc[VMIN] == wanted.c_cc[VMIN] && got.c_cc[VTIME] == wanted.c_cc[VTIME];
}
