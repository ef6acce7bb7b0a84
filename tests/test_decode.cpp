// varnel --decode: a session log of every command family, a corrupted line, a
// reply split across two reads and a capture from another tool, read back as
// commands and replies; literal expected lines.
#include <gtest/gtest.h>

#include <sstream>

#include "literal_frames.h"
#include "protocol/decode.h"
#include "protocol/frame.h"

namespace {
std::vector<std::string> Decode(const std::string& text, bool* ok = nullptr) {
  std::istringstream in(text);
  std::ostringstream out;
  std::string why;
  const bool decoded = DecodeCapture(in, out, why);
  if (ok) *ok = decoded;
  std::vector<std::string> lines;
  std::istringstream back(out.str());
  for (std::string l; std::getline(back, l);) lines.push_back(l);
  return lines;
}

std::string Logged(const char* time, const char* direction, const std::vector<std::uint8_t>& bytes) {
  return std::string("2026-12-08T10:41:") + time + " " + direction + " " + HexJoin(bytes.data(), bytes.size()) + "\n";
}
}  // namespace

TEST(Decode, ASessionOfEveryCommandFamily) {
  const struct {
    const char* frame;
    const char* said;
  } families[] = {
      {"query state", "0x8B card query: state (code 2)"},
      {"start storage 600",
       "0x7C start storage interlaced=0 network=0 length=600 preservation=0 mode=0 channel=0"},
      {"single capture", "0x7C single capture interlaced=0 network=0 length=0 preservation=0 mode=0 channel=0"},
      {"format SD card", "0x8A format SD card"},
      {"mode 1 right 5", "0x88 move (gimbal mode 1) x=5 y=0 tracking=0"},
      {"track start", "0x71 tracking start, template adaptive (0x3C)"},
      {"cancel tracking", "0x26 cancel tracking"},
      {"template large", "0x82 tracking template large (0x24)"},
      {"VISCA zoom 2", "VISCA zoom direct position 0x16A1"},
      {"private zoom 5", "0x7D zoom level 5"},
      {"freeze", "0x81 freeze picture"},
      {"shutter", "0x70 shutter"},
      {"enhance on", "0x8C image enhancement on"},
      {"display channel 3",
       "0x78 display channel 3 pseudo colour=1 temperature bar=0 alarm=300 high=0 low=0 compensation=0 (off)"},
      {"stabilizer holding", "VISCA image stabilizer 0x00"},
      {"defog off", "VISCA defog 0x03"},
      {"video format 1080p/25", "VISCA video format 0x08"},
      {"OSD example",
       "0x83 OSD display=0x81 input=0x05 core=0x30 2024-06-15 12:30:45 heading=1.5 pitching=-12.25 roll=0 GPS_N=30 "
       "GPS_E=120.5 GPS_H=100"},
      {"coefficient 100", "0xC8 temperature compensation coefficient 100"},
      {"contrast 51 brightness 50", "0x1D contrast 51 brightness 50"},
  };
  std::string log;
  std::vector<std::string> expected;
  for (const auto& f : families) {
    log += Logged("10.500", "TX", Literal(f.frame));
    expected.push_back(std::string("2026-12-08T10:41:10.500 TX ") + f.said);
  }
  log += Logged("10.600", "RX", Hex("90 41 FF 90 51 FF BB 09 01 49 02 00 00 00"));
  expected.insert(expected.end(),
                  {"2026-12-08T10:41:10.600 RX 90-41-ff-90-51-ff-bb-09-01-49-02-00-00-00", "    camera: acknowledge",
                   "    camera: completion",
                   "    reply: Inserted card Not in initialization not read-only format complete Unformatted Unfilled "
                   "Tested Effective format No mistake Video recording"});
  bool ok = false;
  EXPECT_EQ(Decode(log, &ok), expected);
  EXPECT_TRUE(ok);
}

TEST(Decode, WhatDoesNotCheckIsShownWithItsBytes) {
  std::vector<std::uint8_t> corrupted = Literal("query state");
  corrupted[47] ^= 0x01;
  std::vector<std::uint8_t> unknown = Literal("query state");
  unknown[5] = 0x99;
  unknown[47] = static_cast<std::uint8_t>(unknown[47] + 0x99 - 0x8B);
  const std::string log = Logged("20.000", "TX", corrupted) + Logged("20.100", "TX", Hex("7E 7E 44 00 00 8B 06")) +
                          Logged("20.200", "TX", unknown) + Logged("20.300", "TX", Hex("12 34 81 01 04 00 02 FF")) +
                          "this line is no frame\n";
  EXPECT_EQ(Decode(log),
            (std::vector<std::string>{
                "2026-12-08T10:41:20.000 TX bad checksum: " + HexJoin(corrupted.data(), corrupted.size()),
                "2026-12-08T10:41:20.100 TX too short (7 bytes): 7e-7e-44-00-00-8b-06",
                "2026-12-08T10:41:20.200 TX 0x99 unknown command: " + HexJoin(unknown.data(), unknown.size()),
                "2026-12-08T10:41:20.300 TX bytes: 12-34",
                "2026-12-08T10:41:20.300 TX VISCA command: 81-01-04-00-02-ff",
                "line 5: not a frame: this line is no frame",
            }));
}

TEST(Decode, AReplySplitAcrossTwoReadsIsJoinedAndSaidSo) {
  const std::string log = Logged("30.000", "RX", Hex("BB 09 03 00")) + Logged("30.250", "RX", Hex("10 00 00 00")) +
                          Logged("30.500", "RX", Hex("BB 09 01"));
  EXPECT_EQ(Decode(log), (std::vector<std::string>{
                             "2026-12-08T10:41:30.000 RX bb-09-03-00",
                             "2026-12-08T10:41:30.250 RX 10-00-00-00",
                             "    reply: 4096KB (joined from two reads)",
                             "2026-12-08T10:41:30.500 RX bb-09-01",
                             "    incomplete at the end: bb-09-01",
                         }));
}

TEST(Decode, ACaptureFromAnotherToolAndInputThatHoldsNothing) {
  // Upper case, spaces, Windows line ends: one frame a line, a reply among them.
  const std::string capture = "7E 7E 44 00 00 8A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CA\r\n"
                              "\r\n"
                              "BB 09 05 58 02 00 00 00\r\n"
                              "81-01-04-47-00-00-00-00-ff\r\n";
  EXPECT_EQ(Decode(capture), (std::vector<std::string>{"TX 0x8A format SD card", "RX bb-09-05-58-02-00-00-00",
                                                       "    reply: remaining600minutes", "TX VISCA zoom direct position 0x0000"}));
  bool ok = true;
  EXPECT_EQ(Decode("hello\nworld\n", &ok),
            (std::vector<std::string>{"line 1: not a frame: hello", "line 2: not a frame: world"}));
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Decode("", &ok).empty());
  EXPECT_FALSE(ok);
}
