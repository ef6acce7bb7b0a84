// The Windows window's flight sticks, pedals and the other game devices
// XInput does not serve, through Raw Input: each HID joystick, gamepad or
// multi-axis controller is a pad of its own, its inputs by number as SDL
// names a joystick it has no mapping for (axis0, button3, hat0up), through
// its own profile. A pad XInput serves ("IG_" in its device name) is left to
// XInput. hid.dll, which reads the devices' reports, is loaded only when the
// first such device arrives; varnel.exe imports nothing more.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/steering.h"

// What one report of a device holds, in the device's own terms, and its
// inputs as profiles name them: axes in usage order (X, Y, Z, Rx, Ry, Rz,
// slider, dial, wheel) scaled from their logical range to -1 to 1, the hat's
// four directions, buttons from 0.
struct HidLayout {
  struct Axis {
    unsigned usage;
    long min, max;
  };
  std::vector<Axis> axes;  // sorted by usage, the hat switch not among them
  bool hat = false;
  long hatMin = 0, hatMax = 7;
  int buttons = 0;
};
struct HidReport {
  std::vector<long> axes;     // by the layout's axes
  long hat = -1;              // outside hatMin..hatMax: centred
  std::vector<int> pressed;   // buttons down, from 0
};
std::vector<std::pair<std::string, double>> HidInputs(const HidLayout& layout, const HidReport& report);

class RawInputPads {
 public:
  explicit RawInputPads(PadPanel panel);
  ~RawInputPads();
  // Asks Windows for the game devices' input and their arrivals (WM_INPUT, WM_INPUT_DEVICE_CHANGE).
  void Register(void* hwnd);
  void Input(long long lParam);                  // WM_INPUT
  void Changed(unsigned long long wParam, long long lParam);  // WM_INPUT_DEVICE_CHANGE

 private:
  struct Hid;
  struct Device;
  void Arrived(void* handle);
  void Removed(void* handle);
  PadPanel m_panel;
  const Hid* m_hid = nullptr;
  bool m_tried = false;
  std::map<void*, std::unique_ptr<Device>> m_devices;
};
