// VISCA over IP: packets against literal bytes, and what each message asks
// of the gimbal.
#include <gtest/gtest.h>

#include "bytes.h"
#include "protocol/visca_ip.h"

using namespace visca_ip;

TEST(ViscaIp, APacketIsReadAndPackedAsTheWireHasIt) {
  const std::vector<std::uint8_t> wire = Hex("01 00 00 09 00 00 00 2A 81 01 06 01 18 17 01 03 FF");
  Fault fault = Fault::kShort;
  const std::optional<Packet> p = Read(wire.data(), wire.size(), &fault);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(fault, Fault::kNone);
  EXPECT_EQ(p->type, kCommand);
  EXPECT_EQ(p->sequence, 42u);
  EXPECT_EQ(p->payload, Hex("81 01 06 01 18 17 01 03 FF"));
  EXPECT_EQ(Pack(p->type, p->sequence, p->payload), wire);
  EXPECT_EQ(Pack(kReply, 0xFFFFFFFE, kCompletion), Hex("01 11 00 03 FF FF FF FE 90 51 FF"));
  EXPECT_EQ(Pack(kControlReply, 7, kSequenceError), Hex("02 01 00 02 00 00 00 07 0F 01"));
}

TEST(ViscaIp, DatagramsThatAreNoPacketAreSaidWhy) {
  const struct {
    const char* what;
    const char* hex;
    Fault fault;
  } cases[] = {
      {"shorter than the header", "01 00 00 01 00 00 00", Fault::kShort},
      {"shorter than its length", "01 00 00 05 00 00 00 01 81 01 FF", Fault::kShort},
      {"longer than its length", "01 00 00 02 00 00 00 01 81 01 FF", Fault::kLength},
      {"no payload", "01 00 00 00 00 00 00 01", Fault::kLength},
      {"a payload over 16 bytes", "01 00 00 11 00 00 00 01 81 01 04 00 00 00 00 00 00 00 00 00 00 00 00 00 FF",
       Fault::kLength},
  };
  for (const auto& c : cases) {
    const std::vector<std::uint8_t> b = Hex(c.hex);
    Fault fault = Fault::kNone;
    EXPECT_FALSE(Read(b.data(), b.size(), &fault).has_value()) << c.what;
    EXPECT_EQ(fault, c.fault) << c.what;
  }
}

TEST(ViscaIp, WhatEachMessageAsksOfTheGimbal) {
  const struct {
    const char* hex;
    Ask ask;
    Drive drive;
  } cases[] = {
      {"81 01 06 01 18 17 01 01 FF", Ask::kDrive, {-1, -1, 0x18, 0x17}},  // up-left, fastest
      {"81 01 06 01 01 01 02 02 FF", Ask::kDrive, {1, 1, 1, 1}},          // down-right, slowest
      {"81 01 06 01 05 06 03 01 FF", Ask::kDrive, {0, -1, 5, 6}},         // up
      {"81 01 06 01 05 06 03 03 FF", Ask::kDrive, {0, 0, 5, 6}},          // stop
      {"81 01 06 01 19 01 01 03 FF", Ask::kSyntax, {}},                   // pan speed past 18h
      {"81 01 06 01 01 18 01 03 FF", Ask::kSyntax, {}},                   // tilt speed past 17h
      {"81 01 06 01 00 01 01 03 FF", Ask::kSyntax, {}},                   // speed 0 on a moving axis
      {"81 01 06 01 0C 00 02 03 FF", Ask::kDrive, {1, 0, 0x0C, 0}},        // speed 0 on an axis at rest
      {"81 01 06 01 00 00 03 03 FF", Ask::kDrive, {0, 0, 0, 0}},           // obs-ptz's stop
      {"81 01 06 01 01 01 04 03 FF", Ask::kSyntax, {}},                   // no such direction
      {"81 01 04 07 02 FF", Ask::kCamera, {}},                            // zoom tele
      {"81 01 04 47 01 06 0A 01 FF", Ask::kCamera, {}},                   // zoom direct
      {"81 09 04 47 FF", Ask::kCamera, {}},                                // zoom position inquiry
      {"81 01 06 02 18 17 00 00 00 00 00 00 00 00 FF", Ask::kNotExecutable, {}},  // absolute position
      {"81 01 06 04 FF", Ask::kNotExecutable, {}},                        // home
      {"81 01 04 3F 02 01 FF", Ask::kNotExecutable, {}},                  // recall preset 1
      {"81 09 06 12 FF", Ask::kNotExecutable, {}},                         // pan-tilt position inquiry
      {"81 01 7E 01 FF", Ask::kSyntax, {}},                               // no camera's category
      {"81 09 00 02 FF", Ask::kCamera, {}},                                // the version inquiry
      {"81 09 04 00 FF", Ask::kCamera, {}},                                // the power inquiry
      {"81 09 7E 7E 00 FF", Ask::kCamera, {}},                             // a block inquiry
      {"81 01 00 01 FF", Ask::kClear, {}},                                 // IF_Clear
      {"88 01 00 01 FF", Ask::kBroadcastClear, {}},                        // IF_Clear, broadcast
      {"88 30 01 FF", Ask::kAddressSet, {}},                               // AddressSet
      {"81 21 FF", Ask::kCancel, {}},                                      // CommandCancel, socket 1
      {"81 23 FF", Ask::kSyntax, {}},                                      // no socket 3
      {"88 01 04 07 02 FF", Ask::kSyntax, {}},                             // a command broadcast
      {"81 01 04 07 FF 02 FF", Ask::kSyntax, {}},                         // FF inside
      {"90 41 FF", Ask::kSyntax, {}},                                     // an answer, not a command
      {"81 01 04 07 02", Ask::kSyntax, {}},                               // no end
  };
  for (const auto& c : cases) {
    const Asked a = ReadAsk(Hex(c.hex));
    EXPECT_EQ(a.ask, c.ask) << c.hex;
    if (c.ask == Ask::kDrive) {
      EXPECT_EQ(std::make_pair(a.drive.pan, a.drive.tilt), std::make_pair(c.drive.pan, c.drive.tilt)) << c.hex;
      EXPECT_EQ(std::make_pair(a.drive.panSpeed, a.drive.tiltSpeed), std::make_pair(c.drive.panSpeed, c.drive.tiltSpeed))
          << c.hex;
    }
  }
}

// What a camera's interface answers itself, and raw VISCA cut where each
// message ends however the bytes arrive.
TEST(ViscaIp, TheInterfaceAnswersAndRawMessagesAreCutAtTheirEnd) {
  const struct {
    const char* message;
    const char* answer;
  } answers[] = {
      {"81 01 00 01 FF", "90 50 FF"},
      {"88 01 00 01 FF", "88 01 00 01 FF"},
      {"88 30 01 FF", "88 30 02 FF"},
      {"81 22 FF", "90 62 05 FF"},
      {"81 01 04 07 02 FF", ""},
  };
  for (const auto& a : answers) EXPECT_EQ(InterfaceAnswer(ReadAsk(Hex(a.message)), Hex(a.message)), Hex(a.answer)) << a.message;
  const std::vector<std::uint8_t> wire = Hex(
      "81 01 04 07 02 FF 81 09 04 47 FF 81 01 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF 81 01 04 07 00 FF");
  for (std::size_t cut = 0; cut <= wire.size(); ++cut) {
    Splitter s;
    std::vector<visca_ip::Bytes> got = s.Feed(wire.data(), cut);
    for (visca_ip::Bytes& m : s.Feed(wire.data() + cut, wire.size() - cut)) got.push_back(std::move(m));
    EXPECT_EQ(got, (std::vector<visca_ip::Bytes>{Hex("81 01 04 07 02 FF"), Hex("81 09 04 47 FF"), Hex("81 01 04 07 00 FF")}))
        << "cut at " << cut;
  }
}

TEST(ViscaIp, SpeedsGiveStepsThatNeverFallAsTheyRise) {
  EXPECT_EQ(StepsFor(0), 0);
  EXPECT_EQ(StepsFor(1), 1);
  EXPECT_EQ(StepsFor(kMaxPanSpeed), 200);
  EXPECT_EQ(StepsFor(kMaxPanSpeed + 5), 200);
  for (int s = 1; s < kMaxPanSpeed; ++s) EXPECT_LE(StepsFor(s), StepsFor(s + 1)) << s;
}
