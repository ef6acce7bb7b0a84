// The main window's behaviour: start-up, every control's handler, the poll
// and the reply decoding. Written against the control layer, so the same code
// drives the real window and the in-memory one.
#pragma once

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "app/host.h"
#include "app/panel/controls.h"
#include "app/panel/data_exchange.h"
#include "receive/mm_timer.h"
#include "serial/com_base.h"

class CVarnelDlg;
class SessionLog;

// Process-wide values the handlers share.
extern std::atomic<CVarnelDlg*> g_pMainDlg;  // read by the timer thread
extern int g_ZoomLevel;                      // 1..30
extern int g_ZoomProtocol;                   // 1 = VISCA, 0 = private protocol
extern int g_TempCompCoeff;                  // 0..200

void PollTimerProc(unsigned id, unsigned msg, std::uintptr_t user, std::uintptr_t dw1, std::uintptr_t dw2);

class CVarnelDlg {
 public:
  CVarnelDlg(IControls& controls, IDialogHost& host, CComBase& port = g_ComPort);
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
  void OnOK();      // Enter outside a push button
  void OnCancel();  // Escape, the close box

  bool UpdateData(bool saveAndValidate = true);

  // The transmit path.
  void SendCommand(std::size_t n);
  void SendZoomFrame(std::size_t n);
  void Send(const std::uint8_t* bytes, std::size_t n);  // and says on the terminal when the device stalls
  void ShowSentFrame(std::size_t n);
  void SendAndShow(std::size_t n);  // SendCommand then ShowSentFrame
  void ShowZoomFrame();
  void ShowManualFrame(std::size_t n);
  void DecodeReply(const std::uint8_t* frame);
  void ApplyPortSettings();

  BoundValues& Values() { return m_v; }
  CMMTimer& Timer() { return m_Timer; }
  IDialogHost& Host() { return m_host; }
  int m_nComPort = 0;
  std::string m_strComName;
  char m_chParity = 0;
  int m_nDataBits = 0;
  int m_nStopBits = 0;
  int m_bPortOpen = 0;
  int m_nContrast = 50;
  int m_nBrightness = 50;
  std::uint8_t m_bTracking = 0;

 private:
  enum class Origin { Handler, Poll };
  bool Commit(Origin origin);
  void WriteBack(Origin origin);
  void ReportFailure(const DxFailure& failure);
  bool StartPolling();

  void Move(int dx, int dy);
  void Track(std::uint8_t state);
  void ZoomStep(int d);
  void StepValue(int& value, int upper, int d, int edit, int slider);
  void ShowSliderValue(int edit, int value, bool zoomFrame);
  void SendThermal(bool withCompensation);
  void SendStorage(std::uint8_t action);
  void SendQuery(std::uint8_t query);
  void Format();
  void SendOsd();
  void SendStabilizer();
  void ManualInput();
  void SayPortNotice();  // the port's news for the terminal, once each

  IControls& m_ctl;
  IDialogHost& m_host;
  CComBase& m_port;
  BoundValues m_v;

  bool m_inMessage = false;                       // a validation or error box is open
  std::pair<int, std::string> m_lastPollFailure;  // reported once while it stays the same
  int m_pollFailedId = 0;                         // not written back during this poll

  CMMTimer m_Timer;  // last: destroyed first, so no tick outlives the dialog
};
