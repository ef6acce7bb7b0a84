// Every frame the device's documentation spells out byte for byte, written
// the way it writes them, once. The protocol tests build them from fields and
// the handler tests from clicks; both compare against this table.
#pragma once

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

#include "bytes.h"

using LiteralTable = std::vector<std::pair<std::string_view, std::vector<std::uint8_t>>>;

inline const LiteralTable& LiteralFrames() {
  static const LiteralTable kFrames = {
      {"stop storage", Frame48({{0, "7E 7E 44 00 00 7C 00"}}, 0xBC)},
      {"single capture", Frame48({{0, "7E 7E 44 00 00 7C 02"}}, 0xBE)},
      {"start storage 600", Frame48({{0, "7E 7E 44 00 00 7C 01 58 02"}}, 0x17)},
      {"start storage, every option", Frame48({{0, "7E 7E 44 00 00 7C 0D 00 00 00 02 01 00 00 03 00"}}, 0xCF)},
      {"start storage 1", Frame48({{0, "7E 7E 44 00 00 7C 01 01 00"}}, 0xBE)},
      {"start storage 65535", Frame48({{0, "7E 7E 44 00 00 7C 01 FF FF"}}, 0xBB)},
      {"stop storage, no selections", Frame48({{0, "7E 7E 44 00 00 7C 00 00 00 00 FF FF 00 00 00"}}, 0xBA)},
      {"format SD card", Frame48({{0, "7E 7E 44 00 00 8A"}}, 0xCA)},
      {"query state", Frame48({{0, "7E 7E 44 00 00 8B 02"}}, 0xCD)},
      {"query capacity", Frame48({{0, "7E 7E 44 00 00 8B 03"}}, 0xCE)},
      {"query residual", Frame48({{0, "7E 7E 44 00 00 8B 04"}}, 0xCF)},
      {"query pictures", Frame48({{0, "7E 7E 44 00 00 8B 05"}}, 0xD0)},
      {"query minutes", Frame48({{0, "7E 7E 44 00 00 8B 06"}}, 0xD1)},
      {"right 5", Frame48({{0, "7E 7E 44 00 00 71 FF 05 00 00 00 00 00"}}, 0xB5)},
      {"left 5", Frame48({{0, "7E 7E 44 00 00 71 FF FB FF 00 00 00 00"}}, 0xAA)},
      {"up 5", Frame48({{0, "7E 7E 44 00 00 71 FF 00 00 FB FF 00 00"}}, 0xAA)},
      {"down 70000", Frame48({{0, "7E 7E 44 00 00 71 FF 00 00 70 11 00 00"}}, 0x31)},
      {"right 70000", Frame48({{0, "7E 7E 44 00 00 71 FF 70 11 00 00 00 00"}}, 0x31)},
      {"mode 1 right 5", Frame48({{0, "7E 7E 44 00 00 88 FF 05 00 00 00 00 00"}}, 0xCC)},
      {"mode 2 left 5", Frame48({{0, "7E 7E 44 00 00 89 FF FB FF 00 00 00 00"}}, 0xC2)},
      {"no mode right 5", Frame48({{0, "7E 7E 44 00 00 00 FF 05 00 00 00 00 00"}}, 0x44)},
      {"tracking right 5", Frame48({{0, "7E 7E 44 00 00 71 FF 05 00 00 00 01 00"}}, 0xB6)},
      {"track start", Frame48({{0, "7E 7E 44 00 00 71 FE 00 00 00 00 01 01 3C"}}, 0xED)},
      {"track stop", Frame48({{0, "7E 7E 44 00 00 71 FE 00 00 00 00 00 01 3C"}}, 0xEC)},
      {"cancel tracking", Frame48({{0, "7E 7E 44 00 00 26"}}, 0x66)},
      {"template adaptive", Frame48({{0, "7E 7E 44 00 00 82"}, {13, "3C"}}, 0xFE)},
      {"template large", Frame48({{0, "7E 7E 44 00 00 82"}, {13, "24"}}, 0xE6)},
      {"VISCA zoom 1", Hex("81 01 04 47 00 00 00 00 FF")},
      {"VISCA zoom 2", Hex("81 01 04 47 01 06 0A 01 FF")},
      {"VISCA zoom 30", Hex("81 01 04 47 04 00 00 00 FF")},
      {"private zoom 5", Frame48({{0, "7E 7E 44 00 00 7D 85"}}, 0x42)},
      {"private zoom 30", Frame48({{0, "7E 7E 44 00 00 7D 9E"}}, 0x5B)},
      {"freeze", Frame48({{0, "7E 7E 44 00 00 81 01"}, {17, "01"}}, 0xC3)},
      {"thaw", Frame48({{0, "7E 7E 44 00 00 81 00"}, {17, "01"}}, 0xC2)},
      {"shutter", Frame48({{0, "7E 7E 44 00 01 70"}}, 0xB1)},
      {"enhance on", Frame48({{0, "7E 7E 44 00 00 8C 01"}}, 0xCD)},
      {"enhance off", Frame48({{0, "7E 7E 44 00 00 8C 00"}}, 0xCC)},
      {"display channel 3", Frame48({{0, "7E 7E 44 00 00 78 01 00 00 00 2C 01 00 00 03"}}, 0xE9)},
      {"stabilizer holding", Hex("81 01 04 34 00 FF")},
      {"stabilizer off", Hex("81 01 04 34 03 FF")},
      {"defog off", Hex("81 01 04 37 03 00 FF")},
      {"defog on", Hex("81 01 04 37 02 00 FF")},
      {"video format 1080p/25", Hex("81 01 04 24 72 00 08 FF 90 41 FF 90 51 FF")},
      {"video format 1080p/60", Hex("81 01 04 24 72 01 05 FF 90 41 FF 90 51 FF")},
      {"OSD example", Hex("7E 7E 44 81 30 83 05 E8 07 06 0F 0C 1E 2D 00 00 00 C0 3F 00 00 44 C1 00 00 00 00 00 00 00 00 00 00 3E "
           "40 00 00 00 00 00 20 5E 40 00 00 C8 42 1E")},
      {"OSD year 2048", Frame48({{0, "7E 7E 44 00 00 83 00 00 08 01 01"}}, 0xCD)},
      {"thermal initial", Frame48({{0, "7E 7E 44 00 00 78"}}, 0xB8)},
      {"thermal, every field", Frame48({{0, "7E 7E 44 00 00 78 01 00 00 00 3C 00 01 00 01 00 00 01 00 00 00 CC 41 01"}}, 0x06)},
      {"alarm temperature -20", Frame48({{0, "7E 7E 44 00 00 78"}, {10, "EC FF"}}, 0xA3)},
      {"alarm temperature 70000", Frame48({{0, "7E 7E 44 00 00 78"}, {10, "70 11"}}, 0x39)},
      {"compensation -200", Frame48({{0, "7E 7E 44 00 00 78"}, {19, "00 00 48 C3"}}, 0xC3)},
      {"compensation 300", Frame48({{0, "7E 7E 44 00 00 78"}, {19, "00 00 96 43"}}, 0x91)},
      {"coefficient 100", Frame48({{0, "7E 7E 44 00 00 C8 64"}}, 0x6C)},
      {"coefficient 200", Frame48({{0, "7E 7E 44 00 00 C8 C8"}}, 0xD0)},
      {"contrast 50 brightness 50", Frame48({{0, "7E 7E 44 00 00 1D 00 00 32 00 00 00 32"}}, 0xC1)},
      {"contrast 51 brightness 50", Frame48({{0, "7E 7E 44 00 00 1D 00 00 33 00 00 00 32"}}, 0xC2)},
      {"stop storage, no preservation", Frame48({{0, "7E 7E 44 00 00 7C 00 00 00 00 FF 00 00 00 00"}}, 0xBB)},
      {"contrast 50 brightness 49", Frame48({{0, "7E 7E 44 00 00 1D 00 00 32 00 00 00 31"}}, 0xC0)},
  };
  return kFrames;
}

inline const std::vector<std::uint8_t>& Literal(std::string_view name) {
  for (const auto& [n, bytes] : LiteralFrames())
    if (n == name) return bytes;
  ADD_FAILURE() << "no literal frame named " << name;
  static const std::vector<std::uint8_t> kNone;
  return kNone;
}
