// The frame, its checksum, the echo texts and the hex parsers.
#include <gtest/gtest.h>

#include "bytes.h"
#include "literal_frames.h"
#include "protocol/commands.h"
#include "protocol/frame.h"

TEST(Frame, BeginHasFortyEightBytesAndSealSumsBytes0To46) {
  Frame f = BeginFrame(0x26);
  EXPECT_EQ(f.size(), 48u);
  f[47] = 0x12;  // the old checksum byte takes no part
  SealFrame(f);
  EXPECT_EQ(Bytes(f.data(), f.size()), Literal("cancel tracking"));
}

TEST(Frame, ChecksumKeepsLow8BitsAndA7EIsNotEscaped) {
  EXPECT_EQ(BuildFreezeFrame(true)[47], 0xC3);  // sums to 0x1C3
  Frame f = BeginFrame(0x00);
  f[10] = 0x7E;
  SealFrame(f);
  EXPECT_EQ(f[10], 0x7E);
  EXPECT_EQ(f[47], static_cast<std::uint8_t>(0x7E + 0x7E + 0x44 + 0x7E));
}

TEST(Frame, TakesAtMostFortyEightBytesAndShrinkingClearsWhatIsDropped) {
  std::vector<std::uint8_t> run(60, 0xAB);
  Frame f(run.data(), run.size());
  EXPECT_EQ(f.size(), 48u);
  f.resize(3);
  f.resize(5);  // what was cut off does not come back
  EXPECT_EQ(Bytes(f.data(), f.size()), Hex("AB AB AB 00 00"));
  EXPECT_EQ(Frame(run.data(), 0).size(), 0u);
}

TEST(Echo, FortyEightBytesInThreeGroupsOfSixteen) {
  EXPECT_EQ(FormatSentFrame(BuildCancelFrame()),
            "7e-7e-44-00-00-26-00-00-00-00-00-00-00-00-00-00  "
            "00-00-00-00-00-00-00-00-00-00-00-00-00-00-00-00  "
            "00-00-00-00-00-00-00-00-00-00-00-00-00-00-00-66\r\n");
}

TEST(Echo, ShortFormsJoinEveryByte) {
  const std::uint8_t b[14] = {0x81, 0x01, 0x04, 0x24, 0x72, 0x01, 0x05, 0xFF, 0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF};
  EXPECT_EQ(FormatSentFrame(Frame(b, 14)), "81-01-04-24-72-01-05-ff-90-41-ff-90-51-ff\r\n");
  EXPECT_EQ(FormatSentFrame(Frame(b, 7)), "81-01-04-24-72-01-05\r\n");
  EXPECT_EQ(FormatSentFrame(Frame(b, 6)), "81-01-04-24-72-01\r\n");
  EXPECT_EQ(FormatSentFrame(BuildViscaZoom(2)), "81-01-04-47-01-06-0a-01-ff\r\n");
  EXPECT_EQ(FormatManualFrame(Frame(b, 3)), "81-01-04");
  EXPECT_EQ(FormatManualFrame(Frame()), "");
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
    const std::optional<Frame> out = ParseManualInstruction(c.text);
    EXPECT_EQ(out ? static_cast<int>(out->size()) : -1, c.count) << '"' << c.text << '"';
    if (out) {
      EXPECT_EQ(Bytes(out->data(), out->size()), Hex(c.bytes)) << '"' << c.text << '"';
    }
  }
}

TEST(ManualInstruction, FortyEightBytesFitFortyNineAreRefusedWithoutOverrun) {
  std::string text48, text49;
  for (int i = 0; i < 48; ++i) text48 += "A5";
  text49 = text48 + " 01";
  const std::optional<Frame> out = ParseManualInstruction(text48);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->size(), 48u);
  EXPECT_EQ((*out)[47], 0xA5);
  EXPECT_FALSE(ParseManualInstruction(text49));
}
