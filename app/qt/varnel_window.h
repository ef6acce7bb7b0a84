// The real main window: builds every control from the control table, routes
// the widgets' signals to the dialog's handlers and behaves as a dialog at
// the keyboard (Enter on a button presses it, elsewhere commits the values or,
// in the manual instruction, sends it; Escape leaves the panel alone).
#pragma once

#include <QDialog>
#include <QEvent>
#include <functional>
#include <memory>

#include "app/dialog.h"
#include "app/host.h"
#include "app/qt/dialogs.h"
#include "app/qt/qt_controls.h"

// A message posted to the window's thread (WM_POLL_SERIAL and the like).
class DialogMessageEvent : public QEvent {
 public:
  static QEvent::Type Kind();
  explicit DialogMessageEvent(unsigned message) : QEvent(Kind()), m_message(message) {}
  unsigned message() const { return m_message; }

 private:
  unsigned m_message;
};

class VarnelWindow : public QDialog, public IDialogHost {
  Q_OBJECT
 public:
  explicit VarnelWindow(CComBase& port, SessionLog* log = nullptr, QWidget* parent = nullptr);
  ~VarnelWindow() override;

  void Init();  // the dialog's start-up, before the window is first shown

  CVarnelDlg& dialog() { return *m_dlg; }
  CVarnelDlg* dialogIfAny() { return m_dlg.get(); }  // null before the window opens and after it closed
  QtControls& controls() { return m_controls; }
  WarningDialog* warning() const { return m_warning; }
  const DialogUnits& units() const { return m_units; }
  // Called with the text of every message box and Warning that appears.
  void setMessageObserver(std::function<void(const std::string&)> observer) { m_observer = std::move(observer); }
  void setQuietDiagnostics(bool quiet) { m_quiet = quiet; }
  // A PNG of the window as it is now; drawing it sends nothing to the device.
  bool WritePicture(const std::string& path, std::string& why);

  // IDialogHost
  void MessageBox(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowAbout() override;
  void PostDialogMessage(unsigned message) override;
  void EndDialog(int result) override;
  void Diagnostic(const std::string& line) override;
  void ShowWaiting(const std::string& what) override;
  std::optional<std::string> AskPadAction(const std::string& question, const std::vector<std::string>& choices) override;

  void reject() override;  // the close box ends without validation

 protected:
  void customEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Build();

  QFont m_font;
  DialogUnits m_units;
  QtControls m_controls;
  WarningDialog* m_warning = nullptr;
  std::string m_warningText = kWarningText;
  std::function<void(const std::string&)> m_observer;
  bool m_quiet = false;
  bool m_ending = false;
  CComBase* m_port = nullptr;
  std::unique_ptr<CVarnelDlg> m_dlg;
};
