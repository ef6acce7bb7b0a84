#include "app/dialog.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/boxes.h"
#include "app/pad_profile.h"
#include "app/script_commands.h"
#include "app/panel/control_ids.h"
#include "app/panel/control_table.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "serial/line_time.h"
#include "serial/net_address.h"
#include "serial/port_settings.h"

namespace {
// What the entry chosen in list id stands for; none when nothing is chosen.
int Code(const IControls& c, int id, int none) { return SelectedCode(id, c.GetCurSel(id)).value_or(none); }
}  // namespace

void CVarnelDlg::PollTimerProc(unsigned, unsigned, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  // The timer was started for this dialog and is stopped before it goes.
  reinterpret_cast<CVarnelDlg*>(user)->m_host.PostDialogMessage(WM_POLL_SERIAL);
}

CVarnelDlg::CVarnelDlg(IControls& controls, IDialogHost& host, CComBase& port, SessionLog* log)
    : m_ctl(controls),
      m_host(host),
      m_line(port, log,
             [this](const std::string& line) {
               m_host.Diagnostic("varnel: " + line);
               if (m_news) m_news("said", line);
             }),
      m_steering({[this](int x, int y, const Source& who) { return StickMove(x, y, who); },
                  [this](const Source&) { StickStop(); },  // the line pays the stop of whoever set it turning
                  [this](int id, const Source& who) {
                    const Acting acting = ActAs(who);
                    OnClicked(id);
                  },
                  [this] { return m_inMessage; }, [this] { m_host.PostDialogMessage(WM_PAD_TICK); }, nullptr,
                  [this] { return m_nZoomLevel; }}) {
  m_bTracking = 0;
}

CVarnelDlg::~CVarnelDlg() {
  m_Timer.Stop();
  LetGo();
}

void CVarnelDlg::LetGo() {
  m_steering.Halt();
  m_line.PayStopWaiting();  // the panel ends: the gimbal must not go on turning
}

// ---- data exchange ----------------------------------------------------------

bool CVarnelDlg::UpdateData(bool save) {
  if (save) return Commit(Origin::Handler);
  WriteBack(Origin::Handler);
  return true;
}

void CVarnelDlg::MessageBox(const std::string& text) {
  // A box holds the operator's hands: the gimbal stops before it opens.
  m_line.Stop();
  m_exchange.trustRead = false;  // the operator's hands are free while it is open
  m_inMessage = true;
  m_host.MessageBox(text);
  m_inMessage = false;
  if (m_news) m_news("box closed", text);
}

void CVarnelDlg::SetStatus(const std::string& text) {
  if (text == m_v.m_strStatus) return;
  m_v.m_strStatus = text;
  if (m_news) m_news("status", text);
}

void CVarnelDlg::ReportFailure(const DxFailure& failure) {
  MessageBox(failure.message);
  m_ctl.SetFocus(failure.id);
  m_tickFocus = -1;  // the focus moved
}

int CVarnelDlg::TickFocus() {
  // Asked once a tick: on some systems asking the window for its focus is
  // dear, and nothing but a message box moves it during a tick.
  if (m_tickFocus < 0) m_tickFocus = m_ctl.GetFocus();
  return m_tickFocus;
}

bool CVarnelDlg::Commit(Origin origin) {
  DxFailure failure;
  if (DoDataExchange(m_ctl, m_v, true, &failure, nullptr, &m_exchange)) {
    m_lastPollFailure = {};
    m_pollFailedId = 0;
    return true;
  }
  if (origin == Origin::Handler) {
    if (!m_inMessage) ReportFailure(failure);  // never a second box over the first
    return false;
  }
  // Every tick commits: while the operator is still typing into the control,
  // or after the message about this very text was shown, stay quiet and
  // leave the text as typed, so that it can be read and corrected.
  m_pollFailedId = failure.id;
  const std::pair<int, std::string> key{failure.id, failure.text};
  if (!m_inMessage && TickFocus() != failure.id && key != m_lastPollFailure) {
    m_lastPollFailure = key;
    ReportFailure(failure);
  }
  return false;
}

void CVarnelDlg::WriteBack(Origin origin) {
  if (origin == Origin::Handler) {
    DoDataExchange(m_ctl, m_v, false, nullptr, nullptr, &m_exchange);
    return;
  }
  // A tick does not rewrite the control being typed into, nor one whose text
  // failed this tick's commit: the operator's typing is never taken away.
  std::set<int> skip;
  if (m_pollFailedId) skip.insert(m_pollFailedId);
  if (const int focus = TickFocus()) skip.insert(focus);
  DoDataExchange(m_ctl, m_v, false, nullptr, &skip, &m_exchange);
  m_exchange.trustRead = false;
}

// ---- start-up ---------------------------------------------------------------

bool CVarnelDlg::OnInitDialog() {
  // The framework's part: lists are filled by the control layer; the first
  // transfer into the controls also sets the slider ranges.
  UpdateData(false);

  m_ctl.SetCurSel(idc::ComPort, 0);
  m_ctl.SetCurSel(idc::Baud, 3);
  m_ctl.SetCurSel(idc::Parity, 2);
  m_ctl.SetCurSel(idc::Channel, 0);
  m_ctl.SetCurSel(idc::Template, 0);
  m_ctl.SetCurSel(idc::Defog, 0);
  m_ctl.SetCurSel(idc::Steady, 0);
  m_ctl.SetCurSel(idc::ControlMode, 0);
  m_ctl.SetCurSel(idc::Preservation, 0);
  m_ctl.SetCurSel(idc::PreservationMode, 0);
  m_ctl.SetCurSel(idc::Core, 0);

  m_nComPort = m_ctl.GetCurSel(idc::ComPort) + 1;
  m_strComName = ComName(m_nComPort);

  // Fixed here, not read from lists 1094 and 1096, which only show the same.
  const comm::DCB dcb = StartupDcb();
  m_chParity = 'E';

  m_ctl.SetPos(idc::ZoomSlider, 1, true);
  m_ctl.SetPos(idc::CoeffSlider, 100, true);
  m_ctl.SetPos(idc::ContrastSlider, 50, true);
  m_ctl.SetPos(idc::BrightnessSlider, 50, true);
  m_nBrightness = 50;
  m_nContrast = 50;

  m_ctl.SetCheck(idc::Visca, 1);
  m_ctl.SetCheck(idc::PrivateZoom, 0);
  m_nZoomProtocol = 1;

  m_ctl.EnableWindow(idc::VideoFormat1, false);
  m_ctl.EnableWindow(idc::VideoFormat2, false);

  m_steering.SetLineTime(LineTimeMs(kFrameSize, dcb.BaudRate));
  m_bPortOpen = m_line.Open(PanelLine::Opening::kStartUp, m_strComName, dcb);
  ShowWhatTheLineTakes();
  ShowOpenResult(dcb.BaudRate);
  WarnNotOpened();
  UpdateData(false);

  m_ctl.ShowWindow(idc::PrepareTest, false);
  UpdateData(true);
  StartPolling();
  return true;
}

bool CVarnelDlg::StartPolling() {
  const unsigned period = static_cast<unsigned>(m_v.m_nPollPeriod);
  if (m_Timer.Start(period, 1, reinterpret_cast<std::uintptr_t>(this), PollTimerProc)) return true;
  // The running timer, if any, goes on at its period.
  m_host.Diagnostic("varnel: the poll timer refused a period of " + std::to_string(period) + " ms" +
                    (m_Timer.IsRunning() ? "; polling goes on every " + std::to_string(m_Timer.Period()) + " ms"
                                         : ""));
  return false;
}

void CVarnelDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) m_host.ShowAbout();
  if ((id & 0xFFF0) == IDM_LEARNPAD) LearnPad();
}

void CVarnelDlg::LearnPad() {
  // The next control moved on any pad: the operator is asked what it does,
  // again after a wrong answer (said in a box), until an answer or Cancel.
  m_steering.Learn([this](const PadMapping& pad, const std::string& input) -> std::optional<PadAction> {
    ShowWaiting();
    const bool axis = PadInputIsAxis(input);
    for (;;) {
      const std::optional<std::string> text =
          m_host.AskPadAction(pad.Who().name + ": " + input + " does", PadActionChoices(axis));
      if (!text) return std::nullopt;
      PadAction action;
      const std::string why = ReadPadAction(ScriptLine(*text), axis, action, ScriptCommands::Check);
      if (why.empty()) return action;
      m_host.MessageBox(ScriptLine(*text) + ": " + why);
    }
  });
  ShowWaiting();
}

void CVarnelDlg::OnOK() {
  // One key must never throw the session away (the received-data log, the
  // echo, every typed value): Enter in the manual instruction sends it, as
  // every serial terminal does; anywhere else it commits the window's values,
  // with the range message for one out of range, and the panel stays open.
  if (m_ctl.GetFocus() == idc::ManualText) {
    ManualInput();
    return;
  }
  UpdateData(true);
}

// Escape closes a box, a drop-down list, the Warning; never the panel itself.
void CVarnelDlg::OnCancel() {}

void CVarnelDlg::OnClose() {
  // The stop owed to the gimbal leaves before the window goes: hiding a
  // window waits on the window system (Wine without a window manager waits
  // 2 s for it), and nothing may wait before the stop.
  LetGo();
  m_host.EndDialog(IDCANCEL);
}

// ---- port and line settings -------------------------------------------------

bool CVarnelDlg::OpenChosenPort(PanelLine::Opening how) {
  const PortChoice choice =
      ChosenLine(m_ctl.GetCurSel(idc::ComPort), m_ctl.GetCurSel(idc::Baud), m_ctl.GetCurSel(idc::Parity));
  m_nComPort = choice.comPort;
  if (choice.parityLetter) m_chParity = choice.parityLetter;
  m_strComName = ComName(m_nComPort);
  // Never more moves than the line carries: a move frame's own time on the
  // wire at the rate chosen, 9.2 ms at 57600 baud 8E1.
  m_steering.SetLineTime(LineTimeMs(kFrameSize, choice.dcb.BaudRate));
  m_bPortOpen = m_line.Open(how, m_strComName, choice.dcb);
  ShowWhatTheLineTakes();
  ShowOpenResult(choice.dcb.BaudRate);
  return m_bPortOpen;
}

void CVarnelDlg::ShowOpenResult(std::uint32_t baud) {
  if (baud) m_openBaud = baud;
  SetStatus(m_bPortOpen ? OpenedStatus(m_nComPort, m_openBaud, m_chParity, kDataBits, kStopBits)
                        : NotOpenedStatus(m_nComPort));
  if (m_bPortOpen) m_line.NoteNetwork(m_v.m_strStatus);
  ShowWaiting();
}

std::string WindowCaption(const std::string& waitingFor) {
  return waitingFor.empty() ? std::string(kDialogCaption) : std::string(kDialogCaption) + " — " + waitingFor;
}

void CVarnelDlg::WarnNotOpened() {
  // A connection under way says how it went when it ends (at a poll).
  if (m_bPortOpen || m_line.Connecting()) return;
  m_host.Diagnostic("varnel: cannot open " + m_line.Port().LastErrorText());
  m_host.ShowWarning(WarningText(m_line.Port().LastError()));
}

void CVarnelDlg::ShowWaiting() {
  // The status line keeps the panel's own words; the window says beside them
  // that a server is being reached or a device waited for.
  std::string waiting = m_line.WaitingFor();
  if (waiting.empty() && m_steering.Learning()) waiting = "a pad control to learn";
  if (waiting == m_waitingShown) return;
  m_waitingShown = waiting;
  m_host.ShowWaiting(waiting);
}

void CVarnelDlg::ShowWhatTheLineTakes() {
  // A raw TCP port's line is the server's: nothing the rate and parity lists
  // choose ever reaches it, so they cannot be chosen (and the status line
  // never claims settings that were not sent).
  const std::optional<NetAddress> network = ParseNetworkUrl(m_line.Port().DevicePath());
  const bool settable = !network || network->kind != NetAddress::Kind::kRaw;
  if (m_shownSettable == static_cast<int>(settable)) return;
  m_shownSettable = settable;
  const std::string why = settable ? "" : "A raw TCP port: the line's rate and parity are the server's (" +
                                              network->host + ":" + std::to_string(network->port) + "), set there";
  for (const int id : {idc::Baud, idc::Parity}) {
    m_ctl.EnableWindow(id, settable);
    m_ctl.SetToolTip(id, why);
  }
}

void CVarnelDlg::ApplyPortSettings() {
  OpenChosenPort(PanelLine::Opening::kChoice);
  UpdateData(false);
  m_line.SayNotices();  // what a network port makes of the new line
  WarnNotOpened();
}

void CVarnelDlg::WatchForReturn() {
  // The same COM name reaches the same device (its stable name, or the
  // --port path): opened as choosing it in "I/O ID" opens it. Inside a tick,
  // so the status line goes out with the tick's own write-back: the opened
  // text again once it is back, "NOT OPENED" meanwhile.
  if (OpenChosenPort(PanelLine::Opening::kWatch)) m_line.SayBack(m_v.m_strStatus);
  else m_line.SayStillAway();
}

// ---- transmit path ----------------------------------------------------------

void CVarnelDlg::Send(const Frame& frame, const Source& who) { m_line.Write(frame, who); }

void CVarnelDlg::SendAndShow(const Frame& frame, const Source& who) {
  Send(frame, who);
  ShowSentFrame(frame);
}

void CVarnelDlg::ShowSentFrame(const Frame& frame) {
  m_v.m_strSentFrame = FormatSentFrame(frame);
  UpdateData(false);
}

// ---- notifications ----------------------------------------------------------

void CVarnelDlg::OnClicked(int id) {
  switch (id) {
    case idc::Up: Move(0, -1); break;
    case idc::Down: Move(0, 1); break;
    case idc::Left: Move(-1, 0); break;
    case idc::Right: Move(1, 0); break;
    case idc::StartTracking: Track(1); break;
    case idc::ExitTracking: Track(0); break;
    case idc::CancelTracking:
      if (!UpdateData(true)) break;
      m_bTracking = 0;
      SendAndShow(BuildCancelFrame());
      break;
    case idc::TemplateOk:
      // No commit first: the echo's refresh puts back the last committed values.
      SendAndShow(BuildTemplateFrame(static_cast<std::uint8_t>(Code(m_ctl, idc::Template, kTemplateNone))));
      break;

    case idc::Visca:
      m_ctl.SetCheck(idc::Visca, 1);
      m_ctl.SetCheck(idc::PrivateZoom, 0);
      m_nZoomProtocol = 1;
      break;
    case idc::PrivateZoom:
      m_ctl.SetCheck(idc::PrivateZoom, 1);
      m_ctl.SetCheck(idc::Visca, 0);
      m_nZoomProtocol = 0;
      break;
    case idc::ZoomNarrow: ZoomStep(-1); break;
    case idc::ZoomEnlarge: ZoomStep(1); break;

    case idc::Frozen:
    case idc::Thaw:
      if (!UpdateData(true)) break;
      SendAndShow(BuildFreezeFrame(id == idc::Frozen));
      break;
    case idc::ChannelOk: SendThermal(false); break;
    case idc::AlarmOk: SendThermal(true); break;
    case idc::Shutter:
      if (!UpdateData(true)) break;
      SendAndShow(BuildShutterFrame());
      break;
    case idc::Enhance:
      if (!UpdateData(true)) break;
      SendAndShow(BuildEnhanceFrame(m_v.m_bImageEnhance));
      break;
    case idc::CompTempCheck: SendStabilizer(); break;

    case idc::StartStorage: SendStorage(kStorageStart); break;
    case idc::StopStorage: SendStorage(kStorageStop); break;
    case idc::SingleCapture: SendStorage(kStorageCapture); break;
    case idc::Format: Format(); break;
    case idc::QueryState: SendQuery(kQueryState); break;
    case idc::Capacity: SendQuery(kQueryCapacity); break;
    case idc::Residual: SendQuery(kQueryResidual); break;
    case idc::Pictures: SendQuery(kQueryPictures); break;
    case idc::Minutes: SendQuery(kQueryMinutes); break;

    case idc::OsdSettings: SendOsd(); break;

    case idc::CoeffNarrow: StepValue(m_nTempCompCoeff, 200, -1, idc::CoeffText, idc::CoeffSlider); break;
    case idc::CoeffEnlarge: StepValue(m_nTempCompCoeff, 200, 1, idc::CoeffText, idc::CoeffSlider); break;
    case idc::ContrastNarrow: StepValue(m_nContrast, 100, -1, idc::ContrastText, idc::ContrastSlider); break;
    case idc::ContrastEnlarge: StepValue(m_nContrast, 100, 1, idc::ContrastText, idc::ContrastSlider); break;
    case idc::BrightnessNarrow: StepValue(m_nBrightness, 100, -1, idc::BrightnessText, idc::BrightnessSlider); break;
    case idc::BrightnessEnlarge: StepValue(m_nBrightness, 100, 1, idc::BrightnessText, idc::BrightnessSlider); break;

    case idc::ManualSend: ManualInput(); break;
    case idc::Empty: m_ctl.ResetContent(idc::RecvLog); break;
    default: break;  // 1164 "Set time intervals", the check boxes sent with other commands
  }
}

void CVarnelDlg::OnSelChange(int id) {
  switch (id) {
    case idc::ComPort:
    case idc::Baud:
    case idc::Parity: ApplyPortSettings(); break;
    case idc::Steady: SendStabilizer(); break;
    case idc::Defog:
      if (!UpdateData(true)) break;
      SendAndShow(BuildDefog(static_cast<std::uint8_t>(Code(m_ctl, idc::Defog, kViscaHold))));
      break;
    case idc::VideoFormat2: {
      if (!UpdateData(true)) break;
      // With no selection there is no format code; sending a guessed one to
      // the camera would be unsafe, so nothing goes out.
      const std::optional<int> code = SelectedCode(idc::VideoFormat2, m_ctl.GetCurSel(idc::VideoFormat2));
      if (code) SendAndShow(BuildVideoFormat(static_cast<std::uint8_t>(*code)));
      break;
    }
    default: break;  // 1147: the OSD command reads it
  }
}

void CVarnelDlg::OnCustomDraw(int id) {
  switch (id) {
    case idc::ZoomSlider: {
      if (!UpdateData(true)) return;
      m_nZoomLevel = ClampZoom(m_ctl.GetPos(idc::ZoomSlider));
      const Frame frame = m_nZoomProtocol == 1 ? BuildViscaZoom(m_nZoomLevel) : BuildPrivateZoom(m_nZoomLevel);
      Send(frame);
      ShowSliderValue(idc::ZoomText, m_nZoomLevel, frame);
      break;
    }
    case idc::CoeffSlider: {
      if (!UpdateData(true)) return;
      m_nTempCompCoeff = m_ctl.GetPos(idc::CoeffSlider);
      const Frame frame = BuildTempCoeffFrame(m_nTempCompCoeff);
      Send(frame);
      ShowSliderValue(idc::CoeffText, m_nTempCompCoeff, frame);
      break;
    }
    case idc::ContrastSlider:
    case idc::BrightnessSlider: {
      if (!UpdateData(true)) return;
      const bool contrast = id == idc::ContrastSlider;
      int& value = contrast ? m_nContrast : m_nBrightness;
      value = m_ctl.GetPos(id);
      const Frame frame = BuildContrastBrightnessFrame(m_nContrast, m_nBrightness);
      Send(frame);
      ShowSliderValue(contrast ? idc::ContrastText : idc::BrightnessText, value, frame);
      break;
    }
    default: return;
  }
  ++m_sliderPaints;
  m_pollsSincePaint = 0;
}

void CVarnelDlg::ShowSliderValue(int edit, int value, const Frame& sent) {
  m_ctl.SetWindowText(edit, std::to_string(value));
  UpdateData(true);
  ShowSentFrame(sent);
}

void CVarnelDlg::OnMessage(unsigned message) {
  if (message == WM_POLL_SERIAL) OnPollSerial();
  else if (message == WM_PAD_TICK) m_steering.Tick();
}

// ---- tracking and motion ----------------------------------------------------

void CVarnelDlg::Move(int dx, int dy) {
  if (!UpdateData(true)) return;
  if (dx) m_v.m_nOffsetX = dx * m_v.m_nStep;
  if (dy) m_v.m_nOffsetY = dy * m_v.m_nStep;
  const auto code = static_cast<std::uint8_t>(Code(m_ctl, idc::ControlMode, 0x00));
  SendAndShow(BuildMoveFrame(code, dx ? m_v.m_nOffsetX : 0, dy ? m_v.m_nOffsetY : 0, m_bTracking));
}

void CVarnelDlg::SayPad(const std::string& text) { m_line.Say(text); }

bool CVarnelDlg::SendCamera(const Frame& command) {
  if (m_inMessage) return false;
  SendAndShow(command);
  if (const ViscaCommand c = ReadVisca(command); c.kind == ViscaKind::kZoom) {
    int nearest = 1;
    for (int level = 1; level <= kZoomMax; ++level)
      if (std::abs(kZoomPositions[level - 1] - c.value) < std::abs(kZoomPositions[nearest - 1] - c.value)) nearest = level;
    m_nZoomLevel = nearest;
    m_v.m_nZoomText = nearest;
    m_ctl.SetPos(idc::ZoomSlider, nearest, false);
    UpdateData(false);
  }
  return true;
}

bool CVarnelDlg::StickMove(int x, int y, const Source& who) {
  // As a click on an arrow does, with the stick's steps on both axes.
  if (!UpdateData(true)) return false;
  m_v.m_nOffsetX = x;
  m_v.m_nOffsetY = y;
  const auto code = static_cast<std::uint8_t>(Code(m_ctl, idc::ControlMode, 0x00));
  SendAndShow(BuildMoveFrame(code, x, y, m_bTracking), who);
  return true;
}

void CVarnelDlg::StickStop() {
  // Never refused, whatever the edits hold: the stop goes out first.
  const std::optional<Frame> stop = m_line.Stop();
  if (!stop || m_inMessage) return;
  // Then shown as the stick's moves are, unless that would take away what
  // the operator is typing.
  DxFailure typing;
  if (!DoDataExchange(m_ctl, m_v, true, &typing, nullptr, &m_exchange)) return;
  m_v.m_nOffsetX = 0;
  m_v.m_nOffsetY = 0;
  ShowSentFrame(*stop);
}

void CVarnelDlg::Track(std::uint8_t state) {
  if (!UpdateData(true)) return;
  m_bTracking = state;
  SendAndShow(BuildTrackFrame(state, static_cast<std::uint8_t>(Code(m_ctl, idc::Template, kTemplateNone))));
}

// ---- zoom and the adjustment sliders ------------------------------------------

void CVarnelDlg::ZoomStep(int d) {
  if (!UpdateData(true)) return;
  m_nZoomLevel = ClampZoom(m_nZoomLevel + d);
  m_ctl.SetWindowText(idc::ZoomText, std::to_string(m_nZoomLevel));
  m_ctl.SetPos(idc::ZoomSlider, m_nZoomLevel, true);  // the repaint sends
}

void CVarnelDlg::StepValue(int& value, int upper, int d, int edit, int slider) {
  if (!UpdateData(true)) return;
  value += d;
  if (value < 0) value = 0;
  if (value > upper) value = upper;
  m_ctl.SetWindowText(edit, std::to_string(value));
  m_ctl.SetPos(slider, value, true);  // the repaint sends
}

// ---- imaging ----------------------------------------------------------------

void CVarnelDlg::SendThermal(bool withCompensation) {
  if (!UpdateData(true)) return;
  ThermalSettings s;
  s.pseudoColor = m_v.m_bPseudoColor;
  s.alarmTemp = m_v.m_nAlarmTemp;
  s.tempBar = m_v.m_bTempBar;
  s.channel = static_cast<std::uint8_t>(Code(m_ctl, idc::Channel, 0));
  s.highAlarm = m_v.m_bHighTempAlarm;
  s.lowAlarm = m_v.m_bLowTempAlarm;
  s.withCompensation = withCompensation;
  s.compTemp = m_v.m_fCompTemp;
  s.compTempOn = m_v.m_bCompTemp;
  SendAndShow(BuildThermalFrame(s));
}

void CVarnelDlg::SendStabilizer() {
  if (!UpdateData(true)) return;
  SendAndShow(BuildStabilizer(static_cast<std::uint8_t>(Code(m_ctl, idc::Steady, kViscaHold))));
}

// ---- storage and SD card ----------------------------------------------------

void CVarnelDlg::SendStorage(std::uint8_t action) {
  if (!UpdateData(true)) return;
  if (action == kStorageStart) {
    if (m_v.m_nVideoLength > 65536 || m_v.m_nVideoLength < 1) return;
    if (!UpdateData(true)) return;
  }
  StorageSettings s;
  s.interlaced = m_v.m_bInterlaced;
  s.network = m_v.m_bNetwork;
  s.videoLength = m_v.m_nVideoLength;
  s.preservation = Code(m_ctl, idc::Preservation, -1);  // none goes out as 0xFF
  s.preservationMode = Code(m_ctl, idc::PreservationMode, -1);
  s.channel = static_cast<std::uint8_t>(Code(m_ctl, idc::Channel, 0));
  SendAndShow(BuildStorageFrame(static_cast<StorageAction>(action), s));
}

void CVarnelDlg::SendQuery(std::uint8_t query) { SendAndShow(BuildCardQuery(query)); }

void CVarnelDlg::Format() {
  const Frame frame = BuildFormatFrame();
  Send(frame);
  m_ctl.SetWindowText(idc::FormatStatus, "格式化中……");
  UpdateData(false);
  ShowSentFrame(frame);
  // Replaces the running timer, at the period 1161 shows now; a period the
  // window refused leaves polling at the period it had.
  if (UpdateData(true)) StartPolling();
}

// ---- OSD --------------------------------------------------------------------

void CVarnelDlg::SendOsd() {
  if (!UpdateData(true)) return;
  OsdSettings s;
  for (const OsdCheck& check : OsdChecks()) {
    if (!m_v.Osd(check.id)) continue;
    (check.input ? s.inputFlags : s.displayFlags) |= check.flag;
  }
  const int core = m_ctl.GetCurSel(idc::Core);
  s.coreCode = static_cast<std::uint8_t>(Code(m_ctl, idc::Core, kCoreNone));
  if (core >= 1 && core <= 6) {
    m_ctl.EnableWindow(idc::VideoFormat1, false);
    m_ctl.EnableWindow(idc::VideoFormat2, true);
  }
  s.year = m_v.m_nYear;
  s.month = m_v.m_nMonth;
  s.day = m_v.m_nDay;
  s.hour = m_v.m_nHour;
  s.minute = m_v.m_nMinute;
  s.second = m_v.m_nSecond;
  s.heading = m_v.m_fHeading;
  s.pitching = m_v.m_fPitching;
  s.roll = m_v.m_fRoll;
  s.gpsN = m_v.m_dGpsN;
  s.gpsE = m_v.m_dGpsE;
  s.gpsH = m_v.m_fGpsH;
  SendAndShow(BuildOsdFrame(s));
}

// ---- manual instructions ----------------------------------------------------

void CVarnelDlg::ManualInput() {
  if (!UpdateData(true)) return;
  const std::optional<Frame> frame = ParseManualInstruction(m_v.m_strManual);
  if (!frame) {
    if (!m_inMessage) MessageBox(kInstructionError);
    return;
  }
  Send(*frame);
  m_v.m_strSentFrame = FormatManualFrame(*frame);
  UpdateData(false);
}

// ---- polling and replies ----------------------------------------------------

void CVarnelDlg::OnPollSerial() {
  m_tickFocus = -1;
  Commit(Origin::Poll);
  m_exchange.trustRead = true;  // what the commit read is what the controls hold: no need to ask again
  WriteBack(Origin::Poll);
  std::memset(m_recv, 0, sizeof m_recv);
  const int n = m_line.Read(m_recv, kRecvBufferSize);
  for (const LogLine& line : ReceivedLines(m_recv, static_cast<std::size_t>(n > 0 ? n : 0)))
    m_ctl.AddLogLine(idc::RecvLog, line);
  if (m_v.m_bShowRecvTime) m_ctl.AddLogLine(idc::RecvLog, TextLine(FormatTimeStamp(GetLocalTime())));
  if (n == static_cast<int>(kReplySize)) DecodeReply(m_recv);
  // Nothing can be written while the line is gone: the status line must not
  // say it is open (the operator may have no terminal to read "went away").
  if (m_line.FoundGone(NotOpenedStatus(m_nComPort))) {
    m_bPortOpen = false;
    SetStatus(NotOpenedStatus(m_nComPort));
  }
  if (m_line.Connecting() && m_line.LookAtConnection() != PanelLine::Outcome::kPending) {
    m_bPortOpen = m_line.Port().IsOpen();
    m_line.SayNotices();
    ShowOpenResult(0);
    WarnNotOpened();
    m_line.SendHeld();
  }
  if (m_line.Watching()) WatchForReturn();
  ShowWaiting();
  ++m_pollsSincePaint;
  WriteBack(Origin::Poll);
  m_tickFocus = -1;  // outside a tick the focus is asked afresh
}

void CVarnelDlg::DecodeReply(const std::uint8_t* frame) {
  const std::optional<Reply> reply = UnpackReply(frame);
  if (!reply) return;
  const DecodedReply text = DescribeReply(*reply);
  for (const std::string& field : text.fieldWrites) {
    m_ctl.SetWindowText(idc::FormatStatus, field);
    WriteBack(Origin::Poll);  // decoded only inside a poll: keep the operator's typing
  }
  m_ctl.AddLogLine(idc::RecvLog, TextLine(text.line));
  if (m_news) m_news("reply", text.line);
}
