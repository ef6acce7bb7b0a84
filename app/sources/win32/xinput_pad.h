// The Windows window's gamepads: XInput, loaded at run time (xinput1_4.dll,
// else xinput9_1_0.dll), so that varnel.exe imports only what every Windows
// has and starts without it. Each of XInput's four slots is a pad of its own,
// with its own profile and its own name as a source, read every 10 ms from
// the window's timer while any is connected.
//
// A panel without a pad pays nothing for it: XInput (and the HID stack it
// brings) is loaded only once the device list holds a device XInput can
// read, and the list is looked at a second after the window is up and then
// only when Windows says a device came (WM_DEVICECHANGE), never on a timer.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "app/steering.h"


class XInputPad {
 public:
  static constexpr int kSlots = 4;  // XInput's users 0 to 3
  explicit XInputPad(PadPanel panel);
  ~XInputPad();
  bool Loaded() const { return m_get != nullptr; }
  bool Connected() const;
  // From the window's timer: a look for pads (the device list first), and
  // each connected pad's state.
  void Poll();
  // The timer's next period: 10 ms while a pad is connected; 0 (no timer)
  // while none is, until a device arrives.
  unsigned PeriodMs() const { return Connected() ? 10 : 0; }

 private:
  // One slot's pad: its mapping, and the inputs as last read (by name).
  struct Slot;
  bool Load();
  void Read(int user);
  PadPanel m_panel;
  unsigned long (__stdcall* m_get)(unsigned long, void*) = nullptr;
  bool m_tried = false;
  std::array<std::unique_ptr<Slot>, kSlots> m_slots;
};

// A device XInput reads is present: one with the XInput interface, or a HID
// game controller named as XInput's ("IG_" in its instance id, as Windows
// names them and Wine's bus does). True when the list cannot be read.
bool XInputDevicePresent();

// A pad's state as XInput gives it, as the inputs profiles name ("a",
// "leftx", "righttrigger", "dpup", ...) with their values: y positive
// downwards, triggers 0 to 1.
struct XInputInputs {
  static constexpr int kCount = 20;
  std::array<std::pair<const char*, double>, kCount> values;
};
XInputInputs XInputNamed(unsigned short buttons, unsigned char leftTrigger, unsigned char rightTrigger,
                         short thumbLX, short thumbLY, short thumbRX, short thumbRY);
