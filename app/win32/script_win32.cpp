#include "app/win32/script_win32.h"

#include "app/panel/control_table.h"
#include "app/win32/console.h"
#include "app/win32/dialog_templates.h"
#include "app/win32/win32_text.h"
#include "app/win32/win32_window.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"

namespace {
constexpr UINT kLine = WM_APP + 10;  // lParam: a std::string* the runner takes
constexpr UINT kStep = WM_APP + 11;
constexpr UINT_PTR kTimer = 1;

LRESULT CALLBACK RunnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* runner = reinterpret_cast<Win32ScriptRunner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (runner) {
    if (msg == kLine) return runner->OnLine(reinterpret_cast<std::string*>(lParam)), 0;
    if (msg == kStep) return runner->OnStep(), 0;
    if (msg == WM_TIMER && wParam == kTimer) return runner->OnTimer(), 0;
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
  FindBox f{static_cast<HWND>(w.hwnd()), static_cast<HWND>(w.warning())};
  EnumThreadWindows(GetCurrentThreadId(), FindBoxProc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}
}  // namespace

Win32ScriptRunner::Win32ScriptRunner(Win32Window& window, std::string path)
    : m_window(window), m_path(std::move(path)), m_commands(*this, [this](const std::string& l) { Print(l); }) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = RunnerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VarnelScript";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"VarnelScript", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_hwnd = hwnd;
}

Win32ScriptRunner::~Win32ScriptRunner() {
  // The reader may sit in a read of standard input that never ends: leave
  // it to the process's end, and let it post to no one.
  if (m_reader.joinable()) m_reader.detach();
  SetWindowLongPtrW(static_cast<HWND>(m_hwnd), GWLP_USERDATA, 0);
  DestroyWindow(static_cast<HWND>(m_hwnd));
}

void Win32ScriptRunner::Attach() {
  m_window.SetMessageObserver([this](const std::string& text) { Print("message " + text); });
}

void Win32ScriptRunner::Start(unsigned delayMs) {
  HANDLE in = m_path == "-" ? GetStdHandle(STD_INPUT_HANDLE)
                            : CreateFileW(Wide(m_path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          0, nullptr);
  if (!in || in == INVALID_HANDLE_VALUE) {
    Print("error cannot read " + m_path);
    return;
  }
  const HWND target = static_cast<HWND>(m_hwnd);
  const bool own = m_path != "-";
  m_reader = std::thread([in, target, own] {
    std::string pending;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) {
      pending.append(buf, got);
      for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
        PostMessageW(target, kLine, 0, reinterpret_cast<LPARAM>(new std::string(pending.substr(0, nl))));
        pending.erase(0, nl + 1);
      }
    }
    if (!pending.empty()) PostMessageW(target, kLine, 0, reinterpret_cast<LPARAM>(new std::string(pending)));
    if (own) CloseHandle(in);
  });
  // The script starts once the window is up and its start-up traffic has
  // been polled, as an operator starts working only once the window is there
  // (under load, Wine's first paint and polls may come late: wait for them,
  // a few seconds at most).
  m_waiting = true;
  m_startBy = GetTickCount() + 3000;
  SetTimer(target, kTimer, delayMs, nullptr);
}

void Win32ScriptRunner::OnLine(std::string* line) {
  m_lines.push_back(ScriptLine(std::move(*line)));
  delete line;
  if (!m_waiting) PostMessageW(static_cast<HWND>(m_hwnd), kStep, 0, 0);
}

void Win32ScriptRunner::OnTimer() {
  if (!m_started && !m_window.StartupPolled() && static_cast<long>(GetTickCount() - m_startBy) < 0) return;
  m_started = true;
  KillTimer(static_cast<HWND>(m_hwnd), kTimer);
  m_waiting = false;
  Step();
}

void Win32ScriptRunner::OnStep() { Step(); }

void Win32ScriptRunner::Step() {
  if (m_waiting || m_lines.empty()) return;
  const std::string line = m_lines.front();
  m_lines.pop_front();
  if (const std::optional<int> delay = ScriptCommands::WaitDelay(line)) {
    m_waiting = true;
    SetTimer(static_cast<HWND>(m_hwnd), kTimer, static_cast<UINT>(std::max(*delay, 1)), nullptr);
    return;
  }
  // The next line is scheduled before this one runs: a command that opens a
  // modal box returns only when the box closes, and the script's own "ok"
  // must be able to close it.
  if (!m_lines.empty()) PostMessageW(static_cast<HWND>(m_hwnd), kStep, 0, 0);
  m_commands.Execute(line);
}

void Win32ScriptRunner::Print(const std::string& line) { WriteOut(line + "\n"); }

// ---- the operator's actions -----------------------------------------------

IControls& Win32ScriptRunner::Controls() { return m_window.controls(); }

bool Win32ScriptRunner::Click(int id) {
  const ControlDef* def = FindControl(id);
  if (!def || (def->kind != ControlKind::Button && def->kind != ControlKind::MultiLineButton &&
               def->kind != ControlKind::Check && def->kind != ControlKind::Radio))
    return false;
  m_window.controls().SetFocus(id);  // a mouse press moves the focus to the button
  SendMessageW(Control(m_window, id), BM_CLICK, 0, 0);
  return true;
}

bool Win32ScriptRunner::Type(int id, const std::string& text) {
  const ControlDef* def = FindControl(id);
  if (!def || (def->kind != ControlKind::Edit && def->kind != ControlKind::Combo &&
               def->kind != ControlKind::SortedCombo && def->kind != ControlKind::SimpleCombo))
    return false;
  m_window.controls().SetFocus(id);
  m_window.controls().SetWindowText(id, text);
  return true;
}

bool Win32ScriptRunner::Select(int id, int index) {
  const ControlDef* def = FindControl(id);
  if (!def || (def->kind != ControlKind::Combo && def->kind != ControlKind::SortedCombo)) return false;
  HWND combo = Control(m_window, id);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  // What choosing the entry in the open list sends.
  SendMessageW(static_cast<HWND>(m_window.hwnd()), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return true;
}

bool Win32ScriptRunner::Slide(int id, int pos) {
  const ControlDef* def = FindControl(id);
  if (!def || def->kind != ControlKind::Slider) return false;
  m_window.controls().SetFocus(id);
  m_window.controls().SetPos(id, pos, true);  // repaints, which runs the handler
  return true;
}

void Win32ScriptRunner::Key(bool enter) {
  // As the keyboard does it: the key on the focused control, handed to the
  // dialog manager (Enter presses a focused push button, else OK; Escape is
  // Cancel), at once, so that the next line sees what it did.
  HWND dialog = static_cast<HWND>(m_window.hwnd());
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

bool Win32ScriptRunner::PressOk() {
  if (HWND box = OpenBox(m_window)) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  }
  HWND warning = static_cast<HWND>(m_window.warning());
  if (warning && IsWindowVisible(warning)) {
    SendMessageW(warning, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  }
  return false;
}

void Win32ScriptRunner::Quit() {
  // As Escape: close whatever box is open first, then the window.
  for (int i = 0; i < 8; ++i) {  // bounded: a box that refuses to close must not hang the script
    HWND box = OpenBox(m_window);
    if (!box) break;
    EndDialog(box, IDCANCEL);
  }
  m_window.dialog().OnCancel();
}
