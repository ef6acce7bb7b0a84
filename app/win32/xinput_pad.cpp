#include "app/win32/xinput_pad.h"

#include "app/dialog.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <xinput.h>

namespace {
double Thumb(SHORT v) { return v < 0 ? v / 32768.0 : v / 32767.0; }
}  // namespace

XInputPad::XInputPad(CVarnelDlg& dialog) : m_dialog(dialog) {
  HMODULE dll = LoadLibraryW(L"xinput1_4.dll");
  if (!dll) dll = LoadLibraryW(L"xinput9_1_0.dll");
  // Through void (*)(): the C++ way to turn a FARPROC into the function it is.
  if (dll)
    m_get = reinterpret_cast<decltype(m_get)>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "XInputGetState")));
}

void XInputPad::Poll() {
  if (!m_get) return;
  XINPUT_STATE raw{};
  if (m_user < 0) {
    for (DWORD user = 0; user < XUSER_MAX_COUNT && m_user < 0; ++user)
      if (m_get(user, &raw) == ERROR_SUCCESS) m_user = static_cast<int>(user);
    if (m_user < 0) return;
    m_dialog.SayPad("gamepad connected: XInput pad " + std::to_string(m_user + 1));
  }
  PadState now;
  if (m_get(static_cast<DWORD>(m_user), &raw) == ERROR_SUCCESS) {
    const XINPUT_GAMEPAD& g = raw.Gamepad;
    now.connected = true;
    now.x = Thumb(g.sThumbLX);
    now.y = -Thumb(g.sThumbLY);  // XInput's Y is up
    const WORD b = g.wButtons;
    now.buttons[static_cast<int>(PadButton::kA)] = b & XINPUT_GAMEPAD_A;
    now.buttons[static_cast<int>(PadButton::kB)] = b & XINPUT_GAMEPAD_B;
    now.buttons[static_cast<int>(PadButton::kX)] = b & XINPUT_GAMEPAD_X;
    now.buttons[static_cast<int>(PadButton::kY)] = b & XINPUT_GAMEPAD_Y;
    now.buttons[static_cast<int>(PadButton::kLeftShoulder)] = b & XINPUT_GAMEPAD_LEFT_SHOULDER;
    now.buttons[static_cast<int>(PadButton::kRightShoulder)] = b & XINPUT_GAMEPAD_RIGHT_SHOULDER;
    now.buttons[static_cast<int>(PadButton::kLeftTrigger)] = g.bLeftTrigger > 127;  // past half way
    now.buttons[static_cast<int>(PadButton::kRightTrigger)] = g.bRightTrigger > 127;
  }
  ApplyPadState(m_dialog.Pad(), m_state, now);
  if (m_state.connected && !now.connected) {
    m_dialog.SayPad("gamepad removed: XInput pad " + std::to_string(m_user + 1));
    m_user = -1;
  }
  m_state = now;
}
