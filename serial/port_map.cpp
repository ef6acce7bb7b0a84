#include "serial/port_map.h"

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
  if (it != Map().end()) return it->second;
  if (const int n = ComNumber(name)) return "/dev/ttyS" + std::to_string(n - 1);
  return std::string(name);
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
  const std::string prefix = "/dev/ttyS";
  if (device.compare(0, prefix.size(), prefix) == 0) {
    const std::string rest = device.substr(prefix.size());
    if (!rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos) {
      const std::string com = "COM" + std::to_string(std::stoi(rest) + 1);
      if (Map().find(com) == Map().end()) return com;  // a map sends that name elsewhere
    }
  }
  return {};
}
