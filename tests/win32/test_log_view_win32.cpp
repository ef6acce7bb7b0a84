// The Win32 window's received-data list, under Wine on a display: what a poll
// that appends rows asks of the window system, and how the operator moves
// through a long log.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/win32/accessible.h"
#include "app/win32/log_view.h"
#include "receive/log_store.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <oleacc.h>

namespace {
class LogView : public ::testing::Test {
 protected:
  void SetUp() override {
    Win32LogView::Register();
    parent = CreateWindowExW(0, L"Static", L"log", WS_POPUP | WS_VISIBLE, 0, 0, 420, 360, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    hwnd = CreateWindowExW(0, Win32LogView::ClassName(), L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL,
                           10, 10, 400, 300, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    view.Attach(hwnd, &store);
    Settle();
  }
  void TearDown() override {
    if (parent) DestroyWindow(parent);
  }
  void Append(int rows) {
    for (int i = 0; i < rows; ++i) store.Append(HexLine(kBytes, sizeof kBytes));
    view.Grew(50);
  }
  // Paints what is pending, so that what a step invalidates shows alone.
  void Settle() {
    UpdateWindow(parent);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  int VisibleRows() const { return view.VisibleRows(); }
  SCROLLINFO Vertical() const {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, SB_VERT, &si);
    return si;
  }
  void Key(WPARAM key) { SendMessageW(hwnd, WM_KEYDOWN, key, 0); }

  static constexpr std::uint8_t kBytes[16] = {0xbb, 0x09, 0x01, 0x41, 0, 0, 0, 6, 1, 2, 3, 4, 5, 6, 7, 8};
  LogStore store;
  Win32LogView view;
  HWND parent = nullptr;
  HWND hwnd = nullptr;
};

TEST_F(LogView, APollRepaintsOnlyTheNewRowsThatShowAndNothingBelowTheList) {
  Append(3);
  const int visible = VisibleRows();
  ASSERT_GT(visible, 5);
  Settle();

  // Rows that show: the area from the first new row down, nothing above it.
  Append(2);
  RECT dirty{};
  ASSERT_TRUE(GetUpdateRect(hwnd, &dirty, FALSE)) << "new rows that show must be drawn";
  RECT client{};
  GetClientRect(hwnd, &client);
  EXPECT_GT(dirty.top, 0) << "the rows already shown were repainted";
  EXPECT_LT(dirty.top, client.bottom);
  Settle();

  // A long log, and a poll whose rows fall below the list: no repaint at all.
  Append(visible * 3);
  Settle();
  Append(60);
  EXPECT_FALSE(GetUpdateRect(hwnd, &dirty, FALSE)) << "rows below the list were repainted";
  EXPECT_EQ(view.TopRow(), 0) << "the list must never scroll by itself";
}

TEST_F(LogView, TheScrollRangeIsTheRowCountAndReachesAMillionRows) {
  EXPECT_EQ(Vertical().nMax, 0);
  Append(1000000);
  const SCROLLINFO v = Vertical();
  EXPECT_EQ(v.nMax, 999999);
  EXPECT_EQ(static_cast<int>(v.nPage), VisibleRows());

  // The keys an operator moves by, past WM_VSCROLL's 16-bit positions.
  struct Step {
    WPARAM key;
    int current;
    int top;
  };
  const int page = VisibleRows();
  const Step steps[] = {
      {VK_END, 999999, 1000000 - page},
      {VK_PRIOR, 999999 - page, 999999 - page},
      {VK_UP, 999998 - page, 999998 - page},
      {VK_HOME, 0, 0},
      {VK_DOWN, 1, 0},
      {VK_NEXT, 1 + page, 2},
  };
  for (const Step& s : steps) {
    Key(s.key);
    EXPECT_EQ(view.CurrentRow(), s.current) << "key " << s.key;
    EXPECT_EQ(view.TopRow(), s.top) << "key " << s.key;
    EXPECT_EQ(Vertical().nPos, s.top) << "key " << s.key << ": the bar does not follow";
  }
  SendMessageW(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(view.TopRow(), 1000000 - page);
}

TEST_F(LogView, AClickSelectsTheRowUnderItAndEmptyingForgetsIt) {
  Append(10);
  SendMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 2));
  EXPECT_EQ(view.CurrentRow(), 0);
  SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);  // 10 rows all show: nothing to scroll
  EXPECT_EQ(view.TopRow(), 0);
  view.SetCurrentRow(9);
  EXPECT_EQ(view.CurrentRow(), 9);
  view.SetCurrentRow(10);  // past the end: none
  EXPECT_EQ(view.CurrentRow(), -1);

  view.SetCurrentRow(4);
  store.Clear();
  view.Reset();
  EXPECT_EQ(view.CurrentRow(), -1);
  EXPECT_EQ(Vertical().nMax, 0);
  SendMessageW(hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 2));  // on no row
  EXPECT_EQ(view.CurrentRow(), -1);
}
// A decoded status line is wider than the list: the tip over its row shows
// it whole; over a row that fits, or no row, the tip has nothing to show.
TEST_F(LogView, ARowCutOffAtTheEdgeShowsWholeInItsTooltip) {
  EXPECT_EQ(view.TipWindow(), nullptr);  // made when the mouse first comes
  SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, 2));
  ASSERT_NE(view.TipWindow(), nullptr);
  const std::string status =
      " Inserted card Not in initialization not read-only format complete Unformatted Unfilled Tested "
      "Effective format No mistake Video recording";
  store.Append(HexLine(kBytes, 8));
  store.Append(TextLine(status));
  view.Grew(status.size());
  auto tipAt = [&](int y) {
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, y));
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = static_cast<HWND>(view.TipWindow());
    info.hdr.code = TTN_GETDISPINFOW;
    SendMessageW(hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return std::wstring(info.lpszText ? info.lpszText : L"");
  };
  const int row = view.RowHeight();
  EXPECT_EQ(tipAt(row + 2), std::wstring(status.begin(), status.end()));
  EXPECT_EQ(tipAt(2), L"");            // a hex line fits
  EXPECT_EQ(tipAt(row * 5 + 2), L"");  // no row there

  // The mouse itself comes to rest on the row: the tip comes up on its own
  // (a move starts its delay; moving again would start it anew).
  POINT at{20, row + 2};
  ClientToScreen(hwnd, &at);
  SetCursorPos(at.x - 1, at.y);
  Settle();
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = 1;
  move.mi.dwFlags = MOUSEEVENTF_MOVE;
  SendInput(1, &move, sizeof move);
  for (int i = 0; i < 300 && !IsWindowVisible(static_cast<HWND>(view.TipWindow())); ++i) {
    Settle();
    Sleep(10);
  }
  EXPECT_TRUE(IsWindowVisible(static_cast<HWND>(view.TipWindow()))) << "no tip over the row";
}
// The operator's selection copies as the rows show, one line each with
// Windows' line ends: a click and a Shift+click (or Shift+arrows) select rows,
// the context menu's Select All (Ctrl+A) takes them all, Copy (Ctrl+C, WM_COPY).
TEST_F(LogView, TheSelectedRowsCopyAsShown) {
  store.Append({LogKind::kCaption, {}});
  store.Append(HexLine(kBytes, 8));
  store.Append(TextLine("2026-12-9 10:41:2"));
  view.Grew(30);
  const int row = view.RowHeight();
  const auto clipboard = [&] {
    std::wstring text;
    if (!OpenClipboard(hwnd)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) text = p;
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  };
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, row + 2));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, row + 2));
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(5, 2 * row + 2));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 2 * row + 2));
  EXPECT_EQ(view.Selection().First(), 1);
  EXPECT_EQ(view.Selection().Last(), 2);
  SendMessageW(hwnd, WM_COPY, 0, 0);
  EXPECT_EQ(clipboard(), L"bb-09-01-41-00-00-00-06\r\n2026-12-9 10:41:2\r\n");

  SendMessageW(hwnd, WM_COMMAND, Win32LogView::kSelectAll, 0);
  SendMessageW(hwnd, WM_COMMAND, Win32LogView::kCopy, 0);
  EXPECT_EQ(clipboard(), L"\u63a5\u6536\u4fe1\u606f\r\nbb-09-01-41-00-00-00-06\r\n2026-12-9 10:41:2\r\n");

  // The keys themselves: a click on the first row, Ctrl+C by the keyboard.
  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 2));
  SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 2));
  SetForegroundWindow(parent);
  SetFocus(hwnd);
  INPUT keys[4] = {};
  for (INPUT& k : keys) k.type = INPUT_KEYBOARD;
  keys[0].ki.wVk = VK_CONTROL;
  keys[1].ki.wVk = 'C';
  keys[2].ki.wVk = 'C';
  keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
  keys[3].ki.wVk = VK_CONTROL;
  keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, keys, sizeof keys[0]);
  for (int i = 0; i < 50 && clipboard() != L"\u63a5\u6536\u4fe1\u606f\r\n"; ++i) {
    Settle();
    Sleep(10);
  }
  EXPECT_EQ(clipboard(), L"\u63a5\u6536\u4fe1\u606f\r\n");
}
// What a screen reader gets through the platform's interface
// (AccessibleObjectFromWindow, as Narrator and NVDA ask): the list and its
// rows as items; a slider and an edit without a caption named from their rows.
TEST_F(LogView, ScreenReadersReadTheRowsAndTheNames) {
  CoInitialize(nullptr);
  store.Append({LogKind::kCaption, {}});
  store.Append(HexLine(kBytes, 8));
  view.Grew(30);
  view.SetCurrentRow(1);
  IAccessible* list = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&list)),
            S_OK);
  ASSERT_NE(list, nullptr);
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role{};
  ASSERT_EQ(list->get_accRole(self, &role), S_OK);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_LIST);
  long rows = 0;
  ASSERT_EQ(list->get_accChildCount(&rows), S_OK);
  EXPECT_EQ(rows, 2);
  VARIANT second = self;
  second.lVal = 2;
  BSTR name = nullptr;
  ASSERT_EQ(list->get_accName(second, &name), S_OK);
  EXPECT_EQ(std::wstring(name), L"bb-09-01-41-00-00-00-06");
  SysFreeString(name);
  ASSERT_EQ(list->get_accRole(second, &role), S_OK);
  EXPECT_EQ(role.lVal, ROLE_SYSTEM_LISTITEM);
  VARIANT state{};
  ASSERT_EQ(list->get_accState(second, &state), S_OK);
  EXPECT_TRUE(state.lVal & STATE_SYSTEM_SELECTED);
  list->Release();

  // Controls with no caption of their own, named as their rows say.
  struct {
    const wchar_t* cls;
    const wchar_t* name;
  } const named[] = {{TRACKBAR_CLASSW, L"Contrast ratio"}, {L"Edit", L"Zoom value"}, {L"Static", L"Port status"}};
  for (const auto& n : named) {
    HWND control = CreateWindowExW(0, n.cls, L"", WS_CHILD | WS_VISIBLE, 10, 320, 100, 20, parent, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(control, nullptr);
    NameForScreenReaders(control, n.name);
    IAccessible* a = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&a)),
              S_OK);
    BSTR got = nullptr;
    ASSERT_EQ(a->get_accName(self, &got), S_OK);
    EXPECT_EQ(std::wstring(got), n.name);
    SysFreeString(got);
    a->Release();
    DestroyWindow(control);
  }
  CoUninitialize();
}
}  // namespace
