#include "app/win32/script_win32.h"

#include "app/panel/control_table.h"
#include "app/win32/console.h"
#include "app/win32/dialog_templates.h"
#include "app/win32/screenshot.h"
#include "app/win32/win32_text.h"
#include "app/win32/win32_window.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
constexpr UINT kPosted = WM_APP + 10;  // wParam: the delay; lParam: a std::function<void()>* the scheduler takes
constexpr UINT kSocket = WM_APP + 11;  // Winsock's word on a watched socket: wParam the socket

LRESULT CALLBACK SchedulerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* scheduler = reinterpret_cast<Win32Scheduler*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (scheduler) {
    if (msg == kPosted) return scheduler->OnPosted(static_cast<int>(wParam), reinterpret_cast<std::function<void()>*>(lParam)), 0;
    if (msg == WM_TIMER) return scheduler->OnTimer(wParam), 0;
    if (msg == kSocket) return scheduler->OnSocket(wParam), 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND Control(Win32Window& w, int id) { return static_cast<HWND>(w.controls().Handle(id)); }

// The message box of this thread that is open now, if any: a dialog-class
// window that is neither the main window nor the Warning.
struct FindBox {
  HWND main, warning, found = nullptr;
};
BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lParam) {
  auto* f = reinterpret_cast<FindBox*>(lParam);
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, 16);
  if (hwnd != f->main && hwnd != f->warning && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
    f->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
HWND OpenBox(Win32Window& w) {
  if (!w.BoxMayBeOpen()) return nullptr;  // none of ours: no walk over the thread's windows
  FindBox f{static_cast<HWND>(w.hwnd()), static_cast<HWND>(w.warning())};
  EnumThreadWindows(GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}
}  // namespace

Win32Scheduler::Win32Scheduler() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = SchedulerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VarnelScheduler";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"VarnelScheduler", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_hwnd = hwnd;
}

Win32Scheduler::~Win32Scheduler() {
  SetWindowLongPtrW(static_cast<HWND>(m_hwnd), GWLP_USERDATA, 0);
  DestroyWindow(static_cast<HWND>(m_hwnd));
}

void Win32Scheduler::After(int ms, std::function<void()> fn) {
  // Posted, so that it is safe from any thread; the timer is started on the window's.
  auto* posted = new std::function<void()>(std::move(fn));
  if (!PostMessageW(static_cast<HWND>(m_hwnd), kPosted, static_cast<WPARAM>(ms), reinterpret_cast<LPARAM>(posted)))
    delete posted;
}

void Win32Scheduler::OnPosted(int ms, std::function<void()>* posted) {
  std::function<void()> fn = std::move(*posted);
  delete posted;
  if (ms <= 0) return fn();
  const std::uintptr_t id = m_nextTimer++;
  m_timers[id] = std::move(fn);
  SetTimer(static_cast<HWND>(m_hwnd), id, static_cast<UINT>(ms), nullptr);
}

void Win32Scheduler::OnTimer(std::uintptr_t id) {
  KillTimer(static_cast<HWND>(m_hwnd), id);
  const auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  std::function<void()> fn = std::move(it->second);
  m_timers.erase(it);
  fn();
}

void Win32Scheduler::WatchSocket(std::intptr_t socket, bool, std::function<void()> ready) {
  // Winsock says FD_WRITE only once the socket has room again after a send
  // it refused: asked always, it comes only when something waits for it.
  // Asked once: asking again would forget the refusal that armed it.
  const bool watched = m_sockets.count(socket) != 0;
  m_sockets[socket] = std::move(ready);
  if (!watched)
    WSAAsyncSelect(static_cast<SOCKET>(socket), static_cast<HWND>(m_hwnd), kSocket,
                   FD_READ | FD_ACCEPT | FD_CLOSE | FD_WRITE);
}

void Win32Scheduler::ForgetSocket(std::intptr_t socket) {
  if (m_sockets.erase(socket)) WSAAsyncSelect(static_cast<SOCKET>(socket), static_cast<HWND>(m_hwnd), 0, 0);
}

void Win32Scheduler::OnSocket(std::uintptr_t socket) {
  const auto it = m_sockets.find(static_cast<std::intptr_t>(socket));
  if (it == m_sockets.end()) return;  // forgotten meanwhile: a word already posted
  const std::function<void()> ready = it->second;  // it may forget the socket
  ready();
}

// ---- the operator's actions -----------------------------------------------

IControls& Win32ScriptActions::Controls() { return m_window.controls(); }
Steering* Win32ScriptActions::Steer() { return &m_window.dialog().Steer(); }
bool Win32ScriptActions::LineConnecting() { return m_window.dialog().LineConnecting(); }
CVarnelDlg* Win32ScriptActions::Dialog() { return m_window.dialogIfAny(); }

// Which control takes which action is the control table's rule, asked by
// script mode before it gets here (TakesGesture).
bool Win32ScriptActions::Click(int id) {
  m_window.controls().SetFocus(id);  // a mouse press moves the focus to the button
  HWND button = Control(m_window, id);
  const LONG_PTR type = GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
    // What a push button's click tells the dialog, without BM_CLICK's
    // mouse press and release: the capture taken and let go and the button
    // drawn pushed and back, a dozen window-system calls that change
    // nothing once the line is done. Boxes keep BM_CLICK: it checks them.
    SendMessageW(static_cast<HWND>(m_window.hwnd()), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
  }
  SendMessageW(button, BM_CLICK, 0, 0);
  return true;
}

bool Win32ScriptActions::Type(int id, const std::string& text) {
  m_window.controls().SetFocus(id);
  m_window.controls().SetWindowText(id, text);
  return true;
}

bool Win32ScriptActions::Select(int id, int index) {
  HWND combo = Control(m_window, id);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  // What choosing the entry in the open list sends.
  SendMessageW(static_cast<HWND>(m_window.hwnd()), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return true;
}

bool Win32ScriptActions::Slide(int id, int pos) {
  m_window.controls().SetFocus(id);
  m_window.controls().SetPos(id, pos, true);  // repaints, which runs the handler
  return true;
}

void Win32ScriptActions::Key(bool enter) {
  // As the keyboard does it: the key on the focused control, handed to the
  // dialog manager (Enter presses a focused push button, else OK; Escape is
  // Cancel), at once, so that the next line sees what it did.
  HWND dialog = static_cast<HWND>(m_window.hwnd());
  m_window.controls().Uncovered();  // Enter or Escape may close a box
  MSG msg{};
  msg.hwnd = GetFocus() ? GetFocus() : dialog;
  msg.message = WM_KEYDOWN;
  msg.wParam = enter ? VK_RETURN : VK_ESCAPE;
  msg.lParam = 1;
  if (!IsDialogMessageW(dialog, &msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool Win32ScriptActions::PressOk() {
  m_window.controls().Uncovered();  // a box it closes uncovers the panel
  if (HWND box = OpenBox(m_window)) {
    // At once, as the button's own click: EndDialog hides the box, and the
    // next line finds the panel reachable again.
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  }
  HWND warning = static_cast<HWND>(m_window.warning());
  if (warning && IsWindowVisible(warning)) {
    SendMessageW(warning, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  }
  return false;
}

bool Win32ScriptActions::Picture(const std::string& path, std::string& why) {
  return WriteWindowPng(m_window.hwnd(), path, &why);
}

void Win32ScriptActions::Settle() {
  // The repaints of the sliders the line may have changed, now (only a
  // slider's paint sends; the rest of the window may paint when it will),
  // then the handlers those paints posted (a moved slider sends its frame).
  // A slider left alone is not asked: each ask is a trip to Wine's server.
  HWND dialog = static_cast<HWND>(m_window.hwnd());
  for (const SliderRange& slider : SliderRanges())
    if (m_window.controls().TakeMayRepaint(slider.id)) UpdateWindow(Control(m_window, slider.id));
  MSG msg;
  while (m_window.PaintsToHandle() &&
         PeekMessageW(&msg, dialog, Win32Window::kSliderPainted, Win32Window::kSliderPainted, PM_REMOVE))
    DispatchMessageW(&msg);
}

bool Win32ScriptActions::ModalBoxOpen() { return OpenBox(m_window) != nullptr; }

void Win32ScriptActions::Quit() {
  // As the close box: close whatever box is open first, then the window.
  for (int i = 0; i < 8; ++i) {  // bounded: a box that refuses to close must not hang the script
    HWND box = OpenBox(m_window);
    if (!box) break;
    EndDialog(box, IDCANCEL);
  }
  m_window.dialog().OnClose();
}
