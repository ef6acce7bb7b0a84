// The panel's serial line, the one way every source that drives the gimbal
// (the window's handlers, the pad, script mode) reaches it: opening the port
// (a device, rfc2217://, tcp://), watching for a device that went away and
// opening it again, writing frames with their deadline (after a stall only
// whole frames), saying what the port notices on the terminal and in the
// session log, recording every frame and read there, and the steering state.
//
// Steering: a move frame sets the gimbal turning and only a zero move stops
// it. Whenever the last move the line took had steps, a stop is owed: one
// zero move with that move's mode, never refused, kept owed until the line
// has taken it whole. It goes first when asked for, when a message box
// opens, when the line takes bytes again after a stall, when the device is
// back after it went away, on the old line before another is chosen, and as
// the panel ends (waiting for the line up to the write deadline then).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/source.h"
#include "protocol/frame.h"
#include "serial/com_base.h"

class SessionLog;

class PanelLine {
 public:
  // say: one line for the operator's terminal ("varnel: " comes first there).
  PanelLine(CComBase& port, SessionLog* log, std::function<void(const std::string&)> say);

  // ---- opening ---------------------------------------------------------------
  // None waits for a network server or its name: the window answers
  // meanwhile, and the connection's outcome comes from LookAtConnection.
  enum class Opening {
    kStartUp,  // the start-up open
    kChoice,   // the operator chose a port or line: the old line is paid its stop first, any watch ends
    kWatch,    // the watch's look
  };
  // True when opened; false when it failed or (Connecting) is under way.
  bool Open(Opening how, const std::string& com, const comm::DCB& dcb);
  bool Connecting() const { return m_connecting; }
  enum class Outcome { kPending, kOpened, kFailed };
  // Once per poll while Connecting: how the operator's open ended, if it has.
  // Once opened, SendHeld sends what was written meanwhile (after the
  // session log names the line).
  Outcome LookAtConnection();
  void SendHeld();
  // What the panel waits for, for the window to show (empty: nothing).
  std::string WaitingFor() const;
  // Which server a session went through belongs in its log (status: the status line now).
  void NoteNetwork(const std::string& status);
  const CComBase& Port() const { return m_port; }

  // Once per poll after the read: true the first time the device is found
  // gone (the watch begins; status: what the status line says now).
  bool FoundGone(const std::string& status);
  bool Watching() const { return m_watching; }
  // The watch's outcome, said: back (status: the status line then), or why
  // not yet, once while the reason stays the same.
  void SayBack(const std::string& status);
  void SayStillAway();

  // ---- traffic ---------------------------------------------------------------
  // The frame to the line for who caused it; an owed stop goes first. The bytes of frame the
  // driver took. While the operator's open connects, a frame that is no
  // move waits for the connection (the window's start-up frames, a zoom
  // clicked meanwhile) and goes first once it opens; a move is never held,
  // as a move delivered late would turn the gimbal nobody steers any more.
  int Write(const Frame& frame, const Source& who);
  // What the poll reads (never waits), recorded; an owed stop the line could
  // not take before goes first.
  int Read(std::uint8_t* buffer, unsigned max);
  // Every frame and read as the session log records it (sent or received),
  // with who caused a sent one, for programs that watch the panel. The
  // session log says "frames from WHO" before the frames whenever that changes.
  using Traffic = std::function<void(bool sent, const std::uint8_t* bytes, std::size_t n, const Source& who)>;
  void ObserveTraffic(Traffic traffic) { m_traffic = std::move(traffic); }
  void SayNotices();  // the port's news, once each, on the terminal and in the log
  void Say(const std::string& text);  // a line of the panel's own, on the terminal and in the log

  // ---- steering --------------------------------------------------------------
  bool StopOwed() const { return m_owed; }
  const Source& Mover() const { return m_mover; }  // who set the gimbal turning last
  // The owed stop now, sent without waiting beyond the write deadline; the
  // frame it sent, or nothing when no stop was owed or none of it went yet
  // (it stays owed then).
  std::optional<Frame> Stop();
  // The owed stop as the panel ends or leaves this line: waits for the line
  // up to the write deadline, even after a stall.
  void PayStopWaiting();

 private:
  int Send(const Frame& frame);  // to the port, recorded as the wire took it
  int TryStop();                 // the stop's bytes when the line took it whole, else 0
  int SendStop();                // TryStop's sending, for whoever the stop is
  void RecordTail();             // what went of a cut frame's rest, in the log
  void Record(bool sent, const std::uint8_t* bytes, std::size_t n);  // the log and the watchers
  void Paid();
  void Opened(Opening how);  // a new line: what it owes goes first
  CComBase& m_port;
  SessionLog* m_log;
  bool m_connecting = false;  // the operator's open is under way
  std::string m_connectCom;
  comm::DCB m_connectDcb;
  Opening m_connectHow = Opening::kStartUp;
  std::vector<Frame> m_held;  // written while connecting, in order
  std::function<void(const std::string&)> m_say;
  bool m_watching = false;
  std::string m_lastWatchFailure;  // the reason last said, until the device is back

  bool m_owed = false;        // the line took a move with steps last
  bool m_wanted = false;      // a stop was asked for and the line has not taken it whole yet
  Frame m_stop;               // the zero move that stops it
  bool m_stopCut = false;     // the stop went out in part; its rest waits in the port
  Source m_mover = Source::Window();   // who moved the gimbal last: its stop is its own
  Source m_writer = Source::Window();  // who the frame going out now is for
  Source m_stopBy = Source::Window();  // who the stop asked for is
  int m_noted = 0;                     // whose frames the session log said last follow
  Traffic m_traffic;
};
