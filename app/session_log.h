// The opt-in record of a session (--log FILE), for the gimbal's maker or an
// integrator: every frame the panel writes and every read of the poll, one
// line each, with the wall-clock time to the millisecond and the direction:
//
//   2026-12-08T06:45:16.123 TX 7e-7e-44-00-00-8b-02-...
//   2026-12-08T06:45:16.287 RX bb-09-01-41-00-00-00-06
//
// What the port had to say about the line (it went away, a network server
// set another parity) stands between them as a note ("--" for the direction).
//
// Each line is handed to the system as it happens, so a crash or a killed
// program loses nothing sent or received before it. A disk that is full
// leaves lines out (said once), never half a line; once a line can be
// written again, a note says how many are missing there (said once too).
// Without --log nothing is written anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "receive/recv_log.h"

// The log's file, opened for appending (created when missing) without ever
// waiting: a FIFO nobody reads, a device node or anything else that is not a
// plain file is refused, so that writing to it can never hold the window.
// nullptr with the reason. One file per platform: posix/, win32/.
std::FILE* OpenLogFile(const std::string& path, std::string& why);
// Appends line to that file whole or not at all: a write the disk stops part
// way (full) is cut back, so that the file never holds a torn line. False
// with the reason when it could not be written.
bool AppendLogLine(std::FILE* file, const std::string& line, std::string& why);

class SessionLog {
 public:
  enum class Direction { kSent, kReceived };
  // complain: told once, the first time the file cannot be opened or written.
  explicit SessionLog(std::function<void(const std::string&)> complain);
  ~SessionLog();
  SessionLog(const SessionLog&) = delete;
  SessionLog& operator=(const SessionLog&) = delete;

  // Appends to path (created when missing); false when it cannot be opened.
  bool Open(const std::string& path);
  bool IsOpen() const { return m_file != nullptr; }
  void Record(Direction direction, const std::uint8_t* bytes, std::size_t n);
  // A line of words about the line itself, between the frames:
  //   2026-12-08T06:45:16.123 -- COM1 (rfc2217://gimbal:2217) opened
  void Note(const std::string& text);

  // "2026-12-08T06:45:16.123 TX 7e-7e-44" (no line end).
  static std::string Line(const LocalTime& at, Direction direction, const std::uint8_t* bytes, std::size_t n);

 private:
  void Complain(const std::string& what);
  void Write(const std::string& line);
  std::function<void(const std::string&)> m_complain;
  std::FILE* m_file = nullptr;
  std::string m_path;
  bool m_complained = false;
  std::size_t m_missing = 0;  // lines not written since the last note of missing lines
  std::size_t m_lost = 0;     // lines lost since the log could last be written, for the operator
};
