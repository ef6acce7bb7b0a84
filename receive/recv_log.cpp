#include "receive/recv_log.h"

#include <algorithm>

#include "protocol/frame.h"

LogLine TextLine(std::string_view text) { return {LogKind::kText, text}; }

LogLine HexLine(const std::uint8_t* bytes, std::size_t n, bool continued) {
  return {continued ? LogKind::kDashHex : LogKind::kHex,
          std::string_view(reinterpret_cast<const char*>(bytes), n)};
}

std::string FormatLogLine(const LogLine& line) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.bytes.data());
  switch (line.kind) {
    case LogKind::kCaption: return kRecvCaption;
    case LogKind::kHex: return HexJoin(bytes, line.bytes.size());
    case LogKind::kDashHex: return "-" + HexJoin(bytes, line.bytes.size());
    case LogKind::kText: break;
  }
  return std::string(line.bytes);
}

std::size_t FormattedSize(const LogLine& line) {
  const std::size_t n = line.bytes.size();
  switch (line.kind) {
    case LogKind::kCaption: return std::string_view(kRecvCaption).size();
    case LogKind::kHex: return n ? 3 * n - 1 : 0;
    case LogKind::kDashHex: return 3 * n;
    case LogKind::kText: break;
  }
  return n;
}

std::vector<LogLine> ReceivedLines(const std::uint8_t* bytes, std::size_t n) {
  std::vector<LogLine> lines;
  if (n == 0) return lines;
  lines.push_back({LogKind::kCaption, {}});
  // The first line breaks after byte 16, every later one after 14 more.
  constexpr std::size_t kFirst = 17, kLater = 14;
  for (std::size_t at = 0; at < n;) {
    const std::size_t take = std::min(n - at, at == 0 ? kFirst : kLater);
    lines.push_back(HexLine(bytes + at, take, at != 0));
    at += take;
  }
  return lines;
}

std::string FormatTimeStamp(const LocalTime& t) {
  return std::to_string(t.year) + "/" + std::to_string(t.month) + "/" + std::to_string(t.day) + " " +
         std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second) + ":" +
         std::to_string(t.millisecond);
}
