// The frame, its checksum, the echo texts and the hex parsers.
#include <gtest/gtest.h>

#include "bytes.h"
#include "literal_frames.h"
#include "protocol/commands.h"
#include "protocol/frame.h"

TEST(Frame, BeginClearsEverythingAndSealSumsBytes0To46) {
  std::uint8_t f[48];
  std::fill(std::begin(f), std::end(f), 0xAA);
  BeginFrame(f, 0x26);
  f[47] = 0x12;  // the old checksum byte takes no part
  SealFrame(f);
  EXPECT_EQ(Bytes(f, 48), Literal("cancel tracking"));
}

TEST(Frame, ChecksumKeepsLow8BitsAndA7EIsNotEscaped) {
  std::uint8_t f[48];
  BuildFreezeFrame(f, true);  // sums to 0x1C3
  EXPECT_EQ(f[47], 0xC3);
  BeginFrame(f, 0x00);
  f[10] = 0x7E;
  SealFrame(f);
  EXPECT_EQ(f[10], 0x7E);
  EXPECT_EQ(f[47], static_cast<std::uint8_t>(0x7E + 0x7E + 0x44 + 0x7E));
}

TEST(Echo, FortyEightBytesInThreeGroupsOfSixteen) {
  std::uint8_t f[48];
  BuildCancelFrame(f);
  EXPECT_EQ(FormatSentFrame(f, 48),
            "7e-7e-44-00-00-26-00-00-00-00-00-00-00-00-00-00  "
            "00-00-00-00-00-00-00-00-00-00-00-00-00-00-00-00  "
            "00-00-00-00-00-00-00-00-00-00-00-00-00-00-00-66\r\n");
}

TEST(Echo, ShortFormsJoinEveryByte) {
  const std::uint8_t b[14] = {0x81, 0x01, 0x04, 0x24, 0x72, 0x01, 0x05, 0xFF, 0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF};
  EXPECT_EQ(FormatSentFrame(b, 14), "81-01-04-24-72-01-05-ff-90-41-ff-90-51-ff\r\n");
  EXPECT_EQ(FormatSentFrame(b, 7), "81-01-04-24-72-01-05\r\n");
  EXPECT_EQ(FormatSentFrame(b, 6), "81-01-04-24-72-01\r\n");
  std::uint8_t z[9];
  BuildViscaZoom(z, 2);
  EXPECT_EQ(FormatSentFrame(z, 9), "81-01-04-47-01-06-0a-01-ff\r\n");
  EXPECT_EQ(FormatManualFrame(b, 3), "81-01-04");
  EXPECT_EQ(FormatManualFrame(b, 0), "");
}

TEST(HexTextToInt, Table) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"7E", 126}, {"7e", 126}, {"", 0}, {"7G", -1}, {"FFFFFFFF", -1}, {"123456789", 591751049},
      {"0", 0},    {"ff", 255}, {" 7", -1}, {"\xB0", -1},  // bytes from 0x80 up are no digit
  };
  for (const Case& c : cases) EXPECT_EQ(HexTextToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(ManualInstruction, Table) {
  struct Case {
    std::string text;
    int count;  // -1: "Input instruction error"
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"7E7E44", 3, "7E 7E 44"},
      {"7e 7e 44", 3, "7E 7E 44"},
      {"7E  7E 44", 3, "7E 7E 44"},
      {" 7E", 1, "7E"},
      {"  7E", -1, ""},
      {"ABC", 2, "AB 0C"},
      {"7E 8", 2, "7E 08"},
      {"7 E", -1, ""},
      {"7G", -1, ""},
      {"", 0, ""},
      {"7E ", 1, "7E"},
      {"7E7E44000083", 6, "7E 7E 44 00 00 83"},
  };
  for (const Case& c : cases) {
    std::uint8_t out[48];
    const int n = ParseManualInstruction(c.text, out);
    EXPECT_EQ(n, c.count) << '"' << c.text << '"';
    if (n >= 0) {
      EXPECT_EQ(Bytes(out, static_cast<std::size_t>(n)), Hex(c.bytes)) << '"' << c.text << '"';
    }
  }
}

TEST(ManualInstruction, FortyEightBytesFitFortyNineAreRefusedWithoutOverrun) {
  std::string text48, text49;
  for (int i = 0; i < 48; ++i) text48 += "A5";
  text49 = text48 + " 01";
  // A guard after the buffer shows that nothing is written past its end.
  std::uint8_t out[49];
  out[48] = 0x5A;
  EXPECT_EQ(ParseManualInstruction(text48, out), 48);
  EXPECT_EQ(out[47], 0xA5);
  EXPECT_EQ(ParseManualInstruction(text49, out), -1);
  EXPECT_EQ(out[48], 0x5A);
}
