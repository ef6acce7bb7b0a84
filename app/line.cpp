#include "app/line.h"

#include <utility>
#include <vector>

#include "app/session_log.h"
#include "protocol/commands.h"
#include "serial/net_address.h"

namespace {
constexpr std::size_t kHeldFrames = 32;  // what waits for a connection, at most: beyond, frames are lost as on a closed port
}  // namespace

PanelLine::PanelLine(CComBase& port, SessionLog* log, std::function<void(const std::string&)> say)
    : m_port(port), m_log(log), m_say(std::move(say)) {}

// ---- opening ------------------------------------------------------------------

bool PanelLine::Open(Opening how, const std::string& com, const comm::DCB& dcb) {
  bool opened = false;
  switch (how) {
    case Opening::kStartUp: opened = m_port.Begin(com, &dcb); break;
    case Opening::kChoice:
      // The gimbal on the old line must not go on turning once the panel
      // stops talking to it.
      if (m_port.IsOpen()) PayStopWaiting();
      m_watching = false;  // the operator's own choice wins over a device that went away
      // Closed first (a network port still on the same server only sends
      // the new line).
      opened = m_port.Reopen(com, &dcb, false);
      break;
    case Opening::kWatch: opened = m_port.OpenAgain(com, &dcb); break;
  }
  if (opened) Opened(how);
  if (how != Opening::kWatch) {
    m_connecting = m_port.Connecting();
    if (!m_connecting) m_held.clear();
  }
  if (m_connecting) {
    m_connectCom = com;
    m_connectDcb = dcb;
    m_connectHow = how;
  }
  return opened;
}

void PanelLine::Opened(Opening how) {
  m_stopCut = false;  // a stop cut on the old line goes again whole
  if (how == Opening::kChoice && m_owed) Stop();  // the old line could not take it
}

PanelLine::Outcome PanelLine::LookAtConnection() {
  if (!m_connecting) return Outcome::kFailed;
  const bool opened = m_port.OpenAgain(m_connectCom, &m_connectDcb);
  m_connecting = m_port.Connecting();
  if (m_connecting) return Outcome::kPending;
  if (!opened) {
    m_held.clear();
    return Outcome::kFailed;
  }
  Opened(m_connectHow);
  return Outcome::kOpened;
}

void PanelLine::SendHeld() {
  std::vector<Frame> held;
  held.swap(m_held);
  for (const Frame& frame : held) Send(frame);
}

std::string PanelLine::WaitingFor() const {
  if (m_connecting) return "connecting to " + m_port.Where();
  if (m_watching) return "waiting for " + m_port.Where() + " to come back";
  return "";
}

void PanelLine::NoteNetwork(const std::string& status) {
  // The bytes in the log are the serial line's, never the network's own.
  if (m_log && LooksLikeNetworkUrl(m_port.DevicePath())) m_log->Note(m_port.Where() + ": " + status);
}

bool PanelLine::FoundGone(const std::string& status) {
  if (!m_port.Gone() || m_watching) return false;
  m_watching = true;
  if (m_log) m_log->Note(m_port.Where() + " is gone: " + status);
  return true;
}

void PanelLine::SayBack(const std::string& status) {
  m_watching = false;
  m_lastWatchFailure.clear();
  m_say(m_port.Where() + " is back");
  if (m_log) m_log->Note(m_port.Where() + " is back: " + status);
  if (m_owed) Stop();  // it went away turning: the first thing it hears is the stop
}

void PanelLine::SayStillAway() {
  // Not there yet is the waiting itself; anything else (back but busy, a
  // server that refuses, permissions changed) is said once, on the terminal
  // and in the log, and again only when the reason changes; the looks in
  // between that find nothing yet change no reason.
  const std::string failure = m_port.LastError() == SerialError::DeviceNotFound ? "" : m_port.LastErrorText();
  if (!failure.empty() && failure != m_lastWatchFailure) {
    Say("cannot open " + failure + "; still watching for it");
    m_lastWatchFailure = failure;
  }
  SayNotices();  // a different device where it was
}

// ---- traffic ------------------------------------------------------------------

int PanelLine::Send(const Frame& frame) {
  const int written = m_port.Write(frame.data(), static_cast<unsigned>(frame.size()));
  // The wire in its order: the rest of a frame a stall cut, if it went out
  // now, then what the driver took of this one.
  const std::vector<std::uint8_t> tail = m_port.TakeTailSent();
  if (!tail.empty()) Record(true, tail.data(), tail.size());
  if (written > 0) Record(true, frame.data(), static_cast<std::size_t>(written));
  SayNotices();
  return written;
}

int PanelLine::Write(const Frame& frame, const Source& who) {
  m_writer = who;
  const std::optional<MoveCommand> move = AsMove(frame);
  if (m_connecting) {
    if (!move && m_held.size() < kHeldFrames) m_held.push_back(frame);
    return 0;
  }
  const bool steps = move && (move->x != 0 || move->y != 0);
  if (move && !steps && m_owed) {  // the source lets the gimbal stop
    m_stop = frame;
    m_stopBy = who;
    m_wanted = true;
    return TryStop();
  }
  if (steps) {
    m_wanted = false;  // moving again: the stop asked for before is moot
  } else if (m_wanted && !TryStop()) {
    return 0;  // nothing overtakes a stop the line has not taken yet
  }
  const int written = Send(frame);
  if (steps && written > 0) {  // the driver has it, and finishes a frame it cut
    m_owed = true;
    m_stop = BuildMoveFrame(move->code, 0, 0, move->tracking);
    m_stopCut = false;
    m_mover = who;
  }
  return written;
}

int PanelLine::Read(std::uint8_t* buffer, unsigned max) {
  if (m_wanted) TryStop();  // the line may take bytes again
  const int n = m_port.Read(buffer, max);
  SayNotices();
  if (n > 0) Record(false, buffer, static_cast<std::size_t>(n));
  return n;
}

void PanelLine::SayNotices() {
  for (std::string notice = m_port.TakeNotice(); !notice.empty(); notice = m_port.TakeNotice()) Say(notice);
}

void PanelLine::Say(const std::string& text) {
  m_say(text);
  if (m_log) m_log->Note(text);
}

// ---- steering -------------------------------------------------------------------

std::optional<Frame> PanelLine::Stop() {
  if (!m_owed) return std::nullopt;
  m_wanted = true;
  m_stopBy = m_mover;  // the stop of whoever set it turning
  const Frame stop = m_stop;
  return TryStop() ? std::optional<Frame>(stop) : std::nullopt;
}

int PanelLine::TryStop() {
  const Source writer = std::exchange(m_writer, m_stopBy);
  const int written = SendStop();
  m_writer = writer;
  return written;
}

int PanelLine::SendStop() {
  if (m_stopCut) {
    // Its rest waits in the port, which hands it over before anything else.
    if (m_port.CutTailPending()) {
      m_port.WriteWaiting(nullptr, 0, 0);
      RecordTail();
    }
    if (m_port.CutTailPending()) return 0;
    Paid();
    return static_cast<int>(m_stop.size());
  }
  const int written = Send(m_stop);
  if (written == static_cast<int>(m_stop.size())) Paid();
  else if (written > 0) m_stopCut = true;
  return written == static_cast<int>(m_stop.size()) ? written : 0;
}

void PanelLine::PayStopWaiting() {
  if (!m_owed) return;
  m_wanted = true;
  m_stopBy = m_mover;
  m_writer = m_stopBy;
  const unsigned deadline = m_port.WriteDeadlineMs(static_cast<unsigned>(m_stop.size()));
  if (m_stopCut) {
    m_port.WriteWaiting(nullptr, 0, deadline);
    RecordTail();
    if (!m_port.CutTailPending()) Paid();
    return;
  }
  const int written = m_port.WriteWaiting(m_stop.data(), static_cast<unsigned>(m_stop.size()), deadline);
  RecordTail();
  if (written > 0) Record(true, m_stop.data(), static_cast<std::size_t>(written));
  SayNotices();
  if (written == static_cast<int>(m_stop.size())) Paid();
  else if (written > 0) m_stopCut = true;
}

void PanelLine::RecordTail() {
  const std::vector<std::uint8_t> tail = m_port.TakeTailSent();
  if (!tail.empty()) Record(true, tail.data(), tail.size());
}

void PanelLine::Record(bool sent, const std::uint8_t* bytes, std::size_t n) {
  if (sent && m_writer.id != m_noted) {
    if (m_log) m_log->Note("frames from " + m_writer.name);
    m_noted = m_writer.id;
  }
  if (m_log) m_log->Record(sent ? SessionLog::Direction::kSent : SessionLog::Direction::kReceived, bytes, n);
  if (m_traffic) m_traffic(sent, bytes, n, m_writer);
}

void PanelLine::Paid() {
  m_owed = false;
  m_wanted = false;
  m_stopCut = false;
}
