// Line settings as the panel builds them: 8 data bits, 1 stop bit, nothing else.
#pragma once

#include "serial/comm_types.h"

inline comm::DCB Dcb(std::uint32_t baud, std::uint8_t parity) {
  comm::DCB d;
  d.BaudRate = baud;
  d.ByteSize = 8;
  d.Parity = parity;
  d.StopBits = comm::ONESTOPBIT;
  return d;
}
