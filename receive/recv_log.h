// What a poll appends to the received-data log, and the shared receive state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr unsigned WM_POLL_SERIAL = 0x0400 + 100;  // WM_USER + 100
inline constexpr std::size_t kRecvBufferSize = 1000;

// Read on the timer thread, written on the dialog thread: an atomic byte.
extern std::atomic<std::uint8_t> g_PollPaused;
extern std::uint8_t g_RecvBuffer[kRecvBufferSize];

inline constexpr const char* kRecvCaption = "接收信息";

// The caption and hex lines for one read of n bytes: the first line holds
// bytes 0..16, every further one 14 bytes and starts with "-". Nothing for n = 0.
std::vector<std::string> ReceivedLines(const std::uint8_t* bytes, std::size_t n);

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
// The wall clock, to the millisecond (one file per platform: posix/, win32/).
LocalTime GetLocalTime();
// "%d/%d/%d %d:%d:%d:%d", nothing zero-padded: 2017/12/7 9:5:3:42.
std::string FormatTimeStamp(const LocalTime& t);
