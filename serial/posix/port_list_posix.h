// The serial devices of a Linux machine, read from sysfs the way udev reads
// them: a tty with a "device" link is backed by a driver; a ttyS port the
// 8250 driver reserves without a UART behind it says type 0. The roots are
// parameters so that tests can hand in a fake tree.
#pragma once

#include <string>
#include <vector>

#include "serial/port_map.h"

struct SerialRoots {
  std::string sysClassTty = "/sys/class/tty";
  std::string byId = "/dev/serial/by-id";
  std::string dev = "/dev";
};

// In the order the COM names are given: built-in UARTs with hardware behind
// them in kernel order (ttyS0, ttyS1, ...), then USB and ACM adapters (and
// any other tty a driver backs) by their stable /dev/serial/by-id name, those
// without one last, by kernel name. comName is left empty.
std::vector<PortInfo> EnumeratePorts(const SerialRoots& roots = {});

// "usb 0403:6001 serial A12345": the USB device behind the tty that path
// reaches (a stable link is followed), what DeviceIdentity compares; empty
// for a tty no USB device backs.
std::string UsbIdentity(const std::string& path, const SerialRoots& roots = {});
