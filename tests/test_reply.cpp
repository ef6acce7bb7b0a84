// Reply recognition and the texts the decoder produces.
#include <gtest/gtest.h>

#include "bytes.h"
#include "protocol/reply.h"

namespace {
std::optional<DecodedReply> Decode(const std::string& hex) {
  const auto b = Hex(hex);
  return DecodeReplyFrame(b.data());
}
}  // namespace

TEST(DecodeReply, StatusExample) {
  const auto r = Decode("BB 09 01 49 02 00 00 00");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->line,
            " Inserted card Not in initialization not read-only format complete Unformatted Unfilled Tested "
            "Effective format No mistake Video recording");
  EXPECT_EQ(r->fieldWrites, std::vector<std::string>{"format complete"});
}

TEST(DecodeReply, NoCardAndErrorKeepTheirSpacesAndFieldOrder) {
  const auto r = Decode("BB 09 01 00 01 00 00 00");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->line.rfind(" No card inserted  Not in initialization", 0), 0u);
  EXPECT_NE(r->line.find(" Erroneous "), std::string::npos);
  EXPECT_EQ(r->line.substr(r->line.size() - 12), " Stop video ");
  EXPECT_EQ(r->fieldWrites, (std::vector<std::string>{" ", "format failure"}));
}

TEST(DecodeReply, EveryStatusBitBothWays) {
  struct Bit {
    int byte;
    std::uint8_t mask;
    const char* set;
    const char* clear;
  };
  const Bit bits[] = {
      {3, 0x01, "Inserted card", "No card inserted "},     {3, 0x02, "Initialization in progress", "Not in initialization"},
      {3, 0x04, "read-only", "not read-only"},             {3, 0x08, "format complete", "Formatting not completed"},
      {3, 0x10, "formatting", "Unformatted"},              {3, 0x20, "Already full", "Unfilled"},
      {3, 0x40, "Tested", "Unchecked"},                    {3, 0x80, "invalid format", "Effective format"},
      {4, 0x01, "Erroneous", "No mistake"},                {4, 0x02, "Video recording", "Stop video "},
  };
  for (int row = 0; row < 10; ++row) {
    for (bool on : {false, true}) {
      std::uint8_t f[8] = {0xBB, 0x09, 0x01, 0x01, 0x00, 0, 0, 0};  // card inserted, so row 1 writes nothing
      if (row == 0) f[3] = 0;
      if (on) f[bits[row].byte] |= bits[row].mask;
      const auto r = DecodeReplyFrame(f);
      ASSERT_TRUE(r);
      // Split the line into its ten texts: each one follows a single space.
      std::string expected;
      for (int k = 0; k < 10; ++k) {
        const bool set = (f[bits[k].byte] & bits[k].mask) != 0;
        expected += std::string(" ") + (set ? bits[k].set : bits[k].clear);
      }
      EXPECT_EQ(r->line, expected) << "row " << row << " bit " << on;
      EXPECT_NE(r->line.find(on ? bits[row].set : bits[row].clear), std::string::npos);
    }
  }
}

TEST(DecodeReply, CountsAreSignedLittleEndian) {
  struct Case {
    const char* hex;
    const char* line;
  };
  const Case cases[] = {
      {"BB 09 02 00 10 00 00 00", "4096KB"},
      {"BB 09 03 FF FF FF FF 00", "-1KB"},
      {"BB 09 04 E8 03 00 00 00", "remaining1000pieces"},
      {"BB 09 05 5A 00 00 00 00", "remaining90minutes"},
      {"BB 09 03 00 00 00 80 00", "-2147483648KB"},
      {"BB 09 05 78 56 34 12 FF", "remaining305419896minutes"},  // byte 7 is never looked at
  };
  for (const Case& c : cases) {
    const auto r = Decode(c.hex);
    ASSERT_TRUE(r) << c.hex;
    EXPECT_EQ(r->line, c.line);
    EXPECT_TRUE(r->fieldWrites.empty());
  }
}

TEST(DecodeReply, OnlyRepliesAreRecognised) {
  for (const char* hex : {"BB 09 00 01 00 00 00 00", "BB 09 06 01 00 00 00 00", "BA 09 01 01 00 00 00 00",
                          "BB 08 01 01 00 00 00 00", "09 BB 01 01 00 00 00 00"})
    EXPECT_FALSE(Decode(hex)) << hex;
}

TEST(DecodeReply, Byte7ChangesNothing) {
  for (int trailer : {0x00, 0x55, 0xFF}) {
    std::uint8_t f[8] = {0xBB, 0x09, 0x01, 0x49, 0x02, 0, 0, static_cast<std::uint8_t>(trailer)};
    EXPECT_EQ(DecodeReplyFrame(f)->line, Decode("BB 09 01 49 02 00 00 00")->line);
  }
}

TEST(ReplyBuilders, TheSimulatedDeviceEncodesWhatTheDecoderReads) {
  std::uint8_t f[8];
  BuildCountReply(f, kReplyResidual, -1);
  EXPECT_EQ(Bytes(f, 7), Hex("BB 09 03 FF FF FF FF"));
  EXPECT_EQ(DecodeReplyFrame(f)->line, "-1KB");
  BuildStatusReply(f, 0x49, 0x02);
  EXPECT_EQ(Bytes(f, 7), Hex("BB 09 01 49 02 00 00"));
}
