// The time bytes take on the line, for whatever must not send faster than
// the line carries or must wait no longer than it takes.
#pragma once

#include <cstdint>

// At baud, 11 bits a byte (start, 8 data, parity, stop), rounded up; no rate
// chosen counts as the slowest of the list, 9600.
inline unsigned LineTimeMs(unsigned long long bytes, std::uint32_t baud) {
  const unsigned long long rate = baud ? baud : 9600;
  return static_cast<unsigned>((bytes * 11 * 1000 + rate - 1) / rate);
}
