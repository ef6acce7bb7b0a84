// How the panel's port names ("COM1" .. "COM21") reach devices on this machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// COMn -> PATH, from the command line (--port COMn=PATH). Later maps win.
void MapPort(const std::string& comName, const std::string& path);
void ClearPortMap();
// A mapped name gives its path; "COMn" otherwise gives the n-th standard
// serial device (COM1 = /dev/ttyS0); any other name is used as it is.
std::string ResolvePortName(std::string_view name);
// Parses "COMn=PATH"; false when it is not of that form.
bool ParsePortOption(std::string_view option, std::string& comName, std::string& path);

struct PortInfo {
  std::string device;                // kernel name, /dev/ttyUSB0
  std::vector<std::string> stableNames;  // /dev/serial/by-id/... links to it
  std::string comName;               // the COM name that reaches it, or empty
  std::string description;           // driver or product, where known
};
std::vector<PortInfo> ListPorts();
// The COM name a device path is reached by, or "" (mapped names first).
std::string ComNameForDevice(const std::string& device);
