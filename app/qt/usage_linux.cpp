// The Linux program's --help: its device names and Qt's own options.
#include "app/options.h"

const char* UsageText() {
  return "Usage: varnel [options]\n"
         "Control panel for the pan/tilt camera gimbal (\"cloud platform\") on a serial port.\n"
         "\n"
         "  --port COMn=PATH     the panel's COMn is the device PATH (a /dev/ttyUSB0, a\n"
         "                       /dev/serial/by-id/... link, a pseudo-terminal); repeatable.\n"
         "                       Unmapped, COMn is /dev/ttyS<n-1>.\n"
         "  --list-ports         print the serial devices present, their stable names and\n"
         "                       the COM name that reaches each, then exit\n"
         "  --simulate           start a simulated gimbal on a pseudo-terminal inside the\n"
         "                       program and make it COM1 (no hardware needed)\n"
         "  --sim-no-card        with --simulate: no SD card inserted\n"
         "  --sim-split          with --simulate: every reply arrives in two pieces\n"
         "  --sim-reply-delay MS with --simulate: answer MS milliseconds late\n"
         "  --sim-trace          with --simulate: print every frame the gimbal receives\n"
         "  --script FILE        drive the window from FILE ('-' for standard input) and\n"
         "                       print what the operator would see; see README.md\n"
         "  --screenshot FILE    write a PNG of the window once it is shown\n"
         "  --help, --version\n"
         "\n"
         "Qt's own options (-platform offscreen, ...) are accepted as well.\n"
         "The About box is in the window's context menu (right-click the window).\n";
}
