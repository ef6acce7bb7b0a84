#include "app/sources/win32/xinput_pad.h"


// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <setupapi.h>
#include <xinput.h>

#include <cwchar>

namespace {
double Thumb(SHORT v) { return v < 0 ? v / 32768.0 : v / 32767.0; }
}  // namespace

bool XInputDevicePresent() {
  // XInput's own device interface (xusb22 and the Xbox pads' drivers).
  static const GUID kXusb = {0xEC87F1E3, 0xC13B, 0x4100, {0xB5, 0xF7, 0x8B, 0x84, 0xD5, 0x42, 0x60, 0xCB}};
  static const GUID kHid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
  for (const GUID* kind : {&kXusb, &kHid}) {
    const HDEVINFO set = SetupDiGetClassDevsW(kind, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return true;  // cannot tell: XInput looks itself
    bool found = false;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; !found && SetupDiEnumDeviceInfo(set, i, &info); ++i) {
      if (kind == &kXusb) {
        found = true;
        break;
      }
      wchar_t instance[512];
      if (SetupDiGetDeviceInstanceIdW(set, &info, instance, 511, nullptr)) {
        CharUpperW(instance);
        found = wcsstr(instance, L"IG_") != nullptr;
      }
    }
    SetupDiDestroyDeviceInfoList(set);
    if (found) return true;
  }
  return false;
}

bool XInputPad::Load() {
  if (m_tried) return m_get != nullptr;
  m_tried = true;
  HMODULE dll = LoadLibraryW(L"xinput1_4.dll");
  if (!dll) dll = LoadLibraryW(L"xinput9_1_0.dll");
  // Through void (*)(): the C++ way to turn a FARPROC into the function it is.
  if (dll)
    m_get = reinterpret_cast<decltype(m_get)>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "XInputGetState")));
  return m_get != nullptr;
}

void XInputPad::Poll() {
  XINPUT_STATE raw{};
  if (m_user < 0) {
    if (!m_get && (!XInputDevicePresent() || !Load())) return;
    for (DWORD user = 0; user < XUSER_MAX_COUNT && m_user < 0; ++user)
      if (m_get(user, &raw) == ERROR_SUCCESS) m_user = static_cast<int>(user);
    if (m_user < 0) return;
    m_source = m_panel.appear("XInput pad " + std::to_string(m_user + 1));
    m_panel.say("gamepad connected: " + m_source.name);
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
  ApplyPadState(m_panel.steering, m_state, now, m_source);
  if (m_state.connected && !now.connected) {
    m_panel.say("gamepad removed: " + m_source.name);
    m_user = -1;
  }
  m_state = now;
}
