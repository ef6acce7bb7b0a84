// The "I/O" group: lists 1001 (port), 1094 (baud) and 1096 (parity) to line
// settings, and the port status line.
#pragma once

#include <cstdint>
#include <string>

#include "serial/com_base.h"

struct PortChoice {
  int comPort = 0;          // list index + 1; 0 with no selection
  comm::DCB dcb;                  // only BaudRate, ByteSize, Parity, StopBits set
  char parityLetter = 0;    // 0 when list 1096 has no selection (letter unchanged)
};

std::uint32_t BaudForSelection(int selection);  // 0 for no selection
PortChoice ChoosePortSettings(int portSelection, int baudSelection, int paritySelection);
// The fixed start-up settings: 57600 baud, 8 data bits, even parity, 1 stop bit.
comm::DCB StartupDcb();

std::string ComName(int port);  // "COM%d"
// "STATUS：COM%d OPENED，%d,%c,%d,%d" (full-width colon and comma).
std::string OpenedStatus(int port, std::uint32_t baud, char parity, int dataBits, int stopBits);
std::string NotOpenedStatus(int port);  // "STATUS：COM%d NOT OPENED"
