// The COM ports this Windows has: the names from the registry's SERIALCOMM
// map (every port a driver has created, present now), each with its friendly
// name from SetupAPI where the Ports class has one ("USB Serial Port (COM7)").
#include "serial/backend.h"
#include "serial/port_map.h"

#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>


namespace {
std::string Utf8(const wchar_t* w, int len = -1) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, len, s.data(), n, nullptr, nullptr);
  if (len < 0 && !s.empty()) s.pop_back();  // the terminator
  return s;
}

// What SetupAPI says of each device of the Ports class, by its COM name.
struct PortEntry {
  std::string friendly;  // "USB Serial Port (COM7)"
  std::string instance;  // "FTDIBUS\VID_0403+PID_6001+A12345A\0000"
};
std::map<std::string, PortEntry> PortEntries() {
  std::map<std::string, PortEntry> names;
  const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
    wchar_t friendly[256] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr, reinterpret_cast<BYTE*>(friendly),
                                           sizeof friendly - sizeof(wchar_t), nullptr))
      continue;
    const HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t port[64] = {};
    DWORD size = sizeof port - sizeof(wchar_t), type = 0;
    wchar_t instance[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &info, instance, 511, nullptr)) instance[0] = L'\0';
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
      names[Utf8(port)] = {Utf8(friendly), Utf8(instance)};
    RegCloseKey(key);
  }
  SetupDiDestroyDeviceInfoList(set);
  return names;
}
}  // namespace

std::vector<PortInfo> ListPorts(const PortMap& map) {
  std::vector<PortInfo> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  const std::map<std::string, PortEntry> entries = PortEntries();
  for (DWORD i = 0;; ++i) {
    wchar_t name[256], data[64];
    DWORD nameLen = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
    const LONG rc = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataSize / sizeof(wchar_t)] = L'\0';
    const std::string com = Utf8(data);  // "COM7"
    PortInfo info;
    info.device = com;
    const auto it = entries.find(com);
    info.description = it != entries.end() ? it->second.friendly : Utf8(name);  // else the driver's device, \Device\Serial0
    info.comName = map.ComNameForDevice(com);  // mapped to it: --port COM1=COM7
    if (info.comName.empty()) info.comName = map.ComNameForDevice("\\\\.\\" + com);
    ports.push_back(info);
  }
  RegCloseKey(key);
  // COM2 before COM10.
  std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
    return a.device.size() != b.device.size() ? a.device.size() < b.device.size() : a.device < b.device;
  });
  return ports;
}

namespace serial_backend {
std::string DeviceIdentity(const std::string& path) {
  // \\.\COM7 and COM7 name the same port.
  const std::string com = path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path;
  const std::map<std::string, PortEntry> entries = PortEntries();
  const auto it = entries.find(com);
  return it != entries.end() ? it->second.instance : std::string();
}

// A COM name is given to whatever port takes it next (a re-pointed name, a
// virtual port): only the device instance SetupAPI names tells it is the same.
bool NameFollowsDevice(const std::string&) { return false; }
}  // namespace serial_backend
