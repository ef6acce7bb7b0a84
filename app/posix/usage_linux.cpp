// The Linux program's words in --help: its device names and Qt's own options.
#include "app/about.h"

const UsageWords& PlatformUsage() {
  static const UsageWords words{
      "  --port COMn=PATH     the panel's COMn is the device PATH (a /dev/ttyUSB0, a\n"
      "                       /dev/serial/by-id/... link, a pseudo-terminal), or a serial\n"
      "                       device server: rfc2217://HOST:PORT (the panel sets its line)\n"
      "                       or tcp://HOST:PORT (raw; the line is the server's); repeatable.\n"
      "                       Unmapped, COM1, COM2, ... are the serial devices present:\n"
      "                       UARTs first, then adapters in the order of their stable names.\n"
      "  --list-ports         print the serial devices present, their stable names and\n"
      "                       the COM name that reaches each, then exit\n"
      "  --simulate           start a simulated gimbal on a pseudo-terminal inside the\n"
      "                       program and make it COM1 (no hardware needed)\n",
      "Qt's own options (-platform offscreen, ...) are accepted as well.\n"
      "The About box is in the window's context menu (right-click the window).\n",
      "云台控制面板，Linux 版", "--port COM1=/dev/ttyUSB0"};
  return words;
}
