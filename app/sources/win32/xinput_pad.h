// The Windows window's gamepad: XInput, loaded at run time (xinput1_4.dll,
// else xinput9_1_0.dll), so that varnel.exe imports only what every Windows
// has and starts without it. The first pad connected steers through the
// panel's steering state, read every 10 ms from the window's timer while it
// steers.
//
// A panel without a pad pays nothing for it: XInput (and the HID stack it
// brings) is loaded only once the device list holds a device XInput can
// read, and the list is looked at a second after the window is up and then
// only when Windows says a device came (WM_DEVICECHANGE), never on a timer.
#pragma once

#include <string>
#include <utility>

#include "app/steering.h"


class XInputPad {
 public:
  explicit XInputPad(PadPanel panel) : m_panel(std::move(panel)) {}
  bool Loaded() const { return m_get != nullptr; }
  bool Connected() const { return m_user >= 0; }
  // From the window's timer: a look for a pad (the device list first), or
  // the steering pad's state.
  void Poll();
  // The timer's next period: 10 ms while a pad steers; 0 (no timer) while
  // none does, until a device arrives.
  unsigned PeriodMs() const { return Connected() ? 10 : 0; }

 private:
  bool Load();
  PadPanel m_panel;
  unsigned long (__stdcall* m_get)(unsigned long, void*) = nullptr;
  bool m_tried = false;
  int m_user = -1;  // the pad that steers, 0 to 3
  Source m_source;  // that pad, as the panel names it
  PadState m_state;
};

// A device XInput reads is present: one with the XInput interface, or a HID
// game controller named as XInput's ("IG_" in its instance id, as Windows
// names them and Wine's bus does). True when the list cannot be read.
bool XInputDevicePresent();
