// The main window without widgets: the in-memory controls, a host that
// records what the operator would see, and COM1 on a fresh pseudo-terminal.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialog.h"
#include "app/panel/control_table.h"
#include "app/panel/mem_controls.h"
#include "test_pty.h"
#include "serial/port_map.h"

class FakeHost : public IDialogHost {
 public:
  void MessageBox(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage();
  }
  void ShowWarning(const std::string& text) override {
    ++warnings;
    warningTexts.push_back(text);
  }
  void ShowAbout() override { ++abouts; }
  void PostDialogMessage(unsigned message) override {
    std::lock_guard lock(mutex);
    posted.push_back(message);
  }
  void EndDialog(int r) override { result = r; }
  void Diagnostic(const std::string& line) override { diagnostics.push_back(line); }
  void ShowWaiting(const std::string& what) override { waiting = what; }
  std::string waiting;

  std::size_t TakePosted() {
    std::lock_guard lock(mutex);
    const std::size_t n = posted.size();
    posted.clear();
    return n;
  }

  std::vector<std::string> messages, diagnostics, warningTexts;
  std::function<void()> onMessage;  // runs while the "box" is open
  int warnings = 0, abouts = 0, result = 0;
  std::mutex mutex;
  std::deque<unsigned> posted;
};

struct Panel {
  explicit Panel(bool withCom1 = true, bool init = true) {
    map.Map("COM1", withCom1 ? pty.path() : std::string(kMissingPort));
    dlg = std::make_unique<CVarnelDlg>(c, host, port);
    if (init) {
      dlg->OnInitDialog();
      dlg->Timer().Stop();  // ticks are delivered by the test
      Paint();
      pty.Drain(50);        // the sliders' start-up frames
    }
  }
  ~Panel() {
    dlg.reset();
    port.Close();
  }
  // The slider repaints the window would do now.
  void Paint() {
    for (int id : c.TakePendingPaints()) dlg->OnCustomDraw(id);
  }
  void Click(int id) {
    const ControlDef* def = FindControl(id);
    if (def && def->kind == ControlKind::Check) c.SetCheck(id, !c.GetCheck(id));  // the box toggles first
    if (def && def->kind == ControlKind::Radio) c.SetCheck(id, 1);
    dlg->OnClicked(id);
    Paint();
  }
  void Select(int id, int index) {
    c.SetCurSel(id, index);
    dlg->OnSelChange(id);
  }
  std::vector<std::uint8_t> Wire(std::size_t n) { return pty.Receive(n); }
  std::vector<std::string> LogLines() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < c.Log().Size(); ++i) out.emplace_back(c.Log().Line(i));
    return out;
  }
  std::string Sent() const { return c.GetWindowText(idc::SentFrame); }

  TestPty pty;
  MemControls c;
  FakeHost host;
  PortMap map;
  CComSync port{&map};
  std::unique_ptr<CVarnelDlg> dlg;
};
