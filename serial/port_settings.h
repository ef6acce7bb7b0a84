// The line settings the operator chooses (port, rate, parity) and the port
// status line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "serial/comm_types.h"

struct PortChoice {
  int comPort = 0;        // COMn; 0 when no port is chosen
  comm::DCB dcb;          // only BaudRate, ByteSize, Parity, StopBits set
  char parityLetter = 0;  // 0 when no parity is chosen (the letter shown stays)
};

// 8 data bits, 1 stop bit; baud 0 when no rate is chosen (no driver ever gets
// it), parity NOPARITY when none is chosen.
PortChoice ChoosePortSettings(int comPort, std::uint32_t baud, std::optional<std::uint8_t> parity);
// The fixed start-up settings: 57600 baud, 8 data bits, even parity, 1 stop bit.
comm::DCB StartupDcb();

std::string ComName(int port);  // "COM%d"
// "STATUS：COM%d OPENED，%d,%c,%d,%d" (full-width colon and comma).
std::string OpenedStatus(int port, std::uint32_t baud, char parity, int dataBits, int stopBits);
std::string NotOpenedStatus(int port);  // "STATUS：COM%d NOT OPENED"
