#include "app/session_log.h"

#include <cerrno>
#include <cstring>

#include "protocol/frame.h"


SessionLog::SessionLog(std::function<void(const std::string&)> complain) : m_complain(std::move(complain)) {}

SessionLog::~SessionLog() {
  if (m_file) std::fclose(m_file);
}

bool SessionLog::Open(const std::string& path) {
  m_path = path;
  std::string why;
  m_file = OpenLogFile(path, why);
  if (!m_file) {
    Complain("cannot open the session log " + path + ": " + why + "; going on without it");
    return false;
  }
  return true;
}

std::string SessionLog::Line(const LocalTime& t, Direction direction, const std::uint8_t* bytes, std::size_t n) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.millisecond);
  return std::string(stamp) + (direction == Direction::kSent ? " TX " : " RX ") + HexJoin(bytes, n);
}

void SessionLog::Record(Direction direction, const std::uint8_t* bytes, std::size_t n) {
  if (!m_file || n == 0) return;
  const std::string line = Line(GetLocalTime(), direction, bytes, n) + "\n";
  // Flushed line by line: what was on the wire is in the file before the
  // next thing happens, whatever ends the program.
  if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size() || std::fflush(m_file) != 0) {
    Complain("cannot write the session log " + m_path + ": " + std::strerror(errno) + "; going on without it");
    std::fclose(m_file);
    m_file = nullptr;
  }
}

void SessionLog::Complain(const std::string& what) {
  if (m_complained) return;
  m_complained = true;
  if (m_complain) m_complain(what);
}
