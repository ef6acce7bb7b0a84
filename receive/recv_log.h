// What a poll appends to the received-data log: each line kept as what it
// holds (the caption, bytes as they arrived, or a text) and turned into text
// only when it is shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kRecvBufferSize = 1000;  // the most one poll reads

inline constexpr const char* kRecvCaption = "接收信息";

enum class LogKind : std::uint8_t {
  kText = 0,     // a text as it is (time stamp, decoded status line)
  kCaption = 1,  // the read's caption line, no bytes
  kHex = 2,      // bytes, shown as two lowercase digits each joined by "-"
  kDashHex = 3,  // the same after a leading "-" (the later lines of a read)
};

// One line of the log; bytes is a view, valid while the caller's buffer is.
struct LogLine {
  LogKind kind = LogKind::kText;
  std::string_view bytes;  // the text of a kText line, the raw bytes of a hex line
};
LogLine TextLine(std::string_view text);
LogLine HexLine(const std::uint8_t* bytes, std::size_t n, bool continued = false);
// The line as the log shows it, and that text's length in bytes.
std::string FormatLogLine(const LogLine& line);
std::size_t FormattedSize(const LogLine& line);

// The caption and hex lines for one read of n bytes: the first line holds
// bytes 0..16, every further one 14 bytes and starts with "-". Nothing for
// n = 0. The lines view bytes.
std::vector<LogLine> ReceivedLines(const std::uint8_t* bytes, std::size_t n);

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
// The wall clock, to the millisecond (one file per platform: posix/, win32/).
LocalTime GetLocalTime();
// "%d/%d/%d %d:%d:%d:%d", nothing zero-padded: 2017/12/7 9:5:3:42.
std::string FormatTimeStamp(const LocalTime& t);
