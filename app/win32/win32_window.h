// The main window on Win32: a dialog from the in-memory template, run modally
// by the dialog manager, its notifications routed to CVarnelDlg's handlers.
// Also the dialog host: message boxes, the Warning window, the About box.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/dialog.h"
#include "app/host.h"
#include "app/win32/win32_controls.h"

class Win32Window : public IDialogHost {
 public:
  explicit Win32Window(CComBase& port, SessionLog* log = nullptr);
  ~Win32Window() override;

  // Runs the window until it ends; returns IDOK or IDCANCEL.
  int Run();

  void* hwnd() const { return m_hwnd; }
  void* warning() const { return m_warning; }
  // A message box or the About box is open, or closing: only then is one
  // looked for among the thread's windows.
  bool BoxMayBeOpen() const { return m_boxesOpen > 0; }
  // Slider paints whose handlers are still to run (kSliderPainted posted).
  bool PaintsToHandle() const { return m_paintsToHandle > 0; }
  Win32Controls& controls() { return m_controls; }
  CVarnelDlg& dialog() { return *m_dlg; }
  CVarnelDlg* dialogIfAny() { return m_dlg.get(); }  // null before the window opens and after it closed
  // Called with the text of every message box and Warning that appears.
  void SetMessageObserver(std::function<void(const std::string&)> observer) { m_observer = std::move(observer); }
  // Called once, when the window has been shown.
  void SetOnShown(std::function<void()> shown) { m_onShown = std::move(shown); }
  // Called at each request from outside to end (app/end_requests.h).
  void SetOnEndRequest(std::function<void()> end) { m_onEndRequest = std::move(end); }
  // Whether an XInput pad steers (--no-gamepad: none is read).
  void SetReadGamepad(bool read) { m_readGamepad = read; }

  // IDialogHost
  void MessageBox(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowAbout() override;
  void PostDialogMessage(unsigned message) override;
  void EndDialog(int result) override;
  void Diagnostic(const std::string& line) override;
  void ShowWaiting(const std::string& what) override;
  std::optional<std::string> AskPadAction(const std::string& question, const std::vector<std::string>& choices) override;

  // The window's own messages, above WM_POLL_SERIAL's range.
  static constexpr unsigned kSliderPainted = 0x8000 + 1;  // WM_APP + 1; wParam: the slider's id
  static constexpr unsigned kShown = 0x8000 + 2;
  static constexpr unsigned kEndRequest = 0x8000 + 4;  // a console event asked the program to end

  // The dialog procedure's work, once the window is known (WM_INITDIALOG on).
  std::intptr_t Handle(void* hwnd, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  void InitDialog();

  CComBase& m_port;
  SessionLog* m_log;
  void* m_hwnd = nullptr;
  void* m_warning = nullptr;
  std::string m_warningText;
  void* m_icon = nullptr;
  void* m_smallIcon = nullptr;
  Win32Controls m_controls;
  std::unique_ptr<CVarnelDlg> m_dlg;
  std::function<void(const std::string&)> m_observer;
  std::function<void()> m_onShown;
  std::function<void()> m_onEndRequest;
  bool m_readGamepad = true;
  std::unique_ptr<class XInputPad> m_xpad;
  std::unique_ptr<class RawInputPads> m_rawPads;
  void PollGamepad();
  void* m_padNotify = nullptr;  // device arrivals: a look for a pad
  bool m_ending = false;
  int m_boxesOpen = 0;
  int m_paintsToHandle = 0;
};
