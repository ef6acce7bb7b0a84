// The Windows program's --help: its COM names.
#include "app/options.h"

const char* UsageText() {
  return "Usage: varnel [options]\n"
         "Control panel for the pan/tilt camera gimbal (\"cloud platform\") on a serial port.\n"
         "\n"
         "  --port COMn=NAME     the panel's COMn is the port NAME (another COM name such\n"
         "                       as COM7, or a device name such as \\\\.\\CNCA0); repeatable.\n"
         "                       Unmapped, COMn is the system's COMn.\n"
         "  --list-ports         print the COM ports this system has, with their names in\n"
         "                       Device Manager, and the COM name that reaches each, then exit\n"
         "  --simulate           make COM1 a simulated gimbal inside the program (no\n"
         "                       hardware needed)\n"
         "  --sim-no-card        with --simulate: no SD card inserted\n"
         "  --sim-split          with --simulate: every reply arrives in two pieces\n"
         "  --sim-reply-delay MS with --simulate: answer MS milliseconds late\n"
         "  --sim-trace          with --simulate: print every frame the gimbal receives\n"
         "  --script FILE        drive the window from FILE ('-' for standard input) and\n"
         "                       print what the operator would see; see README.md\n"
         "  --screenshot FILE    write a PNG of the window once it is shown\n"
         "  --help, --version\n"
         "\n"
         "The About box is in the window's system menu.\n";
}
