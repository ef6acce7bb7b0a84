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

// Each status bit on its own, none and all: the whole line as the operator reads it, and what the
// format status field is given, in order (the last one stays).
TEST(DecodeReply, StatusLinesAsTheOperatorReadsThem) {
  struct Case {
    const char* hex;
    const char* line;
    std::vector<std::string> fieldWrites;
  };
  const Case cases[] = {
      {"BB 09 01 00 00 00 00 00",
       " No card inserted  Not in initialization not read-only Formatting not completed Unformatted Unfilled Unchecked Effective format No mistake Stop video ",
       {" "}},
      {"BB 09 01 01 00 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed Unformatted Unfilled Unchecked Effective format No mistake Stop video ",
       {}},
      {"BB 09 01 03 00 00 00 00",
       " Inserted card Initialization in progress not read-only Formatting not completed Unformatted Unfilled Unchecked Effective format No mistake Stop video ",
       {}},
      {"BB 09 01 05 00 00 00 00",
       " Inserted card Not in initialization read-only Formatting not completed Unformatted Unfilled Unchecked Effective format No mistake Stop video ",
       {}},
      {"BB 09 01 09 00 00 00 00",
       " Inserted card Not in initialization not read-only format complete Unformatted Unfilled Unchecked Effective format No mistake Stop video ",
       {"format complete"}},
      {"BB 09 01 11 00 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed formatting Unfilled Unchecked Effective format No mistake Stop video ",
       {}},
      {"BB 09 01 21 00 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed Unformatted Already full Unchecked Effective format No mistake Stop video ",
       {}},
      {"BB 09 01 41 00 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed Unformatted Unfilled Tested Effective format No mistake Stop video ",
       {}},
      {"BB 09 01 81 00 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed Unformatted Unfilled Unchecked invalid format No mistake Stop video ",
       {}},
      {"BB 09 01 01 01 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed Unformatted Unfilled Unchecked Effective format Erroneous Stop video ",
       {"format failure"}},
      {"BB 09 01 01 02 00 00 00",
       " Inserted card Not in initialization not read-only Formatting not completed Unformatted Unfilled Unchecked Effective format No mistake Video recording",
       {}},
      {"BB 09 01 FF 03 00 00 00",
       " Inserted card Initialization in progress read-only format complete formatting Already full Tested invalid format Erroneous Video recording",
       {"format complete", "format failure"}},
      {"BB 09 01 00 03 00 00 00",
       " No card inserted  Not in initialization not read-only Formatting not completed Unformatted Unfilled Unchecked Effective format Erroneous Video recording",
       {" ", "format failure"}},
  };
  for (const Case& c : cases) {
    const auto r = Decode(c.hex);
    ASSERT_TRUE(r) << c.hex;
    EXPECT_EQ(r->line, c.line) << c.hex;
    EXPECT_EQ(r->fieldWrites, c.fieldWrites) << c.hex;
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

// Pack and unpack against literal bytes: the trailer is the sum of bytes 0
// to 6, a count is signed little-endian, and unpack then pack is the identity.
TEST(ReplyValues, PackAndUnpackAgainstLiteralBytes) {
  const struct {
    Reply reply;
    const char* bytes;
  } cases[] = {
      {Reply::Status(0x49, 0x02), "BB 09 01 49 02 00 00 10"},
      {Reply::Status(0x00, 0x01), "BB 09 01 00 01 00 00 C6"},
      {Reply::Count(kReplyResidual, -1), "BB 09 03 FF FF FF FF C3"},
      {Reply::Count(kReplyCapacity, 0x01020304), "BB 09 02 04 03 02 01 D0"},
      {Reply::Count(kReplyMinutes, 596), "BB 09 05 54 02 00 00 1F"},
  };
  for (const auto& c : cases) {
    const ReplyBytes packed = PackReply(c.reply);
    EXPECT_EQ(Bytes(packed.data(), kReplySize), Hex(c.bytes)) << c.bytes;
    const std::optional<Reply> back = UnpackReply(packed.data());
    ASSERT_TRUE(back) << c.bytes;
    EXPECT_EQ(back->type, c.reply.type);
    EXPECT_EQ(back->statusA, c.reply.statusA);
    EXPECT_EQ(back->statusB, c.reply.statusB);
    EXPECT_EQ(back->count, c.reply.count);
    EXPECT_EQ(back->trailer, packed[7]);
  }
  EXPECT_EQ(DescribeReply(Reply::Count(kReplyResidual, -1)).line, "-1KB");
}
