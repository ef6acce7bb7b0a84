#include "serial/port_settings.h"

PortChoice ChoosePortSettings(int comPort, std::uint32_t baud, std::optional<std::uint8_t> parity) {
  static constexpr char kLetters[] = {'N', 'O', 'E', 'M', 'S'};
  PortChoice c;
  c.comPort = comPort;
  c.dcb.BaudRate = baud;
  c.dcb.ByteSize = 8;
  if (parity && *parity <= comm::SPACEPARITY) {
    c.dcb.Parity = *parity;
    c.parityLetter = kLetters[*parity];
  }
  c.dcb.StopBits = comm::ONESTOPBIT;
  return c;
}

comm::DCB StartupDcb() {
  comm::DCB dcb;
  dcb.BaudRate = 57600;
  dcb.ByteSize = 8;
  dcb.Parity = comm::EVENPARITY;
  dcb.StopBits = comm::ONESTOPBIT;
  return dcb;
}

std::string ComName(int port) { return "COM" + std::to_string(port); }

std::string OpenedStatus(int port, std::uint32_t baud, char parity, int dataBits, int stopBits) {
  return "STATUS：COM" + std::to_string(port) + " OPENED，" + std::to_string(baud) + "," + std::string(1, parity) +
         "," + std::to_string(dataBits) + "," + std::to_string(stopBits);
}

std::string NotOpenedStatus(int port) { return "STATUS：COM" + std::to_string(port) + " NOT OPENED"; }
