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

// The devices found on this machine take the COM names in their order (COM1
// the first), each by its stable name where it has one, so that an adapter
// keeps its COM name when plugged in again. Names a --port map gives keep
// their map, and a device a map reaches gets no second name. From then on a
// COM name beyond the devices found reaches nothing.
void UseDiscoveredPorts(const std::vector<PortInfo>& ports);
// What a COM name reaches, for the operator: "/dev/serial/by-id/... (ftdi_sio, ...)",
// or "" when it reaches nothing.
std::string DescribePortName(std::string_view name);
