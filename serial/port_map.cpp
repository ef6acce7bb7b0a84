#include "serial/port_map.h"

#include "serial/backend.h"

#include <cctype>
#include <map>
#include <mutex>

namespace {
std::map<std::string, std::string>& Map() {
  static std::map<std::string, std::string> map;
  return map;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// "COMn" with n >= 1 -> n, else 0.
int ComNumber(std::string_view name) {
  const std::string u = Upper(name);
  if (u.size() < 4 || u.compare(0, 3, "COM") != 0) return 0;
  int n = 0;
  for (std::size_t i = 3; i < u.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(u[i])) || n > 100000) return 0;
    n = n * 10 + (u[i] - '0');
  }
  return n;
}
}  // namespace

void MapPort(const std::string& comName, const std::string& path) { Map()[Upper(comName)] = path; }
void ClearPortMap() { Map().clear(); }

std::string ResolvePortName(std::string_view name) {
  const auto it = Map().find(Upper(name));
  const std::string target = it != Map().end() ? it->second : std::string(name);
  // A COM name, given or mapped to (COM1=COM7), is the platform's COM device.
  if (const int n = ComNumber(target)) return serial_backend::DeviceForCom(n);
  return target;
}

bool ParsePortOption(std::string_view option, std::string& comName, std::string& path) {
  const auto eq = option.find('=');
  if (eq == std::string_view::npos) return false;
  const std::string_view name = option.substr(0, eq);
  if (!ComNumber(name) || eq + 1 >= option.size()) return false;
  comName = Upper(name);
  path = std::string(option.substr(eq + 1));
  return true;
}

std::string ComNameForDevice(const std::string& device) {
  for (const auto& [com, path] : Map())
    if (path == device) return com;
  if (const int n = serial_backend::ComForDevice(device)) {
    const std::string com = "COM" + std::to_string(n);
    if (Map().find(com) == Map().end()) return com;  // a map sends that name elsewhere
  }
  return {};
}
