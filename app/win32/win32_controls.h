// The control layer over the real Win32 controls of the main dialog, each
// found by its id. The log (1155) is a Win32LogView showing the rows of a
// LogStore, with its edit field (kLogEditId) above it.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "app/panel/controls.h"
#include "app/win32/log_view.h"
#include "receive/log_store.h"

class Win32Controls : public IControls {
 public:
  void Attach(void* dialog);  // the dialog's HWND, once its controls exist
  void* Handle(int id) const;  // the control's HWND, or null
  const LogStore& Log() const { return m_log; }
  // The dialog's message (posted to it) on which the list learns the log's
  // new length, and the work for it.
  static constexpr unsigned kLogGrew = 0x8000 + 3;  // WM_APP + 3
  void ShowLogCount();

  bool Exists(int id) const override;
  std::string GetWindowText(int id) const override;
  void SetWindowText(int id, const std::string& text) override;
  int GetCheck(int id) const override;
  void SetCheck(int id, int state) override;
  int GetCurSel(int id) const override;
  void SetCurSel(int id, int index) override;
  int GetCount(int id) const override;
  std::string GetLBText(int id, int index) const override;
  void AddLogLine(int id, const LogLine& line) override;
  void ResetContent(int id) override;
  int GetPos(int id) const override;
  void SetPos(int id, int pos, bool redraw) override;
  void SetRange(int id, int min, int max) override;
  int GetRangeMin(int id) const override;
  int GetRangeMax(int id) const override;
  void EnableWindow(int id, bool enable) override;
  bool IsWindowEnabled(int id) const override;
  void SetToolTip(int id, const std::string& text) override;
  void ShowWindow(int id, bool show) override;
  bool IsWindowVisible(int id) const override;
  void SetFocus(int id) override;
  int GetFocus() const override;
  // The dialog heard from the control (WM_COMMAND): what it holds may have
  // changed.
  void Changed(int id);
  // A slider's paint sends its frame, so script mode paints, after a line,
  // the sliders it may have changed: any told something since their last
  // paint, or all once a window over the panel may have gone.
  bool TakeMayRepaint(int id);
  void Uncovered();

 private:
  bool IsLog(int id) const;
  void LogCountChanged();

  void* m_dialog = nullptr;
  void* m_shownDefault = nullptr;  // the button SetFocus drew as default last
  void* m_tips = nullptr;  // the controls' tooltips, made with the first
  std::unordered_map<int, void*> m_handles;  // id -> HWND
  std::unordered_map<int, std::pair<int, int>> m_ranges;  // each slider's, as set last
  std::unordered_set<int> m_mayRepaint;       // sliders that may have something to paint
  std::unordered_set<int> m_watched;         // controls that tell every change
  mutable std::unordered_map<int, std::string> m_known;  // their text or check state since their last change
  LogStore m_log;
  Win32LogView m_view;
  std::size_t m_widestChars = 0;  // longest log line so far, for the horizontal scroll range
  bool m_countPending = false;
};
