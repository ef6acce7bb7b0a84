// What a control of the Win32 window tells a screen reader beyond what
// Windows' own proxy for it knows: a name for a control with no caption or
// label of its own (from its row in the control table), and for the
// received-data list its rows as the list's items. Everything else (place,
// state, keyboard focus, the parent) is the system proxy's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct AccessibleFacts {
  std::wstring name;  // of the control itself; empty: the proxy's
  bool list = false;  // the control is a list of rows:
  std::function<long()> rows;
  std::function<std::wstring(long)> rowName;  // rows counted from 0
  std::function<bool(long)> rowSelected;
  std::function<bool(long, long*, long*, long*, long*)> rowLocation;  // screen x, y, width, height; false: not shown
};

// The answer to WM_GETOBJECT for hwnd: an IAccessible with those facts for
// the client area (OBJID_CLIENT), 0 for anything else (the caller then lets
// DefWindowProc answer).
std::intptr_t AnswerGetObject(void* hwnd, std::uintptr_t wParam, std::intptr_t lParam, const AccessibleFacts& facts);

// Lets a standard control (an edit, a slider, a static) answer with a name of
// our own: its window procedure is subclassed for WM_GETOBJECT only.
void NameForScreenReaders(void* hwnd, const std::wstring& name);
