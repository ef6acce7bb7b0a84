#include "receive/recv_log.h"

#include "protocol/frame.h"

std::atomic<std::uint8_t> g_PollPaused{0};
std::uint8_t g_RecvBuffer[kRecvBufferSize] = {};

std::vector<std::string> ReceivedLines(const std::uint8_t* bytes, std::size_t n) {
  std::vector<std::string> lines;
  if (n == 0) return lines;
  lines.emplace_back(kRecvCaption);
  std::string current;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) current += '-';
    current += HexJoin(bytes + i, 1);
    if (i % 14 == 2 && i > 3) {  // breaks after bytes 16, 30, 44, ...
      lines.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

std::string FormatTimeStamp(const LocalTime& t) {
  return std::to_string(t.year) + "/" + std::to_string(t.month) + "/" + std::to_string(t.day) + " " +
         std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second) + ":" +
         std::to_string(t.millisecond);
}
