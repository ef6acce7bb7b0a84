// The Windows window's gamepad: XInput, loaded at run time (xinput1_4.dll,
// else xinput9_1_0.dll), so that varnel.exe imports only what every Windows
// has and starts without it. The first pad connected steers through the
// panel's PadSteering, looked at every 10 ms from the window's timer.
#pragma once

#include <string>

#include "app/gamepad.h"

class CVarnelDlg;

class XInputPad {
 public:
  explicit XInputPad(CVarnelDlg& dialog);
  bool Loaded() const { return m_get != nullptr; }
  bool Connected() const { return m_user >= 0; }
  // From the window's timer: every 10 ms while a pad steers, once a second
  // while none is there (a look for a pad that is not there is not free).
  void Poll();
  unsigned PeriodMs() const { return Connected() ? 10 : 1000; }

 private:
  CVarnelDlg& m_dialog;
  unsigned long (__stdcall* m_get)(unsigned long, void*) = nullptr;
  int m_user = -1;  // the pad that steers, 0 to 3
  PadState m_state;
};
