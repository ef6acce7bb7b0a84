#include "app/win32/win32_controls.h"

#include "app/win32/accessible.h"

#include "app/panel/control_table.h"
#include "app/win32/dialog_templates.h"
#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
ControlKind KindOf(int id) {
  const ControlDef* def = FindControl(id);
  return def ? def->kind : ControlKind::Static;
}
bool IsList(int id) {
  const ControlKind k = KindOf(id);
  return k == ControlKind::Combo || k == ControlKind::SortedCombo;
}
std::string TextOf(HWND h) {
  if (!h) return {};
  // One message for the short texts every exchange reads (each is a trip
  // through the window system: some forty a click), two for a long one.
  wchar_t shortText[256];
  const int first = GetWindowTextW(h, shortText, 256);
  if (first < 255) return Utf8(std::wstring(shortText, static_cast<std::size_t>(first > 0 ? first : 0)));
  const int n = GetWindowTextLengthW(h);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(h, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return Utf8(w);
}
}  // namespace

void Win32Controls::Attach(void* dialog) {
  m_dialog = dialog;
  // Each control's window, once: asking the dialog for it on every call costs
  // a round trip to Wine's server, and a poll makes hundreds of calls.
  m_handles.clear();
  for (const ControlDef& def : ControlTable())
    if (def.id)
      if (HWND h = GetDlgItem(static_cast<HWND>(dialog), def.id)) m_handles[def.id] = h;
  if (HWND h = GetDlgItem(static_cast<HWND>(dialog), kLogEditId)) m_handles[kLogEditId] = h;
  // The controls whose every change the dialog hears of (a single-line
  // edit's EN_CHANGE, a check box's BN_CLICKED): what they hold is known
  // between changes, and an exchange does not ask each of them twice a
  // click (a trip through the window system each, under Wine most of a
  // click's cost). Not a combo box's edit (its text follows a selection
  // unannounced), nor a radio button (checking one unchecks the others).
  m_watched.clear();
  m_known.clear();
  m_ranges.clear();
  for (const auto& [id, h] : m_handles) {
    if (id == kLogEditId || IsLog(id)) continue;
    wchar_t cls[16] = {};
    GetClassNameW(static_cast<HWND>(h), cls, 16);
    const LONG_PTR style = GetWindowLongPtrW(static_cast<HWND>(h), GWL_STYLE);
    const LONG_PTR type = style & BS_TYPEMASK;
    if ((lstrcmpiW(cls, L"Edit") == 0 && !(style & ES_MULTILINE)) ||
        (lstrcmpiW(cls, L"Button") == 0 && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX)))
      m_watched.insert(id);
  }
  m_view.Attach(Handle(idc::RecvLog), &m_log);
  Uncovered();  // the first paint is still to come
  // What a screen reader calls each control, from its row: the system's proxy
  // knows a button by its caption, but not a slider, its value or the status
  // line. The log answers for itself, rows and all.
  for (const auto& [id, h] : m_handles)
    if (id != idc::RecvLog && id != kLogEditId) NameForScreenReaders(h, Wide(AccessibleName(id)));
  NameForScreenReaders(Handle(kLogEditId), Wide(AccessibleName(idc::RecvLog)));
}

void* Win32Controls::Handle(int id) const {
  const auto it = m_handles.find(id);
  return it == m_handles.end() ? nullptr : it->second;
}
bool Win32Controls::Exists(int id) const { return id != kLogEditId && Handle(id) != nullptr; }
bool Win32Controls::IsLog(int id) const { return id == idc::RecvLog; }

std::string Win32Controls::GetWindowText(int id) const {
  const auto known = m_known.find(id);
  if (known != m_known.end()) return known->second;
  std::string text = TextOf(static_cast<HWND>(Handle(IsLog(id) ? kLogEditId : id)));
  if (m_watched.count(id)) m_known[id] = text;
  return text;
}

void Win32Controls::SetWindowText(int id, const std::string& text) {
  HWND h = static_cast<HWND>(Handle(IsLog(id) ? kLogEditId : id));
  // Every poll writes every value back: an unchanged text is left alone, so
  // that nothing repaints and an edit keeps its caret and selection.
  if (h && GetWindowText(id) != text) {
    SetWindowTextW(h, Wide(text).c_str());
    Changed(id);  // read again next time: the control holds what it took
  }
}

int Win32Controls::GetCheck(int id) const {
  const auto known = m_known.find(id);
  if (known != m_known.end()) return known->second == "1";
  const int state = SendMessageW(static_cast<HWND>(Handle(id)), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  if (m_watched.count(id)) m_known[id] = std::string(1, state ? '1' : '0');
  return state;
}

void Win32Controls::SetCheck(int id, int state) {
  if (GetCheck(id) != (state ? 1 : 0)) {
    SendMessageW(static_cast<HWND>(Handle(id)), BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
    Changed(id);
  }
}

void Win32Controls::Changed(int id) { m_known.erase(id); }

bool Win32Controls::TakeMayRepaint(int id) { return m_mayRepaint.erase(id) != 0; }

void Win32Controls::Uncovered() {
  for (const SliderRange& slider : SliderRanges()) m_mayRepaint.insert(slider.id);
}

int Win32Controls::GetCurSel(int id) const {
  HWND h = static_cast<HWND>(Handle(id));
  if (IsLog(id)) return m_view.CurrentRow();
  if (!IsList(id)) return -1;
  const int index = static_cast<int>(SendMessageW(h, CB_GETCURSEL, 0, 0));
  return index < 0 ? -1 : ShownSelection(index, GetWindowText(id), GetLBText(id, index));
}

void Win32Controls::SetCurSel(int id, int index) {
  HWND h = static_cast<HWND>(Handle(id));
  if (IsLog(id)) {
    m_view.SetCurrentRow(index);
    return;
  }
  if (IsList(id)) SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Controls::GetCount(int id) const {
  if (IsLog(id)) return static_cast<int>(m_log.Size());
  if (!IsList(id)) return 0;
  return static_cast<int>(SendMessageW(static_cast<HWND>(Handle(id)), CB_GETCOUNT, 0, 0));
}

std::string Win32Controls::GetLBText(int id, int index) const {
  if (IsLog(id)) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_log.Size()) return {};
    return std::string(m_log.Line(static_cast<std::size_t>(index)));
  }
  HWND h = static_cast<HWND>(Handle(id));
  const LRESULT n = SendMessageW(h, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(h, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.data()));
  w.resize(static_cast<std::size_t>(n));
  return Utf8(w);
}

void Win32Controls::AddLogLine(int id, const LogLine& line) {
  if (!IsLog(id)) return;
  m_log.Append(line);
  m_widestChars = std::max(m_widestChars, FormattedSize(line));
  LogCountChanged();
}

void Win32Controls::ResetContent(int id) {
  if (IsLog(id)) {
    m_log.Clear();
    m_widestChars = 0;
    m_view.Reset();
    return;
  }
  SendMessageW(static_cast<HWND>(Handle(id)), CB_RESETCONTENT, 0, 0);
}

void Win32Controls::LogCountChanged() {
  // A poll appends many lines: the list hears of them once, when the
  // window's thread is next idle (the count is the store's meanwhile).
  if (m_countPending || !m_dialog) return;
  m_countPending = PostMessageW(static_cast<HWND>(m_dialog), kLogGrew, 0, 0) != 0;
  if (!m_countPending) ShowLogCount();
}

void Win32Controls::ShowLogCount() {
  m_countPending = false;
  m_view.Grew(m_widestChars);
}

int Win32Controls::GetPos(int id) const {
  return static_cast<int>(SendMessageW(static_cast<HWND>(Handle(id)), TBM_GETPOS, 0, 0));
}

void Win32Controls::SetPos(int id, int pos, bool redraw) {
  HWND h = static_cast<HWND>(Handle(id));
  SendMessageW(h, TBM_SETPOS, redraw ? TRUE : FALSE, pos);
  if (!redraw) return;
  InvalidateRect(h, nullptr, FALSE);  // repaints even when the position did not change
  m_mayRepaint.insert(id);
}

void Win32Controls::SetRange(int id, int min, int max) {
  // Every exchange sets each slider's range again; only this sets a range,
  // so the same range is not sent again.
  const auto known = m_ranges.find(id);
  if (known != m_ranges.end() && known->second == std::pair{min, max}) return;
  HWND h = static_cast<HWND>(Handle(id));
  SendMessageW(h, TBM_SETRANGEMIN, FALSE, min);
  SendMessageW(h, TBM_SETRANGEMAX, FALSE, max);
  m_ranges[id] = {min, max};
}

int Win32Controls::GetRangeMin(int id) const {
  return static_cast<int>(SendMessageW(static_cast<HWND>(Handle(id)), TBM_GETRANGEMIN, 0, 0));
}
int Win32Controls::GetRangeMax(int id) const {
  return static_cast<int>(SendMessageW(static_cast<HWND>(Handle(id)), TBM_GETRANGEMAX, 0, 0));
}

void Win32Controls::EnableWindow(int id, bool enable) {
  const bool wasDisabled = ::EnableWindow(static_cast<HWND>(Handle(id)), enable) != 0;
  if (wasDisabled == enable) m_mayRepaint.insert(id);  // drawn the other way now
}

void Win32Controls::SetToolTip(int id, const std::string& text) {
  HWND dialog = static_cast<HWND>(m_dialog);
  HWND control = static_cast<HWND>(Handle(id));
  if (!dialog || !control || (text.empty() && !m_tips)) return;  // no tip to take away: no tip window yet
  if (!m_tips)
    m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0,
                             0, dialog, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!m_tips) return;
  // A disabled control gets no mouse messages; the dialog gets them: the
  // tool is the control's rectangle on the dialog.
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = dialog;
  ti.uId = static_cast<UINT_PTR>(id);
  SendMessageW(static_cast<HWND>(m_tips), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  if (text.empty()) return;
  GetWindowRect(control, &ti.rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ti.rect), 2);
  std::wstring wide = Wide(text);
  ti.lpszText = wide.data();
  SendMessageW(static_cast<HWND>(m_tips), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}
bool Win32Controls::IsWindowEnabled(int id) const { return ::IsWindowEnabled(static_cast<HWND>(Handle(id))) != 0; }
void Win32Controls::ShowWindow(int id, bool show) {
  ::ShowWindow(static_cast<HWND>(Handle(id)), show ? SW_SHOW : SW_HIDE);
  Uncovered();  // what it covered is shown again
}
bool Win32Controls::IsWindowVisible(int id) const {
  return (GetWindowLongW(static_cast<HWND>(Handle(id)), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Controls::SetFocus(int id) {
  HWND h = static_cast<HWND>(Handle(IsLog(id) ? kLogEditId : id));
  HWND focus = ::GetFocus();  // one question: each is a trip to Wine's server
  if (!h || focus == h) return;  // already there: nothing changes
  // What the dialog manager's WM_NEXTDLGCTL does, without its walk over
  // every control to find the button drawn as default (a server call per
  // control under Wine, on every click of a script): the default follows
  // the focus to a push button and goes back to the dialog's own default
  // (OK) from anything else. The one drawn as default is the focused button,
  // else the one made so here last, else OK.
  HWND dialog = static_cast<HWND>(m_dialog);
  const auto code = [](HWND w) { return w ? SendMessageW(w, WM_GETDLGCODE, 0, 0) : 0; };
  const LRESULT defId = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  HWND ok = HIWORD(defId) == DC_HASDEFID ? GetDlgItem(dialog, LOWORD(defId)) : nullptr;
  HWND next = code(h) & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON) ? h : ok;
  for (HWND was : {focus, static_cast<HWND>(m_shownDefault), ok})
    if (was && was != next && (code(was) & DLGC_DEFPUSHBUTTON))
      SendMessageW(was, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  if (next && !(code(next) & DLGC_DEFPUSHBUTTON)) SendMessageW(next, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  m_shownDefault = next;
  if (code(h) & DLGC_HASSETSEL) SendMessageW(h, EM_SETSEL, 0, -1);  // an edit entered is selected whole
  if (focus) m_mayRepaint.insert(GetDlgCtrlID(focus));  // each draws its focus mark anew
  m_mayRepaint.insert(id);
  ::SetFocus(h);
}

int Win32Controls::GetFocus() const {
  HWND focus = ::GetFocus();
  for (const auto& [id, h] : m_handles)  // most often a control itself
    if (h == focus) return id == kLogEditId ? idc::RecvLog : id;
  // The focus may sit in a part of a control (a combo box's edit field).
  for (HWND h = focus; h; h = GetParent(h)) {
    if (GetParent(h) == static_cast<HWND>(m_dialog)) {
      const int id = GetDlgCtrlID(h);
      return id == kLogEditId ? idc::RecvLog : (FindControl(id) ? id : 0);
    }
  }
  return 0;
}
