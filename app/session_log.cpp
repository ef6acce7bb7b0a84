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

namespace {
std::string Stamp(const LocalTime& t) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.millisecond);
  return stamp;
}
}  // namespace

std::string SessionLog::Line(const LocalTime& t, Direction direction, const std::uint8_t* bytes, std::size_t n) {
  return Stamp(t) + (direction == Direction::kSent ? " TX " : " RX ") + HexJoin(bytes, n);
}

void SessionLog::Record(Direction direction, const std::uint8_t* bytes, std::size_t n) {
  if (!m_file || n == 0) return;
  Write(Line(GetLocalTime(), direction, bytes, n) + "\n");
}

void SessionLog::Note(const std::string& text) {
  if (!m_file) return;
  std::string line = Stamp(GetLocalTime()) + " -- ";
  // One line a note, whatever a server put in it.
  for (char c : text) line += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
  Write(line + "\n");
}

void SessionLog::Write(const std::string& line) {
  // Written line by line, as it happens: what was on the wire is in the file
  // before the next thing happens, whatever ends the program.
  std::string why;
  if (m_missing > 0) {
    const std::string gap = Stamp(GetLocalTime()) + " -- " + std::to_string(m_missing) +
                            " lines are missing here: the session log could not be written";
    if (!AppendLogLine(m_file, gap + "\n", why)) {
      ++m_missing;
      ++m_lost;
      return;
    }
    m_missing = 0;
  }
  if (AppendLogLine(m_file, line, why)) {
    // Back only once a line of the session is in it, not just the note.
    if (m_lost > 0 && m_complain)
      m_complain("the session log " + m_path + " is written again; " + std::to_string(m_lost) +
                 " lines are missing from it");
    m_lost = 0;
    return;
  }
  ++m_missing;
  if (m_lost++ == 0 && m_complain)
    m_complain("cannot write the session log " + m_path + ": " + why +
               "; going on without it until it can be written again");
}

void SessionLog::Complain(const std::string& what) {
  if (m_complained) return;
  m_complained = true;
  if (m_complain) m_complain(what);
}
