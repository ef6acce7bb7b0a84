// What a poll appends to the log: line breaks, the time stamp, the store.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <numeric>

#include "receive/log_selection.h"
#include "receive/log_store.h"
#include "receive/recv_log.h"

namespace {
std::vector<std::string> Texts(const std::vector<LogLine>& lines) {
  std::vector<std::string> out;
  for (const LogLine& l : lines) out.push_back(FormatLogLine(l));
  return out;
}
}  // namespace

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
    const auto lines = Texts(ReceivedLines(bytes.data(), c.n));
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
  EXPECT_EQ(Texts(ReceivedLines(b.data(), 20)),
            (std::vector<std::string>{"接收信息", "00-01-02-03-04-05-06-07-08-09-0a-0b-0c-0d-0e-0f-10", "-11-12-13"}));
  const std::uint8_t reply[8] = {0xBB, 0x09, 0x01, 0x01, 0x00, 0x00, 0x00, 0xC6};
  EXPECT_EQ(Texts(ReceivedLines(reply, 8)), (std::vector<std::string>{"接收信息", "bb-09-01-01-00-00-00-c6"}));
  const std::uint8_t a = 0x41;
  EXPECT_EQ(Texts(ReceivedLines(&a, 1)), (std::vector<std::string>{"接收信息", "41"}));
}

TEST(TimeStamp, NothingIsZeroPadded) {
  EXPECT_EQ(FormatTimeStamp({2017, 12, 7, 9, 5, 3, 42}), "2017/12/7 9:5:3:42");
  EXPECT_EQ(FormatTimeStamp({2026, 1, 31, 23, 59, 59, 999}), "2026/1/31 23:59:59:999");
  const LocalTime now = GetLocalTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_LT(now.millisecond, 1000);
}

namespace {
// Resident memory in KiB where the system says it (Linux); 0 elsewhere (the
// Windows build under Wine would read Wine's idea of the file).
#if defined(__linux__)
long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}
#else
long ResidentKiB() { return 0; }
#endif
}  // namespace

// Every kind of line the log holds comes back as it is shown, across many
// blocks: bytes of any value (the 00 and FF of a reply, a lone byte, none) and
// texts of any kind (the decoded status line, a time stamp, a NUL inside).
TEST(LogStore, LinesComeBackByteForByteAcrossBlocks) {
  const std::string reply("\xBB\x09\x01\x41\x00\x00\x00\x06", 8);
  const std::string seventeen("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10", 17);
  const std::string status =
      " Inserted card Not in initialization not read-only Formatting not completed Unformatted Unfilled Tested "
      "Effective format No mistake Stop video ";
  const struct {
    LogKind kind;
    std::string bytes;
    std::string shown;
  } shapes[] = {
      {LogKind::kCaption, "", "接收信息"},
      {LogKind::kHex, reply, "bb-09-01-41-00-00-00-06"},
      {LogKind::kHex, seventeen, "00-01-02-03-04-05-06-07-08-09-0a-0b-0c-0d-0e-0f-10"},
      {LogKind::kDashHex, "\x11\x12\x1e", "-11-12-1e"},
      {LogKind::kDashHex, "\xFF", "-ff"},
      {LogKind::kHex, "\xFF", "ff"},
      {LogKind::kHex, "", ""},
      {LogKind::kText, status, status},
      {LogKind::kText, "BB-09", "BB-09"},
      {LogKind::kText, "", ""},
      {LogKind::kText, "接收信息 ", "接收信息 "},
      {LogKind::kText, std::string("a\0b", 3), std::string("a\0b", 3)},
      {LogKind::kText, "2017/12/7 9:5:3:42", "2017/12/7 9:5:3:42"},
  };
  const std::size_t n = std::size(shapes);
  LogStore log;
  const std::size_t total = LogStore::kBlockLines * 3 + 7;  // several blocks by line count
  for (std::size_t i = 0; i < total; ++i) log.Append({shapes[i % n].kind, shapes[i % n].bytes});
  // And a line longer than a whole block, then more after it.
  const std::string huge(LogStore::kBlockTextBytes * 2 + 5, 'x');
  log.Append(TextLine(huge));
  log.Append({shapes[1].kind, shapes[1].bytes});
  ASSERT_EQ(log.Size(), total + 2);
  for (std::size_t i = 0; i < total; ++i) ASSERT_EQ(log.Line(i), shapes[i % n].shown) << "line " << i;
  EXPECT_EQ(log.Line(total), huge);
  EXPECT_EQ(log.Line(total + 1), shapes[1].shown);
  EXPECT_EQ(log.Line(total + 2), "");
  for (const auto& shape : shapes) EXPECT_EQ(FormattedSize({shape.kind, shape.bytes}), shape.shown.size());
}

TEST(LogStore, ClearingGivesTheMemoryBack) {
  LogStore log;
  const std::uint8_t bytes[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::string line = "00-01-02-03-04-05-06-07-08-09-0a-0b-0c-0d-0e-0f-10";  // 50 characters shown
  const long before = ResidentKiB();
  for (int i = 0; i < 1000000; ++i) log.Append(HexLine(bytes, 17));
  EXPECT_EQ(log.Line(999999), line);
  // 17 bytes and a record byte for the line, 4 for where it ends.
  EXPECT_LT(log.MemoryBytes(), 23u * 1000 * 1000);
  const long grown = ResidentKiB() - before;
  log.Clear();
  EXPECT_EQ(log.Size(), 0u);
  EXPECT_EQ(log.MemoryBytes(), 0u);
  EXPECT_EQ(log.Line(0), "");
  if (before > 0) {
    EXPECT_GT(grown, 15 * 1024);
    EXPECT_LT(ResidentKiB() - before, grown / 4) << "resident memory after clearing";
  }
  log.Append(TextLine("bb"));  // usable again
  EXPECT_EQ(log.Line(0), "bb");
}

// The log's selection, as both windows keep it: a click starts it, Shift and
// drags extend it from where it started, past the end is the last row, and
// an empty log has none.
TEST(LogSelection, ClicksExtendAndTheTextIsTheRowsAsShown) {
  LogStore store;
  const std::uint8_t bytes[3] = {0x90, 0x41, 0xff};
  store.Append({LogKind::kCaption, {}});
  store.Append(HexLine(bytes, 3));
  store.Append(TextLine(" Inserted card"));
  struct Step {
    int row;
    bool extend;
    int first, last, current;
  };
  const Step steps[] = {
      {1, true, 1, 1, 1},   // extending with nothing selected starts at the row
      {2, true, 1, 2, 2},   // Shift+click below
      {0, true, 0, 1, 0},   // and above the anchor
      {9, false, 2, 2, 2},  // past the end: the last row
      {-3, true, 0, 2, 0},
  };
  LogSelection s;
  EXPECT_TRUE(s.Empty());
  EXPECT_EQ(s.Text(store), "");
  for (const Step& step : steps) {
    s.To(step.row, step.extend, 3);
    EXPECT_EQ(s.First(), step.first) << step.row;
    EXPECT_EQ(s.Last(), step.last) << step.row;
    EXPECT_EQ(s.Current(), step.current) << step.row;
  }
  EXPECT_EQ(s.Text(store), "接收信息\n90-41-ff\n Inserted card\n");
  s.To(1, false, 0);  // an emptied log
  EXPECT_TRUE(s.Empty());
  s.All(3);
  EXPECT_EQ(s.First(), 0);
  EXPECT_EQ(s.Last(), 2);
}
