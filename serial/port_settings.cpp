#include "serial/port_settings.h"

std::uint32_t BaudForSelection(int selection) {
  static constexpr std::uint32_t kBauds[] = {9600, 19200, 38400, 57600, 115200};
  return selection >= 0 && selection < 5 ? kBauds[selection] : 0;
}

PortChoice ChoosePortSettings(int portSelection, int baudSelection, int paritySelection) {
  static constexpr char kLetters[] = {'N', 'O', 'E', 'M', 'S'};
  PortChoice c;
  c.comPort = portSelection + 1;
  c.dcb.BaudRate = BaudForSelection(baudSelection);
  c.dcb.ByteSize = 8;
  if (paritySelection >= 0 && paritySelection < 5) {
    c.dcb.Parity = static_cast<std::uint8_t>(paritySelection);
    c.parityLetter = kLetters[paritySelection];
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
