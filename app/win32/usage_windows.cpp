// The Windows program's words in --help: its COM names.
#include "app/about.h"

const UsageWords& PlatformUsage() {
  static const UsageWords words{
      "  --port COMn=NAME     the panel's COMn is the port NAME (another COM name such\n"
      "                       as COM7, or a device name such as \\\\.\\CNCA0), or a serial\n"
      "                       device server: rfc2217://HOST:PORT (the panel sets its line)\n"
      "                       or tcp://HOST:PORT (raw; the line is the server's); repeatable.\n"
      "                       Unmapped, COMn is the system's COMn.\n"
      "  --list-ports         print the COM ports this system has, with their names in\n"
      "                       Device Manager, and the COM name that reaches each, then exit\n"
      "  --simulate           make COM1 a simulated gimbal inside the program (no\n"
      "                       hardware needed)\n",
      "The About box is in the window's system menu.\n",
      "云台控制面板，Windows 版", "--port COM1=COM7"};
  return words;
}
