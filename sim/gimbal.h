// The device at the other end of the line, as far as the panel can tell:
// finds command frames in the byte stream, keeps a plausible state, answers
// the SD-card queries and the camera's VISCA commands.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/commands.h"

struct SimOptions {
  bool noCard = false;
  int replyDelayMs = 0;
  bool split = false;
  int splitGapMs = 250;  // longer than a poll period, so each piece lands in its own poll
  bool trace = false;
};

struct CardState {
  bool inserted = true;
  bool readOnly = false;
  bool formatting = false;
  bool formatComplete = false;
  bool error = false;
  bool recording = false;
  std::int64_t capacityKB = 31'116'288;  // a 32 GB card
  std::int64_t residualKB = 27'000'000;
};

struct GimbalState {
  CardState card;
  int zoomLevel = 1;         // 1..30, from either zoom command
  std::uint16_t zoomPosition = 0;  // the camera block's, as the zoom was driven
  bool tracking = false;
  int templateCode = 0x3C;
  int moveX = 0, moveY = 0;  // last move step
  bool frozen = false;
  int channel = 0;
  bool enhance = false;
  int stabilizer = 2, defog = 2, videoFormat = 0;
  int coeff = 100, contrast = 50, brightness = 50;
  int shutterCount = 0, captureCount = 0;
  OsdSettings osd;  // the last OSD settings, as the frame carried them
  float compTemp = 0;
  int alarmTemp = 0;
};

struct SimReply {
  std::vector<std::uint8_t> bytes;
  std::chrono::steady_clock::time_point due;
};

class Gimbal {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Gimbal(SimOptions options = {});

  // Bytes from the line; replies come back with the time they are due.
  std::vector<SimReply> Feed(const std::uint8_t* bytes, std::size_t n, Clock::time_point now);
  // Lets recording and formatting run on to now.
  void Advance(Clock::time_point now);

  const GimbalState& State() const { return m_state; }
  int FramesAccepted() const { return m_frames; }
  int BadChecksums() const { return m_badChecksums; }
  int GarbageBytes() const { return m_garbage; }
  // Trace lines since the last call (hex and decoded), when tracing.
  std::vector<std::string> TakeTrace();

  static constexpr int kFormatSeconds = 3;
  static constexpr int kRecordKBPerSecond = 500;
  static constexpr int kPictureKB = 600;
  static constexpr int kVideoKBPerMinute = 30000;

 private:
  void HandleFrame(const Frame& f, Clock::time_point now, std::vector<SimReply>& out);
  void HandleVisca(const Frame& cmd, Clock::time_point now, std::vector<SimReply>& out);
  std::vector<std::uint8_t> Inquiry(const std::vector<std::uint8_t>& message) const;
  void Reply(std::vector<std::uint8_t> bytes, Clock::time_point now, std::vector<SimReply>& out);

  SimOptions m_options;
  GimbalState m_state;
  std::vector<std::uint8_t> m_buffer;
  Clock::time_point m_lastAdvance{};
  Clock::time_point m_formatDone{};
  std::int64_t m_recordCarryMs = 0;
  bool m_started = false;
  int m_frames = 0, m_badChecksums = 0, m_garbage = 0;
  std::vector<std::string> m_trace;
};

