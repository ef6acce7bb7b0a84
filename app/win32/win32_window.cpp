#include "app/win32/win32_window.h"

#include "app/panel/control_table.h"
#include "app/win32/console.h"
#include "app/win32/dialog_templates.h"
#include "app/win32/end_requests_win32.h"
#include "app/win32/win32_text.h"
#include "app/sources/win32/raw_input_pad.h"
#include "app/sources/win32/xinput_pad.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <dbt.h>

namespace {
constexpr int kIconId = 128;
constexpr UINT_PTR kPadTimer = 1;         // the gamepad's look
constexpr UINT kFirstPadLookMs = 1000;     // after the window's first paint
constexpr UINT kPadArrivedLookMs = 250;

INT_PTR CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
  auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  return window ? window->Handle(hwnd, msg, wParam, lParam) : FALSE;
}

// Modeless: OK, Escape and the close box only hide it.
INT_PTR CALLBACK WarningProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) return SetWindowLongPtrW(hwnd, DWLP_USER, lParam), TRUE;
  if ((msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) || msg == WM_CLOSE) {
    ShowWindow(hwnd, SW_HIDE);
    if (auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, DWLP_USER)))
      window->controls().Uncovered();
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    ::EndDialog(hwnd, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// Learn mode's question: its choices in, the text chosen or typed out.
struct PadActionAsked {
  const std::vector<std::string>* choices;
  std::string answer;
};
INT_PTR CALLBACK PadActionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    const auto* asked = reinterpret_cast<PadActionAsked*>(lParam);
    for (const std::string& c : *asked->choices)
      SendDlgItemMessageW(hwnd, kPadActionId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(c).c_str()));
    SendDlgItemMessageW(hwnd, kPadActionId, CB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    if (LOWORD(wParam) == IDOK) {
      auto* asked = reinterpret_cast<PadActionAsked*>(GetWindowLongPtrW(hwnd, DWLP_USER));
      wchar_t text[1024] = {};
      GetDlgItemTextW(hwnd, kPadActionId, text, 1023);
      asked->answer = Utf8(text);
    }
    ::EndDialog(hwnd, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR Result(HWND hwnd, LRESULT result) {
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}
}  // namespace

Win32Window::Win32Window(CComBase& port, SessionLog* log) : m_port(port), m_log(log) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  m_icon = LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                      GetSystemMetrics(SM_CYICON), 0);
  m_smallIcon = LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                           GetSystemMetrics(SM_CYSMICON), 0);
}

Win32Window::~Win32Window() {
  m_dlg.reset();  // stops the poll timer
  if (m_icon) DestroyIcon(static_cast<HICON>(m_icon));
  if (m_smallIcon) DestroyIcon(static_cast<HICON>(m_smallIcon));
}

int Win32Window::Run() {
  Win32LogView::Register();  // the template names the log's window class
  const std::vector<std::uint16_t> t = MainDialogTemplate();
  const INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                            nullptr, MainProc, reinterpret_cast<LPARAM>(this));
  m_dlg.reset();
  return static_cast<int>(r);
}

void Win32Window::InitDialog() {
  HWND hwnd = static_cast<HWND>(m_hwnd);
  // The drop-down lists' contents, as a template's initialisation data
  // would fill them (the sorted list sorts them itself).
  for (const ControlDef& def : ControlTable()) {
    if (def.kind != ControlKind::Combo && def.kind != ControlKind::SortedCombo) continue;
    for (const std::string& entry : ListEntries(def.id))
      SendDlgItemMessageW(hwnd, def.id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
  }
  m_controls.Attach(hwnd);
  m_dlg = std::make_unique<CVarnelDlg>(m_controls, *this, m_port, m_log);

  if (HMENU menu = GetSystemMenu(hwnd, FALSE)) {
    const std::wstring about = Wide(kAboutMenuText);
    if (!about.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    if (m_readGamepad) AppendMenuW(menu, MF_STRING, IDM_LEARNPAD, Wide(kLearnPadMenuText).c_str());
  }
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
  m_dlg->OnInitDialog();
  PostMessageW(hwnd, kShown, 0, 0);  // handled once the window is up
  SetEndRequestWindow(hwnd, kEndRequest);
  if (m_readGamepad) {
    // The first look once the window is up; then as devices come.
    m_xpad = std::make_unique<XInputPad>(m_dlg->ForPads());
    // The devices XInput does not serve (flight sticks, pedals) through Raw Input, as they arrive.
    m_rawPads = std::make_unique<RawInputPads>(m_dlg->ForPads());
    m_rawPads->Register(hwnd);
    SetTimer(hwnd, kPadTimer, kFirstPadLookMs, nullptr);
  }
}

void Win32Window::PollGamepad() {
  if (!m_xpad || m_ending) return;
  if (!m_padNotify) {
    // Asked for at the first look, not at start-up: the request brings the
    // plug-and-play client with it (2 MB under Wine).
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    m_padNotify = RegisterDeviceNotificationW(static_cast<HWND>(m_hwnd), &filter,
                                              DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
  }
  m_xpad->Poll();
  if (const unsigned period = m_xpad->PeriodMs()) SetTimer(static_cast<HWND>(m_hwnd), kPadTimer, period, nullptr);
  else KillTimer(static_cast<HWND>(m_hwnd), kPadTimer);
}

std::intptr_t Win32Window::Handle(void* window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  HWND hwnd = static_cast<HWND>(window);
  switch (msg) {
    case WM_INITDIALOG:
      m_hwnd = hwnd;
      InitDialog();
      return TRUE;  // the focus goes to the first tab stop
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (lParam) m_controls.Changed(id);  // a control's word: it may hold something new
      if (!m_dlg) return FALSE;
      // The dialog manager's OK (Enter outside a push button) and Cancel
      // (Escape; the close box comes as WM_CLOSE); no control has id 1 or 2.
      if (id == IDOK && code == BN_CLICKED) m_dlg->OnOK();
      else if (id == IDCANCEL && code == BN_CLICKED) m_dlg->OnCancel();
      else if (code == BN_CLICKED && FindControl(id)) m_dlg->OnClicked(id);
      else if (code == CBN_SELCHANGE && FindControl(id)) m_dlg->OnSelChange(id);
      else return FALSE;
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == NM_CUSTOMDRAW) {
        const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(lParam);
        // Each paint of a slider runs its handler once, right after the
        // paint: a handler that opened a message box inside a paint would
        // nest painting.
        if (draw->dwDrawStage == CDDS_PREPAINT && PostMessageW(hwnd, kSliderPainted, header->idFrom, 0))
          ++m_paintsToHandle;
        return Result(hwnd, CDRF_DODEFAULT);
      }
      return FALSE;
    }
    case WM_SYSCOMMAND:
      if (((wParam & 0xFFF0) == IDM_ABOUTBOX || (wParam & 0xFFF0) == IDM_LEARNPAD) && m_dlg) {
        m_dlg->OnSysCommand(static_cast<unsigned>(wParam));
        return TRUE;
      }
      return FALSE;  // move, minimise, close: the system's
    case WM_CLOSE:  // the close box, Alt+F4, the system menu's Close
      if (m_dlg) m_dlg->OnClose();
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(m_icon);
    case WM_QUERYENDSESSION:
      return Result(hwnd, TRUE);  // nothing to save: the session may end
    case WM_ENDSESSION:
      if (!wParam) return TRUE;
      // The process may be ended as soon as this returns: the line is let go
      // here and now, not when the dialog's loop would next run.
      RequestEndForSession();
      if (m_onEndRequest) m_onEndRequest();
      if (m_dlg) m_dlg->LetGo();  // the stop owed to the gimbal before the line goes
      m_port.Close();
      return TRUE;
    case WM_TIMER:
      if (wParam != kPadTimer) return FALSE;
      PollGamepad();
      return TRUE;
    case WM_ACTIVATE:
    case WM_WINDOWPOSCHANGED:
      m_controls.Uncovered();  // a window over the panel may have gone, or the panel moved
      return FALSE;
    case WM_INPUT:
      if (m_rawPads && !m_ending) m_rawPads->Input(static_cast<long long>(lParam));
      return FALSE;  // the system's own handling follows
    case WM_INPUT_DEVICE_CHANGE:
      if (m_rawPads && !m_ending) m_rawPads->Changed(wParam, static_cast<long long>(lParam));
      return Result(hwnd, 0);
    case WM_DEVICECHANGE:
      // A device came: a look shortly, once its driver has it ready (a pad
      // that steers is read anyway).
      if (m_xpad && !m_xpad->Connected() && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVNODES_CHANGED))
        SetTimer(hwnd, kPadTimer, kPadArrivedLookMs, nullptr);
      return Result(hwnd, TRUE);
    case WM_DESTROY:
      if (m_padNotify) UnregisterDeviceNotification(m_padNotify);
      m_padNotify = nullptr;
      KillTimer(hwnd, kPadTimer);
      m_xpad.reset();
      m_rawPads.reset();
      SetEndRequestWindow(nullptr, 0);
      m_dlg.reset();  // no tick outlives the window
      return FALSE;
    default:
      break;
  }
  if (msg == kSliderPainted) {
    if (m_paintsToHandle > 0) --m_paintsToHandle;
    if (m_dlg && !m_ending) m_dlg->OnCustomDraw(static_cast<int>(wParam));
    return TRUE;
  }
  if (msg == Win32Controls::kLogGrew) {
    m_controls.ShowLogCount();
    return TRUE;
  }
  if (msg == kShown) {
    if (m_warning && IsWindowVisible(static_cast<HWND>(m_warning)))
      SetWindowPos(static_cast<HWND>(m_warning), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (m_onShown) m_onShown();
    return TRUE;
  }
  if (msg == kEndRequest) {
    if (m_onEndRequest && !m_ending) m_onEndRequest();
    return TRUE;
  }
  if (msg == WM_POLL_SERIAL || msg == WM_PAD_TICK) {
    if (m_dlg && !m_ending) m_dlg->OnMessage(msg);
    return TRUE;
  }
  return FALSE;
}

// ---- IDialogHost ------------------------------------------------------------

void Win32Window::MessageBox(const std::string& text) {
  if (m_observer) m_observer(text);
  // Its modal loop goes on dispatching the poll's messages to this window.
  ++m_boxesOpen;
  MessageBoxW(static_cast<HWND>(m_hwnd), Wide(text).c_str(), L"Varnel", MB_OK | MB_ICONWARNING);
  --m_boxesOpen;
  m_controls.Uncovered();
}

void Win32Window::ShowWarning(const std::string& text) {
  if (m_observer) m_observer(text);
  if (m_warning && text != m_warningText) {  // the same window, another reason
    DestroyWindow(static_cast<HWND>(m_warning));
    m_warning = nullptr;
    m_controls.Uncovered();
  }
  if (!m_warning) {
    m_warningText = text;
    const std::vector<std::uint16_t> t = WarningTemplate(text);
    m_warning = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                           static_cast<HWND>(m_hwnd), WarningProc, reinterpret_cast<LPARAM>(this));
  }
  if (m_warning) ShowWindow(static_cast<HWND>(m_warning), SW_SHOW);
}

void Win32Window::ShowAbout() {
  const std::vector<std::uint16_t> t = AboutTemplate();
  ++m_boxesOpen;
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                          static_cast<HWND>(m_hwnd), AboutProc, 0);
  --m_boxesOpen;
  m_controls.Uncovered();
}

std::optional<std::string> Win32Window::AskPadAction(const std::string& question,
                                                     const std::vector<std::string>& choices) {
  const std::vector<std::uint16_t> t = PadActionTemplate(question);
  PadActionAsked asked{&choices, {}};
  ++m_boxesOpen;
  const INT_PTR pressed = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                                  static_cast<HWND>(m_hwnd), PadActionProc, reinterpret_cast<LPARAM>(&asked));
  --m_boxesOpen;
  m_controls.Uncovered();
  if (pressed != IDOK) return std::nullopt;
  return asked.answer;
}

void Win32Window::PostDialogMessage(unsigned message) {
  PostMessageW(static_cast<HWND>(m_hwnd), message, 0, 0);  // from any thread
}

void Win32Window::EndDialog(int result) {
  m_ending = true;
  ::EndDialog(static_cast<HWND>(m_hwnd), result);
}

void Win32Window::Diagnostic(const std::string& line) { Diagnose(line); }

void Win32Window::ShowWaiting(const std::string& what) {
  // In the caption, where the taskbar shows it too.
  if (m_hwnd) SetWindowTextW(static_cast<HWND>(m_hwnd), Wide(WindowCaption(what)).c_str());
}
