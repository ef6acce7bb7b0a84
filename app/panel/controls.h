// The control layer the dialog's handlers are written against: every control
// addressed by its numeric id, as the operator's panel names them. One
// implementation drives the real widgets, another keeps the state in memory.
#pragma once

#include <string>
#include <string_view>

#include "receive/recv_log.h"

enum class ControlKind {
  Group,        // frame with a caption, no behaviour
  Label,        // caption text beside another control, no id
  Static,       // text the dialog writes (status line, sent frame)
  Edit,
  Button,
  MultiLineButton,
  Check,
  Radio,
  Combo,        // drop-down list with an editable field
  SortedCombo,  // the same, entries kept in alphabetical order
  SimpleCombo,  // edit field over an always-open list (the received-data log)
  Slider,
};

// A list with an editable field keeps its selection only while the field
// shows the selected entry: typed text that is not that entry leaves no
// selection. Every implementation answers GetCurSel through this.
inline int ShownSelection(int index, std::string_view fieldText, std::string_view entryText) {
  return index >= 0 && fieldText == entryText ? index : -1;
}

class IControls {
 public:
  virtual ~IControls() = default;
  virtual bool Exists(int id) const = 0;

  virtual std::string GetWindowText(int id) const = 0;
  virtual void SetWindowText(int id, const std::string& text) = 0;

  virtual int GetCheck(int id) const = 0;  // 0 or 1
  virtual void SetCheck(int id, int state) = 0;

  // Lists: the selection index, -1 for none (also after typed text that is no entry).
  virtual int GetCurSel(int id) const = 0;
  virtual void SetCurSel(int id, int index) = 0;
  virtual int GetCount(int id) const = 0;
  virtual std::string GetLBText(int id, int index) const = 0;
  // The received-data log: one more line, kept as it came, shown as text.
  virtual void AddLogLine(int id, const LogLine& line) = 0;
  virtual void ResetContent(int id) = 0;

  // Sliders. A position set with redraw repaints the slider, which sends.
  virtual int GetPos(int id) const = 0;
  virtual void SetPos(int id, int pos, bool redraw) = 0;
  virtual void SetRange(int id, int min, int max) = 0;  // without redraw
  virtual int GetRangeMin(int id) const = 0;
  virtual int GetRangeMax(int id) const = 0;

  virtual void EnableWindow(int id, bool enable) = 0;
  virtual bool IsWindowEnabled(int id) const = 0;
  // The text shown when the pointer rests on the control, enabled or not; empty: none.
  virtual void SetToolTip(int id, const std::string& text) = 0;
  virtual void ShowWindow(int id, bool show) = 0;
  virtual bool IsWindowVisible(int id) const = 0;
  virtual void SetFocus(int id) = 0;
  virtual int GetFocus() const = 0;  // id of the focused control, 0 for none
};
