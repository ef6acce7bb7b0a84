#include "app/dialog.h"

#include "app/session_log.h"

#include <cstring>

#include "app/panel/control_ids.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "protocol/reply.h"
#include "receive/recv_log.h"
#include "serial/port_settings.h"

std::atomic<CVarnelDlg*> g_pMainDlg{nullptr};
int g_ZoomLevel = 1;
int g_ZoomProtocol = 1;
int g_TempCompCoeff = 0;

void PollTimerProc(unsigned, unsigned, std::uintptr_t, std::uintptr_t, std::uintptr_t) {
  // Runs on the timer thread: test the flag, post, nothing else.
  if (g_PollPaused.load(std::memory_order_relaxed)) return;
  if (CVarnelDlg* dlg = g_pMainDlg.load(std::memory_order_acquire)) dlg->Host().PostDialogMessage(WM_POLL_SERIAL);
}

CVarnelDlg::CVarnelDlg(IControls& controls, IDialogHost& host, CComBase& port)
    : m_ctl(controls), m_host(host), m_port(port) {
  m_bTracking = 0;
}

CVarnelDlg::~CVarnelDlg() {
  m_Timer.Stop();
  CVarnelDlg* self = this;
  g_pMainDlg.compare_exchange_strong(self, nullptr);
}

// ---- data exchange ----------------------------------------------------------

bool CVarnelDlg::UpdateData(bool save) {
  if (save) return Commit(Origin::Handler);
  WriteBack(Origin::Handler);
  return true;
}

void CVarnelDlg::ReportFailure(const DxFailure& failure) {
  m_inMessage = true;
  m_host.MessageBox(failure.message);
  m_inMessage = false;
  m_ctl.SetFocus(failure.id);
}

bool CVarnelDlg::Commit(Origin origin) {
  DxFailure failure;
  if (DoDataExchange(m_ctl, m_v, true, &failure)) {
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
  if (!m_inMessage && m_ctl.GetFocus() != failure.id && key != m_lastPollFailure) {
    m_lastPollFailure = key;
    ReportFailure(failure);
  }
  return false;
}

void CVarnelDlg::WriteBack(Origin origin) {
  if (origin == Origin::Handler) {
    DoDataExchange(m_ctl, m_v, false);
    return;
  }
  // A tick does not rewrite the control being typed into, nor one whose text
  // failed this tick's commit: the operator's typing is never taken away.
  std::set<int> skip;
  if (m_pollFailedId) skip.insert(m_pollFailedId);
  if (const int focus = m_ctl.GetFocus()) skip.insert(focus);
  DoDataExchange(m_ctl, m_v, false, nullptr, &skip);
}

// ---- start-up ---------------------------------------------------------------

bool CVarnelDlg::OnInitDialog() {
  // The framework's part: lists are filled by the control layer; the first
  // transfer into the controls also sets the slider ranges.
  UpdateData(false);
  g_pMainDlg.store(this, std::memory_order_release);

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
  m_nDataBits = 8;
  m_nStopBits = 1;

  m_ctl.SetPos(idc::ZoomSlider, 1, true);
  m_ctl.SetPos(idc::CoeffSlider, 100, true);
  m_ctl.SetPos(idc::ContrastSlider, 50, true);
  m_ctl.SetPos(idc::BrightnessSlider, 50, true);
  m_nBrightness = 50;
  m_nContrast = 50;

  m_ctl.SetCheck(idc::Visca, 1);
  m_ctl.SetCheck(idc::PrivateZoom, 0);
  g_ZoomProtocol = 1;

  m_ctl.EnableWindow(idc::VideoFormat1, false);
  m_ctl.EnableWindow(idc::VideoFormat2, false);

  m_bPortOpen = m_port.Open(m_strComName, &dcb, nullptr);
  if (m_bPortOpen) {
    m_v.m_strStatus = OpenedStatus(m_nComPort, dcb.BaudRate, m_chParity, m_nDataBits, m_nStopBits);
    UpdateData(false);
  } else {
    m_host.Diagnostic("varnel: cannot open " + m_port.LastErrorText());
    m_host.ShowWarning();
    m_v.m_strStatus = NotOpenedStatus(m_nComPort);
    UpdateData(false);
  }

  m_ctl.ShowWindow(idc::PrepareTest, false);
  UpdateData(true);
  if (StartPolling()) g_PollPaused = 0;
  return true;
}

bool CVarnelDlg::StartPolling() {
  return m_Timer.Start(static_cast<unsigned>(m_v.m_nPollPeriod), 1, reinterpret_cast<std::uintptr_t>(this),
                       PollTimerProc) != 0;
}

void CVarnelDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) m_host.ShowAbout();
}

void CVarnelDlg::OnOK() {
  if (UpdateData(true)) m_host.EndDialog(IDOK);
}

void CVarnelDlg::OnCancel() { m_host.EndDialog(IDCANCEL); }

// ---- port and line settings -------------------------------------------------

void CVarnelDlg::ApplyPortSettings() {
  m_port.Close();
  const PortChoice choice =
      ChoosePortSettings(m_ctl.GetCurSel(idc::ComPort), m_ctl.GetCurSel(idc::Baud), m_ctl.GetCurSel(idc::Parity));
  m_nComPort = choice.comPort;
  if (choice.parityLetter) m_chParity = choice.parityLetter;
  m_nDataBits = 8;
  m_nStopBits = 1;
  m_strComName = ComName(m_nComPort);
  m_bPortOpen = m_port.Open(m_strComName, &choice.dcb, nullptr);
  if (m_bPortOpen) {
    m_v.m_strStatus = OpenedStatus(m_nComPort, choice.dcb.BaudRate, m_chParity, m_nDataBits, m_nStopBits);
    UpdateData(false);
  } else {
    m_v.m_strStatus = NotOpenedStatus(m_nComPort);
    UpdateData(false);
    m_host.Diagnostic("varnel: cannot open " + m_port.LastErrorText());
    m_host.ShowWarning();
  }
}

// ---- transmit path ----------------------------------------------------------

void CVarnelDlg::SendCommand(std::size_t n) { Send(g_SendFrame, n); }
void CVarnelDlg::SendZoomFrame(std::size_t n) { Send(g_ZoomFrame, n); }

void CVarnelDlg::Send(const std::uint8_t* bytes, std::size_t n) {
  const int written = m_port.Write(bytes, static_cast<unsigned>(n));
  if (g_SessionLog && written > 0)
    g_SessionLog->Record(SessionLog::Direction::kSent, bytes, static_cast<std::size_t>(written));
  SayPortNotice();
}

void CVarnelDlg::SayPortNotice() {
  const std::string notice = m_port.TakeNotice();
  if (!notice.empty()) m_host.Diagnostic("varnel: " + notice);
}

void CVarnelDlg::SendAndShow(std::size_t n) {
  SendCommand(n);
  ShowSentFrame(n);
}

void CVarnelDlg::ShowSentFrame(std::size_t n) {
  m_v.m_strSentFrame = FormatSentFrame(g_SendFrame, n);
  UpdateData(false);
}

void CVarnelDlg::ShowZoomFrame() {
  m_v.m_strSentFrame = FormatSentFrame(g_ZoomFrame, kZoomFrameSize);
  UpdateData(false);
}

void CVarnelDlg::ShowManualFrame(std::size_t n) {
  m_v.m_strSentFrame = FormatManualFrame(g_SendFrame, n);
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
      UpdateData(true);
      m_bTracking = 0;
      BuildCancelFrame(g_SendFrame);
      SendAndShow(48);
      break;
    case idc::TemplateOk:
      // No commit first: the echo's refresh puts back the last committed values.
      BuildTemplateFrame(g_SendFrame, TemplateCode(m_ctl.GetCurSel(idc::Template)));
      SendAndShow(48);
      break;

    case idc::Visca:
      m_ctl.SetCheck(idc::Visca, 1);
      m_ctl.SetCheck(idc::PrivateZoom, 0);
      g_ZoomProtocol = 1;
      break;
    case idc::PrivateZoom:
      m_ctl.SetCheck(idc::PrivateZoom, 1);
      m_ctl.SetCheck(idc::Visca, 0);
      g_ZoomProtocol = 0;
      break;
    case idc::ZoomNarrow: ZoomStep(-1); break;
    case idc::ZoomEnlarge: ZoomStep(1); break;

    case idc::Frozen:
    case idc::Thaw:
      UpdateData(true);
      BuildFreezeFrame(g_SendFrame, id == idc::Frozen);
      SendAndShow(48);
      break;
    case idc::ChannelOk: SendThermal(false); break;
    case idc::AlarmOk: SendThermal(true); break;
    case idc::Shutter:
      UpdateData(true);
      BuildShutterFrame(g_SendFrame);
      SendAndShow(48);
      break;
    case idc::Enhance:
      UpdateData(true);
      BuildEnhanceFrame(g_SendFrame, m_v.m_bImageEnhance);
      SendAndShow(48);
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

    case idc::CoeffNarrow: StepValue(g_TempCompCoeff, 200, -1, idc::CoeffText, idc::CoeffSlider); break;
    case idc::CoeffEnlarge: StepValue(g_TempCompCoeff, 200, 1, idc::CoeffText, idc::CoeffSlider); break;
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
    case idc::Defog: {
      UpdateData(true);
      const std::size_t n = BuildDefog(g_SendFrame, m_ctl.GetCurSel(idc::Defog));
      SendAndShow(n);
      break;
    }
    case idc::VideoFormat2: {
      UpdateData(true);
      // With no selection there is no format code; sending a guessed one to
      // the camera would be unsafe, so nothing goes out.
      const std::optional<std::uint8_t> code = VideoFormatCode(m_ctl.GetCurSel(idc::VideoFormat2));
      if (!code) break;
      const std::size_t n = BuildVideoFormat(g_SendFrame, *code);
      SendAndShow(n);
      break;
    }
    default: break;  // 1147: the OSD command reads it
  }
}

void CVarnelDlg::OnCustomDraw(int id) {
  switch (id) {
    case idc::ZoomSlider: {
      UpdateData(true);
      g_ZoomLevel = ClampZoom(m_ctl.GetPos(idc::ZoomSlider));
      const bool visca = g_ZoomProtocol == 1;
      if (visca) {
        BuildViscaZoom(g_ZoomFrame, g_ZoomLevel);
        SendZoomFrame(9);
      } else {
        BuildPrivateZoom(g_SendFrame, g_ZoomLevel);
        SendCommand(48);
      }
      ShowSliderValue(idc::ZoomText, g_ZoomLevel, visca);
      break;
    }
    case idc::CoeffSlider:
      UpdateData(true);
      g_TempCompCoeff = m_ctl.GetPos(idc::CoeffSlider);
      BuildTempCoeffFrame(g_SendFrame, g_TempCompCoeff);
      SendCommand(48);
      ShowSliderValue(idc::CoeffText, g_TempCompCoeff, false);
      break;
    case idc::ContrastSlider:
    case idc::BrightnessSlider: {
      UpdateData(true);
      const bool contrast = id == idc::ContrastSlider;
      int& value = contrast ? m_nContrast : m_nBrightness;
      value = m_ctl.GetPos(id);
      BuildContrastBrightnessFrame(g_SendFrame, m_nContrast, m_nBrightness);
      SendCommand(48);
      ShowSliderValue(contrast ? idc::ContrastText : idc::BrightnessText, value, false);
      break;
    }
    default: break;
  }
}

void CVarnelDlg::ShowSliderValue(int edit, int value, bool zoomFrame) {
  m_ctl.SetWindowText(edit, std::to_string(value));
  UpdateData(true);
  if (zoomFrame) ShowZoomFrame();
  else ShowSentFrame(48);
}

void CVarnelDlg::OnMessage(unsigned message) {
  if (message == WM_POLL_SERIAL) OnPollSerial();
}

// ---- tracking and motion ----------------------------------------------------

void CVarnelDlg::Move(int dx, int dy) {
  UpdateData(true);
  if (dx) m_v.m_nOffsetX = dx * m_v.m_nStep;
  if (dy) m_v.m_nOffsetY = dy * m_v.m_nStep;
  BuildMoveFrame(g_SendFrame, ControlModeCode(m_ctl.GetCurSel(idc::ControlMode)), dx ? m_v.m_nOffsetX : 0,
                 dy ? m_v.m_nOffsetY : 0, m_bTracking);
  SendAndShow(48);
}

void CVarnelDlg::Track(std::uint8_t state) {
  UpdateData(true);
  m_bTracking = state;
  BuildTrackFrame(g_SendFrame, state, TemplateCode(m_ctl.GetCurSel(idc::Template)));
  SendAndShow(48);
}

// ---- zoom and the adjustment sliders ------------------------------------------

void CVarnelDlg::ZoomStep(int d) {
  UpdateData(true);
  g_ZoomLevel = ClampZoom(g_ZoomLevel + d);
  m_ctl.SetWindowText(idc::ZoomText, std::to_string(g_ZoomLevel));
  m_ctl.SetPos(idc::ZoomSlider, g_ZoomLevel, true);  // the repaint sends
}

void CVarnelDlg::StepValue(int& value, int upper, int d, int edit, int slider) {
  UpdateData(true);
  value += d;
  if (value < 0) value = 0;
  if (value > upper) value = upper;
  m_ctl.SetWindowText(edit, std::to_string(value));
  m_ctl.SetPos(slider, value, true);  // the repaint sends
}

// ---- imaging ----------------------------------------------------------------

void CVarnelDlg::SendThermal(bool withCompensation) {
  UpdateData(true);
  ThermalSettings s;
  s.pseudoColor = m_v.m_bPseudoColor;
  s.alarmTemp = m_v.m_nAlarmTemp;
  s.tempBar = m_v.m_bTempBar;
  s.channelSelection = m_ctl.GetCurSel(idc::Channel);
  s.highAlarm = m_v.m_bHighTempAlarm;
  s.lowAlarm = m_v.m_bLowTempAlarm;
  s.withCompensation = withCompensation;
  s.compTemp = m_v.m_fCompTemp;
  s.compTempOn = m_v.m_bCompTemp;
  BuildThermalFrame(g_SendFrame, s);
  SendAndShow(48);
}

void CVarnelDlg::SendStabilizer() {
  UpdateData(true);
  const std::size_t n = BuildStabilizer(g_SendFrame, m_ctl.GetCurSel(idc::Steady));
  SendAndShow(n);
}

// ---- storage and SD card ----------------------------------------------------

void CVarnelDlg::SendStorage(std::uint8_t action) {
  UpdateData(true);
  if (action == kStorageStart) {
    if (m_v.m_nVideoLength > 65536 || m_v.m_nVideoLength < 1) return;
    UpdateData(true);
  }
  StorageSettings s;
  s.interlaced = m_v.m_bInterlaced;
  s.network = m_v.m_bNetwork;
  s.videoLength = m_v.m_nVideoLength;
  s.preservation = m_ctl.GetCurSel(idc::Preservation);
  s.preservationMode = m_ctl.GetCurSel(idc::PreservationMode);
  s.channelSelection = m_ctl.GetCurSel(idc::Channel);
  BuildStorageFrame(g_SendFrame, static_cast<StorageAction>(action), s);
  SendAndShow(48);
}

void CVarnelDlg::SendQuery(std::uint8_t query) {
  BuildCardQuery(g_SendFrame, query);
  SendAndShow(48);
}

void CVarnelDlg::Format() {
  BuildFormatFrame(g_SendFrame);
  SendCommand(48);
  m_ctl.SetWindowText(idc::FormatStatus, "格式化中……");
  UpdateData(false);
  ShowSentFrame(48);
  g_PollPaused = 0;
  UpdateData(true);
  StartPolling();  // replaces the running timer, at the period 1161 shows now
}

// ---- OSD --------------------------------------------------------------------

void CVarnelDlg::SendOsd() {
  UpdateData(true);
  OsdSettings s;
  unsigned display = 0;
  for (int id = 1130; id <= 1137; ++id) display += static_cast<unsigned>(m_v.Osd(id)) << (id - 1130);
  s.displayFlags = static_cast<std::uint8_t>(display);
  const int core = m_ctl.GetCurSel(idc::Core);
  s.coreSelection = core;
  if (core >= 1 && core <= 6) {
    m_ctl.EnableWindow(idc::VideoFormat1, false);
    m_ctl.EnableWindow(idc::VideoFormat2, true);
  }
  s.inputFlags = OsdInputFlags(m_v.Osd(1138), m_v.Osd(1144), m_v.Osd(1139), m_v.Osd(1140), m_v.Osd(1141),
                               m_v.Osd(1142), m_v.Osd(1143), m_v.Osd(1145));
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
  BuildOsdFrame(g_SendFrame, s);
  SendAndShow(48);
}

// ---- manual instructions ----------------------------------------------------

void CVarnelDlg::ManualInput() {
  UpdateData(true);
  const int n = ParseManualInstruction(m_v.m_strManual, g_SendFrame);
  if (n < 0) {
    if (!m_inMessage) {
      m_inMessage = true;
      m_host.MessageBox(kInstructionError);
      m_inMessage = false;
    }
    return;
  }
  SendCommand(static_cast<std::size_t>(n));
  ShowManualFrame(static_cast<std::size_t>(n));
}

// ---- polling and replies ----------------------------------------------------

void CVarnelDlg::OnPollSerial() {
  Commit(Origin::Poll);
  WriteBack(Origin::Poll);
  if (!g_PollPaused) {
    std::memset(g_RecvBuffer, 0, sizeof g_RecvBuffer);
    const int n = m_port.Read(g_RecvBuffer, kRecvBufferSize);
    SayPortNotice();
    if (g_SessionLog && n > 0)
      g_SessionLog->Record(SessionLog::Direction::kReceived, g_RecvBuffer, static_cast<std::size_t>(n));
    for (const std::string& line : ReceivedLines(g_RecvBuffer, static_cast<std::size_t>(n > 0 ? n : 0)))
      m_ctl.AddString(idc::RecvLog, line);
    if (m_v.m_bShowRecvTime) m_ctl.AddString(idc::RecvLog, FormatTimeStamp(GetLocalTime()));
    if (n == static_cast<int>(kReplySize)) DecodeReply(g_RecvBuffer);
  }
  WriteBack(Origin::Poll);
}

void CVarnelDlg::DecodeReply(const std::uint8_t* frame) {
  const std::optional<DecodedReply> reply = DecodeReplyFrame(frame);
  if (!reply) return;
  for (const std::string& text : reply->fieldWrites) {
    m_ctl.SetWindowText(idc::FormatStatus, text);
    WriteBack(Origin::Poll);  // decoded only inside a poll: keep the operator's typing
  }
  m_ctl.AddString(idc::RecvLog, reply->line);
}
