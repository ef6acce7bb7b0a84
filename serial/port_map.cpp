#include "serial/port_map.h"

#include "serial/backend.h"
#include "serial/net_address.h"

#include <cctype>

namespace {
std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}
}  // namespace

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

void PortMap::Map(const std::string& comName, const std::string& path) { m_map[Upper(comName)] = path; }

void PortMap::UseDiscovered(const std::vector<PortInfo>& ports) {
  m_found.clear();
  m_discovered = true;
  int n = 1;
  for (const PortInfo& p : ports) {
    const std::string path = p.stableNames.empty() ? p.device : p.stableNames.front();
    bool mapped = false;
    for (const auto& [com, target] : m_map) {
      mapped = mapped || target == p.device;
      for (const std::string& stable : p.stableNames) mapped = mapped || target == stable;
    }
    if (mapped) continue;  // --port gave it its name
    while (m_map.count("COM" + std::to_string(n))) ++n;
    m_found["COM" + std::to_string(n++)] = {path, p.description};
  }
}

std::string PortMap::Describe(std::string_view name) const {
  const std::string com = Upper(name);
  if (m_map.count(com)) return Resolve(com);
  const auto it = m_found.find(com);
  if (it != m_found.end())
    return it->second.second.empty() ? it->second.first : it->second.first + " (" + it->second.second + ")";
  return Resolve(com);
}

std::string PortMap::Resolve(std::string_view name) const {
  const auto it = m_map.find(Upper(name));
  if (it == m_map.end() && m_discovered && ComNumber(name)) {
    const auto found = m_found.find(Upper(name));
    return found == m_found.end() ? std::string() : found->second.first;
  }
  const std::string target = it != m_map.end() ? it->second : std::string(name);
  // A COM name, given or mapped to (COM1=COM7), is the platform's COM device.
  if (const int n = ComNumber(target)) return serial_backend::DeviceForCom(n);
  return target;
}

void PortMap::AttachInProcess(const std::string& path, InProcessDevice* device) {
  if (device) m_inProcess[path] = device;
  else m_inProcess.erase(path);
}

InProcessDevice* PortMap::InProcess(const std::string& path) const {
  const auto it = m_inProcess.find(path);
  return it == m_inProcess.end() ? nullptr : it->second;
}

std::string PortOptionProblem(std::string_view option) {
  const auto eq = option.find('=');
  if (eq == std::string_view::npos) return "no '=' in it (COMn=" + std::string(option) + "?)";
  const std::string name = Upper(option.substr(0, eq));
  const int n = ComNumber(name);
  if (!n) return "'" + std::string(option.substr(0, eq)) + "' is no COM name (COM1 to COM" +
                  std::to_string(kPanelComPorts) + ")";
  if (n > kPanelComPorts)
    return name + " is beyond the panel's ports: its list reaches COM1 to COM" + std::to_string(kPanelComPorts);
  const std::string_view target = option.substr(eq + 1);
  if (target.empty()) return name + "= names no device";
  if (target.find("://") != std::string_view::npos) return NetworkUrlProblem(target);
  return "";
}

bool ParsePortOption(std::string_view option, std::string& comName, std::string& path) {
  if (!PortOptionProblem(option).empty()) return false;
  const auto eq = option.find('=');
  comName = Upper(option.substr(0, eq));
  path = std::string(option.substr(eq + 1));
  return true;
}

std::string PortMap::ComNameForDevice(const std::string& device) const {
  for (const auto& [com, path] : m_map)
    if (path == device) return com;
  if (m_discovered) {
    for (const auto& [com, found] : m_found)
      if (found.first == device) return com;
    return {};
  }
  if (const int n = serial_backend::ComForDevice(device)) {
    const std::string com = "COM" + std::to_string(n);
    if (m_map.find(com) == m_map.end()) return com;  // a map sends that name elsewhere
  }
  return {};
}

std::string DescribeMapped(const std::string& comName, const std::string& path) {
  const std::optional<NetAddress> network = ParseNetworkUrl(path);
  return comName + " -> " + path + " (--port" + (network ? "; " + DescribeNetworkPort(*network) : "") + ")";
}
