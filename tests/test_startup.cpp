// Start-up, the port settings of the "I/O" group, and how the window ends.
#include <gtest/gtest.h>

#include "bytes.h"
#include "literal_frames.h"
#include "app/boxes.h"
#include "panel.h"
#include "serial/port_settings.h"
#include "protocol/frame.h"
#include "receive/recv_log.h"

TEST(Startup, EveryControlTheStartUpSets) {
  Panel p;
  const std::pair<int, int> selections[] = {
      {idc::ComPort, 0}, {idc::Baud, 3},     {idc::Parity, 2},       {idc::Channel, 0},
      {idc::Template, 0}, {idc::Defog, 0},   {idc::Steady, 0},       {idc::ControlMode, 0},
      {idc::Preservation, 0}, {idc::PreservationMode, 0}, {idc::Core, 0}, {idc::VideoFormat1, -1},
      {idc::VideoFormat2, -1}, {idc::RecvLog, -1},
  };
  for (const auto& [id, sel] : selections) EXPECT_EQ(p.c.GetCurSel(id), sel) << id;
  EXPECT_EQ(p.c.GetWindowText(idc::Baud), "57600");
  EXPECT_EQ(p.c.GetWindowText(idc::Parity), "EVENPARITY");
  EXPECT_EQ(p.c.GetWindowText(idc::Template), "Adaptive template");
  EXPECT_EQ(p.c.GetPos(idc::ZoomSlider), 1);
  EXPECT_EQ(p.c.GetPos(idc::CoeffSlider), 100);
  EXPECT_EQ(p.c.GetPos(idc::ContrastSlider), 50);
  EXPECT_EQ(p.c.GetPos(idc::BrightnessSlider), 50);
  EXPECT_EQ(p.c.GetCheck(idc::Visca), 1);
  EXPECT_EQ(p.c.GetCheck(idc::PrivateZoom), 0);
  EXPECT_FALSE(p.c.IsWindowEnabled(idc::VideoFormat1));
  EXPECT_FALSE(p.c.IsWindowEnabled(idc::VideoFormat2));
  EXPECT_FALSE(p.c.IsWindowVisible(idc::PrepareTest));
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 OPENED，57600,E,8,1");
  EXPECT_EQ(p.host.warnings, 0);
  EXPECT_EQ(p.dlg->m_nComPort, 1);
  EXPECT_EQ(p.dlg->m_strComName, "COM1");
  EXPECT_EQ(p.dlg->Values().m_nPollPeriod, 160);
  EXPECT_EQ(p.dlg->Values().m_dGpsN, 41.7066043096186);  // committed from its text
  EXPECT_EQ(p.c.GetWindowText(idc::CoeffText), "100");    // written by the slider's first paint
}

TEST(Startup, TheLineIsSetUpAsAskedAndPollingRuns) {
  Panel p(true, false);
  p.dlg->OnInitDialog();
  EXPECT_TRUE(p.dlg->Timer().IsRunning());
  EXPECT_EQ(p.dlg->Timer().Period(), 160u);
  EXPECT_EQ(DeviceBaud(p.port.NativeHandle()), 57600u);
}

TEST(Startup, WithoutCom1TheWarningShowsOnceAndTheWindowWorks) {
  Panel p(false);
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 NOT OPENED");
  EXPECT_EQ(p.host.warnings, 1);
  ASSERT_EQ(p.host.diagnostics.size(), 1u);
  EXPECT_NE(p.host.diagnostics[0].find(kMissingPort), std::string::npos);
  EXPECT_NE(p.host.diagnostics[0].find(kMissingReason), std::string::npos);
  // Commands still build and echo; nothing is written, nothing is said.
  p.Click(idc::CancelTracking);
  const std::vector<std::uint8_t> cancel = Literal("cancel tracking");
  EXPECT_EQ(p.Sent(), FormatSentFrame(Frame(cancel.data(), cancel.size())));
  EXPECT_EQ(p.host.warnings, 1);
  EXPECT_TRUE(p.host.messages.empty());
}

// The Warning names the true reason: "not found" only for a port that is not
// there; a line another program holds says so (the operator would otherwise
// look for a port that is plugged in).
TEST(Startup, TheWarningSaysWhyThePortCouldNotBeOpened) {
  Panel missing(false);
  EXPECT_EQ(missing.host.warningTexts, std::vector<std::string>{"This serial port is not found!"});
  for (const auto& [error, text] : std::vector<std::pair<SerialError, std::string>>{
           {SerialError::PermissionDenied, "Access to this serial port is denied!"},
           {SerialError::Resource, "This serial port does not answer!"},
           {SerialError::UnsupportedSettings, "This serial port refused the line settings!"},
           {SerialError::DeviceNotFound, "This serial port is not found!"}})
    EXPECT_EQ(WarningText(error), text);

  TestPty line;
  PortMap held;
  held.Map("COM1", line.path());
  CComSync other(&held);  // another program holds the line
  const comm::DCB dcb = StartupDcb();
  ASSERT_EQ(other.Open("COM1", &dcb, nullptr), 1);
  CComSync probe(&held);
  if (probe.Open("COM1", &dcb, nullptr)) {
    GTEST_SKIP() << "this system lets a second program open a held line (Wine's serial layer does not enforce "
                    "Windows' exclusive open)";
  }
  Panel p(true, false);
  p.map.Map("COM1", line.path());
  p.dlg->OnInitDialog();
  p.dlg->Timer().Stop();
  EXPECT_EQ(p.host.warningTexts, std::vector<std::string>{"This serial port is in use by another program!"});
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 NOT OPENED");
  ASSERT_EQ(p.host.diagnostics.size(), 1u);
  EXPECT_NE(p.host.diagnostics[0].find("held by another program"), std::string::npos) << p.host.diagnostics[0];
}

TEST(PortSettings, AnotherPortClosesTheOpenOneFirstEvenWhenItFails) {
  Panel p;
  TestPty second;
  for (const char* com : {"COM2", "COM3", "COM5"}) p.map.Map(com, kMissingPort);
  ASSERT_TRUE(p.port.IsOpen());
  p.Select(idc::ComPort, 1);  // COM2 is not there
  EXPECT_FALSE(p.port.IsOpen());
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM2 NOT OPENED");
  EXPECT_EQ(p.host.warnings, 1);
  // COM1 is free again: another program could take it now.
  CComSync other;
  EXPECT_EQ(other.Open(p.pty.path(), nullptr, nullptr), 1);
  other.Close();
  p.map.Map("COM2", second.path());
  p.Select(idc::ComPort, 1);
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM2 OPENED，57600,E,8,1");
  EXPECT_EQ(p.host.warnings, 1);
  p.Select(idc::ComPort, 2);
  p.Select(idc::ComPort, 4);
  EXPECT_EQ(p.host.warnings, 3);  // once for each failed attempt
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM5 NOT OPENED");
}

TEST(PortSettings, BaudAndParityChangeOnlyTheirPartOfTheStatus) {
  Panel p;
  p.Select(idc::Baud, 4);
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 OPENED，115200,E,8,1");
  EXPECT_EQ(DeviceBaud(p.port.NativeHandle()), 115200u);
  p.Select(idc::Parity, 3);
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 OPENED，115200,M,8,1");
  p.Select(idc::Parity, 0);
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 OPENED，115200,N,8,1");
  // The reopened port carries traffic.
  p.Click(idc::QueryState);
  EXPECT_EQ(p.Wire(48), Literal("query state"));
}

TEST(PortSettings, NoBaudSelectedIsRefusedWithoutTouchingTheLine) {
  Panel p;
  p.c.Type(idc::Baud, "56000");  // typed, no entry: no selection
  p.dlg->OnSelChange(idc::Baud);
  EXPECT_FALSE(p.port.IsOpen());
  EXPECT_EQ(p.c.GetWindowText(idc::Status), "STATUS：COM1 NOT OPENED");
  EXPECT_EQ(p.host.warnings, 1);
}

TEST(PortSettings, ReopeningKeepsTypedButUncommittedValues) {
  Panel p;
  p.c.Type(idc::Step, "42");
  p.Select(idc::Baud, 0);
  EXPECT_EQ(p.c.GetWindowText(idc::Step), "42");
}

// No key throws the session away: Enter commits (or, in the manual
// instruction, sends it) and Escape does nothing; only closing the window ends it.
TEST(Ending, EnterAndEscapeKeepThePanelOnlyTheCloseBoxEndsIt) {
  Panel p;
  p.c.Type(idc::Year, "2100");
  p.c.SetFocus(idc::Year);
  p.dlg->OnOK();
  EXPECT_EQ(p.host.result, 0);  // still running
  ASSERT_EQ(p.host.messages.size(), 1u);
  EXPECT_NE(p.host.messages[0].find("between 2017 and 2099"), std::string::npos);
  EXPECT_EQ(p.c.GetFocus(), idc::Year);
  p.c.Type(idc::Year, "2099");
  p.dlg->OnOK();
  EXPECT_EQ(p.host.result, 0);
  EXPECT_EQ(p.dlg->Values().m_nYear, 2099);  // committed
  EXPECT_EQ(p.pty.Drain(30).size(), 0u);      // and nothing sent
  // Enter in the manual instruction presses "Manual input".
  p.c.Type(idc::ManualText, "7E 7E 44");
  p.c.SetFocus(idc::ManualText);
  p.dlg->OnOK();
  EXPECT_EQ(p.Wire(3), Hex("7E 7E 44"));
  EXPECT_EQ(p.Sent(), "7e-7e-44");
  p.c.Type(idc::ManualText, "7G");
  p.dlg->OnOK();
  EXPECT_EQ(p.host.messages.back(), "Input instruction error");
  EXPECT_EQ(p.host.result, 0);
  p.c.Type(idc::Year, "2100");
  p.dlg->OnCancel();  // Escape
  EXPECT_EQ(p.host.result, 0);
  p.dlg->OnClose();  // the close box, with a wrong value still typed
  EXPECT_EQ(p.host.result, IDCANCEL);
}

TEST(Ending, TheAboutItemAndOtherSystemCommands) {
  Panel p;
  p.dlg->OnSysCommand(IDM_ABOUTBOX);
  p.dlg->OnSysCommand(IDM_ABOUTBOX | 0x3);
  p.dlg->OnSysCommand(0xF060);  // close, handled by the window manager
  EXPECT_EQ(p.host.abouts, 2);
}

TEST(Ending, DestroyingTheWindowStopsItsTimer) {
  const int periods = mm::OutstandingTimerPeriods();
  {
    Panel p(true, false);
    p.dlg->OnInitDialog();
    EXPECT_EQ(mm::OutstandingTimerPeriods(), periods + 1);
  }
  EXPECT_EQ(mm::OutstandingTimerPeriods(), periods);
  EXPECT_EQ(mm::LiveTimerEvents(), 0);
}
