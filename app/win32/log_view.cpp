#include "app/win32/log_view.h"

#include <algorithm>
#include <string>

#include "app/panel/control_table.h"
#include "app/win32/accessible.h"
#include "app/win32/win32_text.h"
#include "receive/log_store.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
constexpr wchar_t kClass[] = L"VarnelLogView";
constexpr int kTextIndent = 3;  // pixels left of a row's text

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Until the control layer attaches, the window is a plain one; the dialog
  // manager's WM_SETFONT of that moment is asked for again at Attach.
  auto* view = reinterpret_cast<Win32LogView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return view ? view->Handle(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND H(void* hwnd) { return static_cast<HWND>(hwnd); }

bool SameThumb(const SCROLLBARINFO& a, const SCROLLBARINFO& b) {
  return a.xyThumbTop == b.xyThumbTop && a.xyThumbBottom == b.xyThumbBottom && a.rgstate[0] == b.rgstate[0];
}
}  // namespace

const wchar_t* Win32LogView::ClassName() { return kClass; }

void Win32LogView::Register() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, kClass, &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ViewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);
}

void Win32LogView::Attach(void* hwnd, const LogStore* store) {
  m_hwnd = hwnd;
  m_store = store;
  if (!hwnd) return;
  SetWindowLongPtrW(H(hwnd), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_font = reinterpret_cast<void*>(SendMessageW(GetParent(H(hwnd)), WM_GETFONT, 0, 0));
  Measure();
  RECT r{};
  GetClientRect(H(hwnd), &r);
  m_clientW = r.right;
  m_clientH = r.bottom;
  UpdateVerticalBar();
  UpdateHorizontalBar();
}

void Win32LogView::MakeTip(std::uintptr_t wParam, std::intptr_t lParam) {
  // A decoded status line is wider than the list: its row's tooltip shows it
  // whole. The tip asks for its text (TTN_GETDISPINFO) each time it shows. It
  // is made at the mouse's first move over the list, not with the window: a
  // tip window is a good part of the start-up under Wine.
  m_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0,
                          0, 0, H(m_hwnd), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!m_tip) return;
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = H(m_hwnd);
  ti.uId = reinterpret_cast<UINT_PTR>(m_hwnd);
  ti.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(H(m_tip), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(H(m_tip), TTM_SETMAXTIPWIDTH, 0, 640);  // long lines wrap
  // The move that made it came before the tip watched the list.
  MSG first{H(m_hwnd), WM_MOUSEMOVE, wParam, lParam, 0, {}};
  SendMessageW(H(m_tip), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&first));
}

void Win32LogView::Hover(int y) {
  const int row = y >= 0 ? m_top + y / m_rowHeight : -1;
  if (row == m_tipRow) return;
  // Another row: a tip that shows is the last row's; it shows this row's
  // text, or goes when this row fits. A tip yet to show asks when it does.
  m_tipRow = row;
  if (!m_tip || !IsWindowVisible(H(m_tip))) return;
  SendMessageW(H(m_tip), *TipText() ? TTM_UPDATE : TTM_POP, 0, 0);
}

const wchar_t* Win32LogView::TipText() {
  m_tipText.clear();
  if (m_tipRow < 0 || m_tipRow >= Rows()) return m_tipText.c_str();
  const std::wstring text = Wide(m_store->Line(static_cast<std::size_t>(m_tipRow)));
  HDC dc = GetDC(H(m_hwnd));
  HGDIOBJ old = m_font ? SelectObject(dc, static_cast<HGDIOBJ>(m_font)) : nullptr;
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(H(m_hwnd), dc);
  const int left = kTextIndent - m_left;
  if (left < 0 || left + size.cx > m_clientW) m_tipText = text;  // a row that fits needs no tip
  return m_tipText.c_str();
}

int Win32LogView::Rows() const { return m_store ? static_cast<int>(m_store->Size()) : 0; }
int Win32LogView::VisibleRows() const { return std::max(1, m_clientH / m_rowHeight); }

void Win32LogView::Measure() {
  HDC dc = GetDC(H(m_hwnd));
  HGDIOBJ old = m_font ? SelectObject(dc, static_cast<HGDIOBJ>(m_font)) : nullptr;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (old) SelectObject(dc, old);
  ReleaseDC(H(m_hwnd), dc);
  m_rowHeight = std::max(1, static_cast<int>(tm.tmHeight) + 2);
  m_charWidth = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 8;
}

void Win32LogView::UpdateVerticalBar() {
  // Always shown (disabled while every row fits), so that the rows' width
  // never changes as the log grows.
  m_shownRows = Rows();
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, std::max(0, m_shownRows - 1),
                static_cast<UINT>(VisibleRows()), m_top, 0};
  // A poll changes the range, but in a long log the thumb stays where it is,
  // to the pixel: drawing the bar then would be work for nothing.
  SCROLLBARINFO before{};
  SCROLLBARINFO after{};
  before.cbSize = after.cbSize = sizeof before;
  const bool known = GetScrollBarInfo(H(m_hwnd), OBJID_VSCROLL, &before) != 0;
  SetScrollInfo(H(m_hwnd), SB_VERT, &si, FALSE);
  if (!known || !GetScrollBarInfo(H(m_hwnd), OBJID_VSCROLL, &after) || !SameThumb(before, after))
    SetScrollInfo(H(m_hwnd), SB_VERT, &si, TRUE);
}

void Win32LogView::UpdateHorizontalBar() {
  // Shown only while the longest line is wider than the list.
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, m_widest - 1),
                static_cast<UINT>(std::max(1, m_clientW)), m_left, 0};
  SetScrollInfo(H(m_hwnd), SB_HORZ, &si, TRUE);
}

void Win32LogView::Grew(std::size_t widestChars) {
  if (!m_hwnd) return;
  const int first = m_shownRows;
  const int widest = static_cast<int>(widestChars) * m_charWidth + 2 * kTextIndent;
  if (widest > m_widest) {
    m_widest = widest;
    UpdateHorizontalBar();
  }
  if (Rows() == first) return;
  UpdateVerticalBar();
  // The list is never scrolled to the new rows; they are drawn only if they show.
  const int y = (first - m_top) * m_rowHeight;
  if (first >= m_top && y < m_clientH) {
    RECT r{0, y, m_clientW, m_clientH};
    InvalidateRect(H(m_hwnd), &r, FALSE);
  }
}

void Win32LogView::Reset() {
  if (!m_hwnd) return;
  m_top = m_left = m_widest = 0;
  m_selection.Clear();
  UpdateHorizontalBar();
  UpdateVerticalBar();
  InvalidateRect(H(m_hwnd), nullptr, FALSE);
}

void Win32LogView::SetCurrentRow(int row) {
  if (row >= 0 && row < Rows()) m_selection.To(row, false, Rows());
  else m_selection.Clear();
  if (m_hwnd) InvalidateRect(H(m_hwnd), nullptr, FALSE);
}

void Win32LogView::Select(int row, bool extend) {
  m_selection.To(row, extend, Rows());
  InvalidateRect(H(m_hwnd), nullptr, FALSE);
}

void Win32LogView::MoveCurrent(int row, bool extend) {
  if (Rows() == 0) return;
  Select(row, extend);
  const int current = m_selection.Current();
  if (current < m_top) ScrollTo(current, m_left);
  else if (current >= m_top + VisibleRows()) ScrollTo(current - VisibleRows() + 1, m_left);
}

void Win32LogView::Copy() {
  if (m_selection.Empty() || !m_store) return;
  // The rows as shown, a line each, with Windows' line ends.
  std::wstring text;
  for (wchar_t c : Wide(m_selection.Text(*m_store))) {
    if (c == L'\n') text += L'\r';
    text += c;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (!memory) return;
  if (void* p = GlobalLock(memory)) {
    std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(p));
    GlobalUnlock(memory);
  }
  if (!OpenClipboard(H(m_hwnd))) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);  // else the clipboard owns it
  CloseClipboard();
}

void Win32LogView::ShowMenu(int x, int y) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | (m_selection.Empty() ? MF_GRAYED : 0), kCopy, L"Copy\tCtrl+C");
  AppendMenuW(menu, MF_STRING, kSelectAll, L"Select All\tCtrl+A");
  if (x == -1 && y == -1) {  // from the keyboard (Shift+F10, the menu key): at the list's corner
    POINT corner{0, 0};
    ClientToScreen(H(m_hwnd), &corner);
    x = corner.x;
    y = corner.y;
  }
  const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, H(m_hwnd), nullptr);
  DestroyMenu(menu);
  if (chosen) SendMessageW(H(m_hwnd), WM_COMMAND, chosen, 0);
}

void Win32LogView::ScrollTo(int top, int left) {
  top = std::clamp(top, 0, std::max(0, Rows() - VisibleRows()));
  left = std::clamp(left, 0, std::max(0, m_widest - m_clientW));
  if (top == m_top && left == m_left) return;
  m_top = top;
  m_left = left;
  Hover(-1);  // the row under the mouse is another now
  SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
  si.nPos = m_top;
  SetScrollInfo(H(m_hwnd), SB_VERT, &si, TRUE);
  si.nPos = m_left;
  SetScrollInfo(H(m_hwnd), SB_HORZ, &si, TRUE);
  InvalidateRect(H(m_hwnd), nullptr, FALSE);
}

void Win32LogView::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(H(m_hwnd), &ps);
  HGDIOBJ old = m_font ? SelectObject(dc, static_cast<HGDIOBJ>(m_font)) : nullptr;
  const int rows = Rows();
  const int firstLine = ps.rcPaint.top / m_rowHeight;
  const int lastLine = (ps.rcPaint.bottom - 1) / m_rowHeight;
  // Each row is drawn once, opaque over its whole width: nothing flickers.
  for (int line = firstLine; line <= lastLine; ++line) {
    const int row = m_top + line;
    RECT r{0, line * m_rowHeight, m_clientW, (line + 1) * m_rowHeight};
    if (row >= rows) {
      FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
      continue;
    }
    const bool selected = m_selection.Contains(row);
    SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring text = Wide(m_store->Line(static_cast<std::size_t>(row)));
    ExtTextOutW(dc, kTextIndent - m_left, r.top + 1, ETO_OPAQUE | ETO_CLIPPED, &r, text.c_str(),
                static_cast<UINT>(text.size()), nullptr);
    if (row == m_selection.Current() && m_focused) DrawFocusRect(dc, &r);
  }
  if (old) SelectObject(dc, old);
  EndPaint(H(m_hwnd), &ps);
}

std::intptr_t Win32LogView::Handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  HWND hwnd = H(m_hwnd);
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every pixel is painted by the rows
    case WM_SETFONT:
      m_font = reinterpret_cast<void*>(wParam);
      Measure();
      UpdateVerticalBar();
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<std::intptr_t>(m_font);
    case WM_SIZE:
      m_clientW = LOWORD(lParam);
      m_clientH = HIWORD(lParam);
      UpdateVerticalBar();
      UpdateHorizontalBar();
      ScrollTo(m_top, m_left);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      m_focused = msg == WM_SETFOCUS;
      if (const int current = m_selection.Current(); current >= m_top && current < m_top + VisibleRows() + 1) {
        RECT r{0, (current - m_top) * m_rowHeight, m_clientW, (current - m_top + 1) * m_rowHeight};
        InvalidateRect(hwnd, &r, FALSE);
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(hwnd);
      const int row = m_top + static_cast<short>(HIWORD(lParam)) / m_rowHeight;
      if (row < Rows()) {
        Select(row, (wParam & MK_SHIFT) != 0);
        SetCapture(hwnd);  // a drag selects the rows it passes
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_CONTEXTMENU:
      ShowMenu(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCopy) Copy();
      else if (LOWORD(wParam) == kSelectAll) {
        m_selection.All(Rows());
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case WM_COPY:
      Copy();
      return 0;
    case WM_GETOBJECT: {
      // For screen readers: a list whose items are the rows, as shown.
      AccessibleFacts facts;
      facts.name = Wide(AccessibleName(GetDlgCtrlID(hwnd)));
      facts.list = true;
      facts.rows = [this] { return static_cast<long>(Rows()); };
      facts.rowName = [this](long row) { return Wide(m_store->Line(static_cast<std::size_t>(row))); };
      facts.rowSelected = [this](long row) { return m_selection.Contains(static_cast<int>(row)); };
      facts.rowLocation = [this](long row, long* x, long* y, long* w, long* h) {
        const int line = static_cast<int>(row) - m_top;
        if (line < 0 || line * m_rowHeight >= m_clientH) return false;
        POINT corner{0, line * m_rowHeight};
        ClientToScreen(H(m_hwnd), &corner);
        *x = corner.x;
        *y = corner.y;
        *w = m_clientW;
        *h = m_rowHeight;
        return true;
      };
      if (const std::intptr_t answer = AnswerGetObject(hwnd, wParam, lParam, facts)) return answer;
      break;
    }
    case WM_MOUSEMOVE:
      if (!m_tip) MakeTip(wParam, lParam);
      Hover(static_cast<short>(HIWORD(lParam)));
      if ((wParam & MK_LBUTTON) && GetCapture() == hwnd && !m_selection.Empty())
        Select(m_top + std::max(0, static_cast<int>(static_cast<short>(HIWORD(lParam)))) / m_rowHeight, true);
      break;
    case WM_NOTIFY: {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
      if (info->hdr.hwndFrom != H(m_tip) || info->hdr.code != TTN_GETDISPINFOW) break;
      info->lpszText = const_cast<wchar_t*>(TipText());
      return 0;
    }
    case WM_MOUSEWHEEL: {
      m_wheel += static_cast<short>(HIWORD(wParam));
      const int rows = m_wheel / WHEEL_DELTA * 3;
      m_wheel %= WHEEL_DELTA;
      ScrollTo(m_top - rows, m_left);
      return 0;
    }
    case WM_KEYDOWN: {
      const bool shift = GetKeyState(VK_SHIFT) < 0;
      const int current = m_selection.Current();
      if (GetKeyState(VK_CONTROL) < 0 && (wParam == 'C' || wParam == 'A')) {
        SendMessageW(hwnd, WM_COMMAND, wParam == 'C' ? kCopy : kSelectAll, 0);
        return 0;
      }
      switch (wParam) {
        case VK_DOWN: MoveCurrent(current + 1, shift); return 0;
        case VK_UP: MoveCurrent(current - 1, shift); return 0;
        case VK_NEXT: MoveCurrent(current + VisibleRows(), shift); return 0;
        case VK_PRIOR: MoveCurrent(current - VisibleRows(), shift); return 0;
        case VK_HOME: MoveCurrent(0, shift); return 0;
        case VK_END: MoveCurrent(Rows() - 1, shift); return 0;
        case VK_LEFT: ScrollTo(m_top, m_left - m_charWidth * 4); return 0;
        case VK_RIGHT: ScrollTo(m_top, m_left + m_charWidth * 4); return 0;
        default: break;
      }
      break;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
      const bool vertical = msg == WM_VSCROLL;
      const int bar = vertical ? SB_VERT : SB_HORZ;
      const int line = vertical ? 1 : m_charWidth * 4;
      const int page = vertical ? VisibleRows() : m_clientW;
      // The track position in 32 bits: a million rows do not fit WM_VSCROLL's 16.
      SCROLLINFO si{sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd, bar, &si);
      int pos = vertical ? m_top : m_left;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: pos -= line; break;
        case SB_LINEDOWN: pos += line; break;
        case SB_PAGEUP: pos -= page; break;
        case SB_PAGEDOWN: pos += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = vertical ? Rows() : m_widest; break;
        default: return 0;
      }
      if (vertical) ScrollTo(pos, m_left);
      else ScrollTo(m_top, pos);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
