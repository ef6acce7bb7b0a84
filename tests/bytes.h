// Expected frames written as the device's documentation writes them.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// "7E 7E 44" -> bytes.
inline std::vector<std::uint8_t> Hex(const std::string& text) {
  std::vector<std::uint8_t> out;
  std::istringstream in(text);
  std::string b;
  while (in >> b) out.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 16)));
  return out;
}

// A 48-byte frame: the given runs at their offsets, zeros elsewhere, the
// checksum byte as the documentation states it (not computed).
inline std::vector<std::uint8_t> Frame48(std::vector<std::pair<int, std::string>> runs, std::uint8_t checksum) {
  std::vector<std::uint8_t> f(48, 0);
  for (const auto& [at, hex] : runs) {
    const auto bytes = Hex(hex);
    for (std::size_t i = 0; i < bytes.size(); ++i) f[at + i] = bytes[i];
  }
  f[47] = checksum;
  return f;
}

inline std::vector<std::uint8_t> Bytes(const std::uint8_t* p, std::size_t n) { return {p, p + n}; }
