// How the panel's port names ("COM1" .. "COM21") reach devices on this machine.
// One map a program: the command line's --port entries, the devices found,
// and devices inside the program (the simulated gimbal on Windows). The port
// resolves every name it opens through it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class InProcessDevice;

struct PortInfo {
  std::string device;                    // kernel name, /dev/ttyUSB0
  std::vector<std::string> stableNames;  // /dev/serial/by-id/... links to it
  std::string comName;                   // the COM name that reaches it, or empty
  std::string description;               // driver or product, where known
};

class PortMap {
 public:
  // COMn -> PATH, from the command line (--port COMn=PATH). Later maps win.
  void Map(const std::string& comName, const std::string& path);
  // A mapped name gives its path; "COMn" otherwise gives the n-th standard
  // serial device (COM1 = /dev/ttyS0), or the n-th device found once
  // UseDiscovered ran; any other name is used as it is.
  std::string Resolve(std::string_view name) const;
  // The COM name a device path is reached by, or "" (mapped names first).
  std::string ComNameForDevice(const std::string& device) const;
  // The devices found on this machine take the COM names in their order (COM1
  // the first), each by its stable name where it has one, so that an adapter
  // keeps its COM name when plugged in again. Names a --port map gives keep
  // their map, and a device a map reaches gets no second name. From then on a
  // COM name beyond the devices found reaches nothing.
  void UseDiscovered(const std::vector<PortInfo>& ports);
  // What a COM name reaches, for the operator: "/dev/serial/by-id/... (ftdi_sio, ...)",
  // or "" when it reaches nothing.
  std::string Describe(std::string_view name) const;

  // Makes path reach a device inside the program instead of a driver;
  // nullptr takes it away again. The device outlives every open of it.
  void AttachInProcess(const std::string& path, InProcessDevice* device);
  InProcessDevice* InProcess(const std::string& path) const;


 private:
  std::map<std::string, std::string> m_map;  // COMn -> path, from --port
  // COM name -> {path, description} of the devices found, once discovery ran.
  bool m_discovered = false;
  std::map<std::string, std::pair<std::string, std::string>> m_found;
  std::map<std::string, InProcessDevice*> m_inProcess;
};

// The COM names the panel's port list offers: COM1 to COM21.
inline constexpr int kPanelComPorts = 21;
// What is wrong with a --port value "COMn=PATH", for the operator: no '=', no
// COM name, one the panel cannot reach, no device, a network URL that is not
// well formed or of a scheme the panel does not speak; empty when it is right.
std::string PortOptionProblem(std::string_view option);
// Parses "COMn=PATH"; false when PortOptionProblem finds something.
bool ParsePortOption(std::string_view option, std::string& comName, std::string& path);
// "COMn" with n >= 1 -> n, else 0.
int ComNumber(std::string_view name);

// "COM1 -> rfc2217://gimbal:2217 (--port; network, RFC 2217: ...)", for --list-ports.
std::string DescribeMapped(const std::string& comName, const std::string& path);

// The serial devices present, each with the COM name map gives it.
std::vector<PortInfo> ListPorts(const PortMap& map);
