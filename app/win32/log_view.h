// The received-data list of the Win32 window: a window of our own that draws
// the rows of a LogStore it shows and nothing else, like the Linux window's
// list. A stock list view redoes its layout and both scroll bars whenever its
// row count changes, which a poll with data does every time; this one asks
// the window system only for what a poll changes: the vertical scroll range,
// redrawn only when its thumb moves, and the new rows if they show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "receive/log_selection.h"

class LogStore;

class Win32LogView {
 public:
  // The window class the dialog template names; registered once a process.
  static const wchar_t* ClassName();
  static void Register();

  // The list's window (created from the template) and the store it shows.
  void Attach(void* hwnd, const LogStore* store);

  // The store grew (rows appended) or was emptied. widestChars: the longest
  // line's characters, for the horizontal scroll range.
  void Grew(std::size_t widestChars);
  void Reset();

  int CurrentRow() const { return m_selection.Current(); }
  void SetCurrentRow(int row);
  const LogSelection& Selection() const { return m_selection; }
  // The context menu's commands (WM_COMMAND), also Ctrl+C (and WM_COPY) and Ctrl+A.
  static constexpr unsigned kCopy = 1, kSelectAll = 2;
  int TopRow() const { return m_top; }
  int VisibleRows() const;  // whole rows the list's height holds
  int RowHeight() const { return m_rowHeight; }
  void* TipWindow() const { return m_tip; }

  std::intptr_t Handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

 private:
  int Rows() const;
  void Measure();
  void MakeTip(std::uintptr_t wParam, std::intptr_t lParam);  // at the first WM_MOUSEMOVE
  void UpdateVerticalBar();
  void UpdateHorizontalBar();
  void ScrollTo(int top, int left);
  void MoveCurrent(int row, bool extend = false);
  void Select(int row, bool extend);
  void Copy();
  void ShowMenu(int x, int y);
  void Paint();
  void Hover(int y);
  const wchar_t* TipText();

  void* m_hwnd = nullptr;
  const LogStore* m_store = nullptr;
  void* m_font = nullptr;
  int m_rowHeight = 16;   // pixels
  int m_charWidth = 8;    // pixels, the font's average
  int m_clientW = 0;
  int m_clientH = 0;
  int m_shownRows = 0;    // rows the vertical bar knows of
  int m_top = 0;          // first row shown
  int m_left = 0;         // pixels scrolled to the right
  int m_widest = 0;       // pixels, the longest line
  LogSelection m_selection;
  bool m_focused = false;
  int m_wheel = 0;        // wheel delta not yet a whole row
  void* m_tip = nullptr;  // the tooltip that shows a row cut off at the edge
  int m_tipRow = -1;      // the row under the mouse
  std::wstring m_tipText;
};
