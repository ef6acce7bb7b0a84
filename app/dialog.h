// The main window's behaviour: start-up, every control's handler, the poll
// and the reply decoding. Written against the control layer, so the same code
// drives the real window and the in-memory one.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "app/source.h"
#include "app/steering.h"
#include "app/host.h"
#include "app/line.h"
#include "app/panel/controls.h"
#include "app/panel/data_exchange.h"
#include "protocol/frame.h"
#include "receive/mm_timer.h"
#include "receive/recv_log.h"
#include "serial/com_base.h"

class SessionLog;

// The private message the poll timer posts to the dialog (WM_USER + 100).
inline constexpr unsigned WM_POLL_SERIAL = 0x0400 + 100;
// The pad's tick, posted by its timer while a stick is deflected or a zoom button held (WM_USER + 101).
inline constexpr unsigned WM_PAD_TICK = 0x0400 + 101;

class CVarnelDlg {
 public:
  // log: where every frame written and every read goes as well (--log); may be null.
  CVarnelDlg(IControls& controls, IDialogHost& host, CComBase& port, SessionLog* log = nullptr);
  ~CVarnelDlg();
  CVarnelDlg(const CVarnelDlg&) = delete;
  CVarnelDlg& operator=(const CVarnelDlg&) = delete;

  bool OnInitDialog();

  // Notifications, as the window delivers them.
  void OnClicked(int id);     // push buttons, check boxes, radio buttons
  void OnSelChange(int id);   // a list's selection chosen by the operator
  void OnCustomDraw(int id);  // a slider has painted
  void OnMessage(unsigned message);
  void OnPollSerial();
  void OnSysCommand(unsigned id);
  // Learn mode from the window: the next control moved on a pad, then what it does, asked.
  void LearnPad();
  void OnOK();      // Enter outside a push button
  void OnCancel();  // Escape
  void OnClose();   // the close box, Alt+F4, the system menu's Close
  // The panel ends (every way: the close box, quit, a signal, the session's
  // end): the pad stops and the stop owed to the gimbal goes first, waiting
  // for the line up to the write deadline. Once is enough; the destructor
  // does it too.
  void LetGo();

  BoundValues& Values() { return m_v; }
  // The one steering state: the stick and buttons of any pad, script mode's,
  // a client's stick, a PTZ controller's drive.
  Steering& Steer() { return m_steering; }
  // A new source, named and numbered by the panel's one counter.
  Source Appear(Source::Kind kind, const std::string& detail = "") { return m_sources.Next(kind, detail); }
  // Who the frames the handlers send are for while the value returned
  // lives (the window's own otherwise): a click from script mode, a client's
  // command, a controller's camera message each name their source.
  class Acting {
   public:
    Acting(CVarnelDlg& dlg, const Source& who) : m_dlg(dlg), m_before(dlg.SwapActing(who)) {}
    ~Acting() { m_dlg.SwapActing(m_before); }
    Acting(const Acting&) = delete;
    Acting& operator=(const Acting&) = delete;

   private:
    CVarnelDlg& m_dlg;
    Source m_before;
  };
  [[nodiscard]] Acting ActAs(const Source& who) { return Acting(*this, who); }
  Source SwapActing(Source who) {
    std::swap(m_acting, who);
    return who;
  }
  bool LineConnecting() const { return m_line.Connecting(); }  // the operator's open of a network port under way
  // Every frame and read the line carries, for programs that watch the panel.
  void ObserveTraffic(PanelLine::Traffic traffic) { m_line.ObserveTraffic(std::move(traffic)); }
  // What the panel says on the terminal ("said": a line gone or back, a
  // gamepad connected), each decoded reply ("reply"), the status line when
  // it changes ("status") and a message box closed ("box closed"), for the same.
  using News = std::function<void(const char* kind, const std::string& text)>;
  void ObserveNews(News news) { m_news = std::move(news); }
  // A VISCA camera command from a PTZ controller, to the gimbal's line as it
  // is: echoed and logged as the panel's own; false while a box is open (the
  // operator's hands are held, and so is everyone's). A zoom to a position
  // moves the zoom slider and edit to the nearest level, so that their next
  // paint does not take the camera back.
  bool SendCamera(const Frame& command);
  // A gamepad connected or removed: said on the terminal and in the session log.
  void SayPad(const std::string& text);
  // What a pad reader is given of the panel.
  PadPanel ForPads() {
    return {m_steering, [this](const std::string& product) { return Appear(Source::Kind::kPad, product); },
            [this](const std::string& text) { SayPad(text); }};
  }
  CMMTimer& Timer() { return m_Timer; }
  // The sliders have painted (and sent) and two polls have read what came
  // back since: the start-up traffic is over, an operator would start now.
  bool StartupPolled() const { return m_sliderPaints > 0 && m_pollsSincePaint >= 2; }
  int m_nComPort = 0;        // the COM number the port lists show
  std::string m_strComName;  // "COM1"

 private:
  // Every line the panel opens has 8 data bits and 1 stop bit.
  static constexpr int kDataBits = 8;
  static constexpr int kStopBits = 1;
  char m_chParity = 0;
  int m_bPortOpen = 0;
  std::uint32_t m_openBaud = 0;  // the rate of the operator's open, for a connection that ends later
  std::string m_waitingShown;
  News m_news;
  int m_shownSettable = -1;  // whether the rate and parity lists were last shown settable
  int m_nContrast = 50;
  int m_nBrightness = 50;
  std::uint8_t m_bTracking = 0;

  bool UpdateData(bool saveAndValidate = true);
  // The transmit path: the frame goes to the port whole, and its bytes are
  // echoed under "Send instruction".
  // echoed under "Send instruction"; for whoever acts now, or who.
  void Send(const Frame& frame) { Send(frame, m_acting); }
  void Send(const Frame& frame, const Source& who);
  void ShowSentFrame(const Frame& frame);
  void SendAndShow(const Frame& frame) { SendAndShow(frame, m_acting); }
  void SendAndShow(const Frame& frame, const Source& who);
  // Every box of the dialog's own: the gimbal stops before it opens.
  void MessageBox(const std::string& text);
  void DecodeReply(const std::uint8_t* frame);
  void ApplyPortSettings();
  void SetStatus(const std::string& text);  // the status line, told to the watchers when it changes

  enum class Origin { Handler, Poll };
  bool Commit(Origin origin);
  void WriteBack(Origin origin);
  void ReportFailure(const DxFailure& failure);
  bool StartPolling();
  // Runs on the timer's thread: post, nothing else.
  static void PollTimerProc(unsigned id, unsigned msg, std::uintptr_t user, std::uintptr_t dw1, std::uintptr_t dw2);

  void Move(int dx, int dy);
  bool StickMove(int x, int y, const Source& who);  // a move with the stick's steps; false when a box came instead
  void StickStop();                                 // the stick let go, or the pad gone
  void Track(std::uint8_t state);
  void ZoomStep(int d);
  void StepValue(int& value, int upper, int d, int edit, int slider);
  void ShowSliderValue(int edit, int value, const Frame& sent);
  void SendThermal(bool withCompensation);
  void SendStorage(std::uint8_t action);
  void SendQuery(std::uint8_t query);
  void Format();
  void SendOsd();
  void SendStabilizer();
  void ManualInput();
  // Opens the port the lists show with the line settings they show; false
  // when it cannot be opened.
  bool OpenChosenPort(PanelLine::Opening how);
  // The status line for the open asked at baud (0: the rate of the open a
  // connection that just ended was for); the Warning when it failed.
  void ShowOpenResult(std::uint32_t baud);
  void WarnNotOpened();
  void ShowWaiting();  // the window's sign that the panel waits for the line, when it changes
  void ShowWhatTheLineTakes();  // the rate and parity lists, for the line the port reaches
  void WatchForReturn();

  IControls& m_ctl;
  IDialogHost& m_host;
  PanelLine m_line;
  BoundValues m_v;

  int m_nZoomLevel = 1;       // 1..30, what the zoom slider last sent
  int m_nZoomProtocol = 1;    // 1 VISCA, 0 the private protocol
  int m_nTempCompCoeff = 0;   // 0..200, what the coefficient slider last sent
  std::uint8_t m_recv[kRecvBufferSize] = {};  // one poll's read
  int m_sliderPaints = 0;
  int m_pollsSincePaint = 0;
  int m_tickFocus = -1;  // the focus as this tick found it; -1: not asked yet
  int TickFocus();
  bool m_inMessage = false;                       // a validation or error box is open
  std::pair<int, std::string> m_lastPollFailure;  // reported once while it stays the same
  ExchangeMemory m_exchange;  // what the controls and members held at the last exchange
  int m_pollFailedId = 0;                         // not written back during this poll

  SourceCounter m_sources;
  Source m_acting = Source::Window();
  Steering m_steering;
  CMMTimer m_Timer;  // last: destroyed first, so no tick outlives the dialog
};
