// What a poll appends to the log: line breaks, the time stamp, the store.
#include <gtest/gtest.h>

#include <numeric>

#include "receive/log_store.h"
#include "receive/recv_log.h"

TEST(ReceivedLines, BreakAfterByte16ThenEvery14) {
  struct Case {
    std::size_t n;
    std::vector<std::size_t> lineBytes;  // bytes on each hex line
  };
  const Case cases[] = {
      {0, {}}, {1, {1}}, {8, {8}}, {16, {16}}, {17, {17}}, {20, {17, 3}}, {31, {17, 14}}, {32, {17, 14, 1}},
      {1000, {}},
  };
  std::vector<std::uint8_t> bytes(1000);
  std::iota(bytes.begin(), bytes.end(), 0);
  for (const Case& c : cases) {
    const auto lines = ReceivedLines(bytes.data(), c.n);
    if (c.n == 0) {
      EXPECT_TRUE(lines.empty());
      continue;
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "接收信息");
    std::size_t total = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const std::string& l = lines[i];
      // Every line but the first starts with the separator of its first byte.
      EXPECT_EQ(l[0] == '-', i > 1) << c.n << " line " << i;
      const std::size_t count = (l.size() + (i > 1 ? 0 : 1)) / 3;
      if (!c.lineBytes.empty()) {
        EXPECT_EQ(count, c.lineBytes[i - 1]) << c.n << " line " << i;
      }
      total += count;
    }
    EXPECT_EQ(total, c.n);
    if (!c.lineBytes.empty()) {
      EXPECT_EQ(lines.size(), c.lineBytes.size() + 1) << c.n;
    }
  }
}

TEST(ReceivedLines, Literal) {
  std::vector<std::uint8_t> b(20);
  std::iota(b.begin(), b.end(), 0);
  EXPECT_EQ(ReceivedLines(b.data(), 20),
            (std::vector<std::string>{"接收信息", "00-01-02-03-04-05-06-07-08-09-0a-0b-0c-0d-0e-0f-10", "-11-12-13"}));
  const std::uint8_t reply[8] = {0xBB, 0x09, 0x01, 0x01, 0x00, 0x00, 0x00, 0xC6};
  EXPECT_EQ(ReceivedLines(reply, 8), (std::vector<std::string>{"接收信息", "bb-09-01-01-00-00-00-c6"}));
  const std::uint8_t a = 0x41;
  EXPECT_EQ(ReceivedLines(&a, 1), (std::vector<std::string>{"接收信息", "41"}));
}

TEST(TimeStamp, NothingIsZeroPadded) {
  EXPECT_EQ(FormatTimeStamp({2017, 12, 7, 9, 5, 3, 42}), "2017/12/7 9:5:3:42");
  EXPECT_EQ(FormatTimeStamp({2026, 1, 31, 23, 59, 59, 999}), "2026/1/31 23:59:59:999");
  const LocalTime now = GetLocalTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_LT(now.millisecond, 1000);
}

TEST(LogStore, AppendsReadsBackAndClears) {
  LogStore log;
  log.Append("接收信息");
  log.Append("");
  log.Append("bb-09");
  ASSERT_EQ(log.Size(), 3u);
  EXPECT_EQ(log.Line(0), "接收信息");
  EXPECT_EQ(log.Line(1), "");
  EXPECT_EQ(log.Line(2), "bb-09");
  EXPECT_EQ(log.Line(3), "");
  log.Clear();
  EXPECT_EQ(log.Size(), 0u);
}

TEST(LogStore, AMillionLinesStayCompact) {
  LogStore log;
  const std::string line = "00-01-02-03-04-05-06-07-08-09-0a-0b-0c-0d-0e-0f-10";  // 50 bytes
  for (int i = 0; i < 1000000; ++i) log.Append(line);
  EXPECT_EQ(log.Line(999999), line);
  // The line's bytes and one offset each, plus the vectors' growth slack.
  EXPECT_LT(log.MemoryBytes(), 150u * 1000 * 1000);
}
