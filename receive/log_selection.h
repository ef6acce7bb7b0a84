// What the operator has selected in the received-data log: one row, or the
// rows between where the selection started (the anchor) and the current row,
// as a click, Shift+click, a drag, Shift+arrow keys and Ctrl+A make it. Both
// windows keep theirs in one of these, and copy its rows with Text().
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

class LogStore;

class LogSelection {
 public:
  // A click (extend: with Shift, or a drag) or a move of the current row by
  // the keys, in a log of rows lines; a row past the end is the last.
  void To(int row, bool extend, int rows);
  void All(int rows);
  void Clear() { m_anchor = m_current = -1; }

  int Current() const { return m_current; }
  bool Empty() const { return m_current < 0; }
  int First() const { return std::min(m_anchor, m_current); }
  int Last() const { return std::max(m_anchor, m_current); }
  bool Contains(int row) const { return !Empty() && row >= First() && row <= Last(); }
  // The selected rows as the log shows them, each ending with a line break:
  // what Copy puts on the clipboard.
  std::string Text(const LogStore& store) const;

 private:
  int m_anchor = -1;
  int m_current = -1;
};
