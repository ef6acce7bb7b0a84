// The control layer kept in memory: the whole panel without a window, for
// tests and benchmarks. Slider repaints are queued and delivered by the test
// (a real window paints on its own schedule).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/panel/controls.h"
#include "receive/log_store.h"

class MemControls : public IControls {
 public:
  MemControls();  // every control of the panel, lists filled

  bool Exists(int id) const override { return m_controls.count(id) != 0; }
  std::string GetWindowText(int id) const override;
  void SetWindowText(int id, const std::string& text) override;
  int GetCheck(int id) const override { return At(id).check; }
  void SetCheck(int id, int state) override { At(id).check = state ? 1 : 0; }
  int GetCurSel(int id) const override;
  void SetCurSel(int id, int index) override;
  int GetCount(int id) const override;
  std::string GetLBText(int id, int index) const override;
  void AddLogLine(int id, const LogLine& line) override;
  void ResetContent(int id) override;
  int GetPos(int id) const override { return At(id).pos; }
  void SetPos(int id, int pos, bool redraw) override;
  void SetRange(int id, int min, int max) override;
  int GetRangeMin(int id) const override { return At(id).min; }
  int GetRangeMax(int id) const override { return At(id).max; }
  void EnableWindow(int id, bool enable) override { At(id).enabled = enable; }
  bool IsWindowEnabled(int id) const override { return At(id).enabled; }
  void SetToolTip(int id, const std::string& text) override { At(id).tip = text; }
  const std::string& ToolTip(int id) const { return At(id).tip; }
  void ShowWindow(int id, bool show) override { At(id).visible = show; }
  bool IsWindowVisible(int id) const override { return At(id).visible; }
  void SetFocus(int id) override { m_focus = id; }
  int GetFocus() const override { return m_focus; }

  // The operator's side: what typing into a control does (a list's edit
  // field loses its selection unless the text is the selected entry).
  void Type(int id, const std::string& text) { SetWindowText(id, text); }
  // Slider repaints asked for since the last call, oldest first.
  std::vector<int> TakePendingPaints();
  int RangeSets(int id) const { return At(id).rangeSets; }
  const LogStore& Log() const { return m_log; }

 private:
  struct State {
    ControlKind kind = ControlKind::Static;
    std::string text;
    int check = 0;
    std::vector<std::string> entries;
    int sel = -1;
    int pos = 0, min = 0, max = 100;
    int rangeSets = 0;
    bool enabled = true, visible = true;
    std::string tip;
  };
  State& At(int id);
  const State& At(int id) const;

  std::map<int, State> m_controls;
  LogStore m_log;  // list 1155
  std::deque<int> m_pendingPaints;
  int m_focus = 0;
};
