#include "app/sources/win32/raw_input_pad.h"

#include <algorithm>

#include "app/win32/win32_text.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <hidsdi.h>
#include <hidpi.h>

std::vector<std::pair<std::string, double>> HidInputs(const HidLayout& layout, const HidReport& report) {
  std::vector<std::pair<std::string, double>> out;
  for (std::size_t i = 0; i < layout.axes.size() && i < report.axes.size(); ++i) {
    const HidLayout::Axis& a = layout.axes[i];
    const double span = static_cast<double>(a.max) - static_cast<double>(a.min);
    const double v = span > 0 ? (static_cast<double>(report.axes[i]) - a.min) / span * 2.0 - 1.0 : 0.0;
    out.emplace_back("axis" + std::to_string(i), std::clamp(v, -1.0, 1.0));
  }
  if (layout.hat) {
    // Eight ways from up, clockwise; a value outside the range is the centre.
    const long steps = layout.hatMax - layout.hatMin + 1;
    const long way = report.hat >= layout.hatMin && report.hat <= layout.hatMax && steps == 8 ? report.hat - layout.hatMin : -1;
    const auto on = [way](long a, long b, long c) { return way == a || way == b || way == c ? 1.0 : 0.0; };
    out.emplace_back("hat0up", on(7, 0, 1));
    out.emplace_back("hat0right", on(1, 2, 3));
    out.emplace_back("hat0down", on(3, 4, 5));
    out.emplace_back("hat0left", on(5, 6, 7));
  }
  for (int b = 0; b < layout.buttons && b < 128; ++b)
    out.emplace_back("button" + std::to_string(b),
                     std::find(report.pressed.begin(), report.pressed.end(), b) != report.pressed.end() ? 1.0 : 0.0);
  return out;
}

// The hid.dll calls the reader makes, found once it is loaded.
struct RawInputPads::Hid {
  decltype(&::HidP_GetCaps) GetCaps = nullptr;
  decltype(&::HidP_GetValueCaps) GetValueCaps = nullptr;
  decltype(&::HidP_GetButtonCaps) GetButtonCaps = nullptr;
  decltype(&::HidP_GetUsages) GetUsages = nullptr;
  decltype(&::HidP_GetUsageValue) GetUsageValue = nullptr;
  decltype(&::HidD_GetProductString) GetProductString = nullptr;
};

struct RawInputPads::Device {
  std::vector<char> preparsed;
  HidLayout layout;
  std::vector<USAGE> axisUsages;
  USAGE buttonMin = 1;
  std::unique_ptr<PadMapping> mapping;
  std::vector<std::pair<std::string, double>> last;
};

namespace {
template <typename F>
F Find(HMODULE dll, const char* name) {
  // Through void (*)(): the C++ way to turn a FARPROC into the function it is.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

std::wstring DeviceName(HANDLE device) {
  UINT n = 0;
  GetRawInputDeviceInfoW(device, RIDI_DEVICENAME, nullptr, &n);
  std::wstring name(n, L'\0');
  if (n == 0 || GetRawInputDeviceInfoW(device, RIDI_DEVICENAME, name.data(), &n) == static_cast<UINT>(-1)) return L"";
  name.resize(wcslen(name.c_str()));
  return name;
}
}  // namespace

RawInputPads::RawInputPads(PadPanel panel) : m_panel(std::move(panel)) {}
RawInputPads::~RawInputPads() = default;

void RawInputPads::Register(void* hwnd) {
  // Joysticks, gamepads and multi-axis controllers (usage page 1: 4, 5, 8), and their coming and going.
  RAWINPUTDEVICE kinds[3] = {};
  const USHORT usages[3] = {0x04, 0x05, 0x08};
  for (int i = 0; i < 3; ++i) {
    kinds[i].usUsagePage = 0x01;
    kinds[i].usUsage = usages[i];
    kinds[i].dwFlags = RIDEV_INPUTSINK | RIDEV_DEVNOTIFY;
    kinds[i].hwndTarget = static_cast<HWND>(hwnd);
  }
  RegisterRawInputDevices(kinds, 3, sizeof kinds[0]);
}

void RawInputPads::Changed(unsigned long long wParam, long long lParam) {
  HANDLE device = reinterpret_cast<HANDLE>(lParam);
  if (wParam == GIDC_ARRIVAL) Arrived(device);
  else if (wParam == GIDC_REMOVAL) Removed(device);
}

void RawInputPads::Arrived(void* handle) {
  HANDLE device = static_cast<HANDLE>(handle);
  if (m_devices.count(device)) return;
  const std::wstring name = DeviceName(device);
  std::wstring upper = name;
  CharUpperW(upper.data());
  if (upper.find(L"IG_") != std::wstring::npos) return;  // XInput's
  if (!m_tried) {
    m_tried = true;
    if (HMODULE dll = LoadLibraryW(L"hid.dll")) {
      auto* hid = new Hid{Find<decltype(Hid::GetCaps)>(dll, "HidP_GetCaps"),
                          Find<decltype(Hid::GetValueCaps)>(dll, "HidP_GetValueCaps"),
                          Find<decltype(Hid::GetButtonCaps)>(dll, "HidP_GetButtonCaps"),
                          Find<decltype(Hid::GetUsages)>(dll, "HidP_GetUsages"),
                          Find<decltype(Hid::GetUsageValue)>(dll, "HidP_GetUsageValue"),
                          Find<decltype(Hid::GetProductString)>(dll, "HidD_GetProductString")};
      if (hid->GetCaps && hid->GetValueCaps && hid->GetButtonCaps && hid->GetUsages && hid->GetUsageValue)
        m_hid = hid;
      else
        delete hid;
    }
  }
  if (!m_hid) return;
  auto d = std::make_unique<Device>();
  UINT size = 0;
  GetRawInputDeviceInfoW(device, RIDI_PREPARSEDDATA, nullptr, &size);
  if (size == 0) return;
  d->preparsed.resize(size);
  if (GetRawInputDeviceInfoW(device, RIDI_PREPARSEDDATA, d->preparsed.data(), &size) == static_cast<UINT>(-1)) return;
  const auto pp = reinterpret_cast<PHIDP_PREPARSED_DATA>(d->preparsed.data());
  HIDP_CAPS caps{};
  if (m_hid->GetCaps(pp, &caps) != HIDP_STATUS_SUCCESS) return;
  std::vector<HIDP_VALUE_CAPS> values(caps.NumberInputValueCaps);
  USHORT n = caps.NumberInputValueCaps;
  if (n && m_hid->GetValueCaps(HidP_Input, values.data(), &n, pp) == HIDP_STATUS_SUCCESS) {
    values.resize(n);
    std::sort(values.begin(), values.end(), [](const HIDP_VALUE_CAPS& a, const HIDP_VALUE_CAPS& b) {
      return a.Range.UsageMin < b.Range.UsageMin;
    });
    for (const HIDP_VALUE_CAPS& v : values) {
      if (v.UsagePage != 0x01) continue;
      const USAGE usage = v.IsRange ? v.Range.UsageMin : v.NotRange.Usage;
      if (usage == 0x39) {  // the hat switch
        d->layout.hat = true;
        d->layout.hatMin = v.LogicalMin;
        d->layout.hatMax = v.LogicalMax;
      } else if (usage >= 0x30 && usage <= 0x38) {
        d->layout.axes.push_back({usage, v.LogicalMin, v.LogicalMax});
        d->axisUsages.push_back(usage);
      }
    }
  }
  std::vector<HIDP_BUTTON_CAPS> buttons(caps.NumberInputButtonCaps);
  n = caps.NumberInputButtonCaps;
  if (n && m_hid->GetButtonCaps(HidP_Input, buttons.data(), &n, pp) == HIDP_STATUS_SUCCESS) {
    for (USHORT i = 0; i < n; ++i)
      if (buttons[i].UsagePage == 0x09) {
        d->buttonMin = buttons[i].IsRange ? buttons[i].Range.UsageMin : buttons[i].NotRange.Usage;
        const USAGE max = buttons[i].IsRange ? buttons[i].Range.UsageMax : buttons[i].NotRange.Usage;
        d->layout.buttons = std::max(d->layout.buttons, static_cast<int>(max - d->buttonMin + 1));
      }
  }
  // The product's own name, as the profile names it; else the device's.
  std::string product = "a joystick";
  const HANDLE file = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    wchar_t text[127] = {};
    if (m_hid->GetProductString && m_hid->GetProductString(file, text, sizeof text) && text[0]) product = Utf8(text);
    CloseHandle(file);
  }
  const Source who = m_panel.appear(product);
  const PadProfile profile = m_panel.steering.ProfileFor(product, "");
  m_panel.say("gamepad connected: " + who.name);
  if (!profile.origin.empty()) m_panel.say("pad profile for " + who.name + ": " + profile.origin);
  d->mapping = std::make_unique<PadMapping>(m_panel.steering, who, product, profile);
  m_devices[device] = std::move(d);
}

void RawInputPads::Removed(void* handle) {
  const auto it = m_devices.find(handle);
  if (it == m_devices.end()) return;
  it->second->mapping->Lost();  // what it drove stops
  m_panel.say("gamepad removed: " + it->second->mapping->Who().name);
  m_devices.erase(it);
}

void RawInputPads::Input(long long lParam) {
  UINT size = 0;
  HRAWINPUT raw = reinterpret_cast<HRAWINPUT>(lParam);
  GetRawInputData(raw, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER));
  if (size == 0 || size > 65536) return;
  std::vector<BYTE> buffer(size);
  if (GetRawInputData(raw, RID_INPUT, buffer.data(), &size, sizeof(RAWINPUTHEADER)) != size) return;
  const auto* input = reinterpret_cast<const RAWINPUT*>(buffer.data());
  if (input->header.dwType != RIM_TYPEHID) return;
  const auto it = m_devices.find(input->header.hDevice);
  if (it == m_devices.end()) return;
  Device& d = *it->second;
  const auto pp = reinterpret_cast<PHIDP_PREPARSED_DATA>(d.preparsed.data());
  const RAWHID& hid = input->data.hid;
  for (DWORD r = 0; r < hid.dwCount; ++r) {
    auto* report = const_cast<PCHAR>(reinterpret_cast<const char*>(hid.bRawData) + r * hid.dwSizeHid);
    const ULONG length = hid.dwSizeHid;
    HidReport now;
    for (const USAGE usage : d.axisUsages) {
      ULONG value = 0;
      m_hid->GetUsageValue(HidP_Input, 0x01, 0, usage, &value, pp, report, length);
      now.axes.push_back(static_cast<long>(value));
    }
    if (d.layout.hat) {
      ULONG value = 0;
      now.hat = m_hid->GetUsageValue(HidP_Input, 0x01, 0, 0x39, &value, pp, report, length) == HIDP_STATUS_SUCCESS
                    ? static_cast<long>(value)
                    : -1;
    }
    if (d.layout.buttons) {
      std::vector<USAGE> down(static_cast<std::size_t>(d.layout.buttons));
      ULONG count = static_cast<ULONG>(down.size());
      if (m_hid->GetUsages(HidP_Input, 0x09, 0, down.data(), &count, pp, report, length) == HIDP_STATUS_SUCCESS)
        for (ULONG i = 0; i < count; ++i) now.pressed.push_back(down[i] - d.buttonMin);
    }
    // Only what changed since the last report reaches the profile.
    const std::vector<std::pair<std::string, double>> inputs = HidInputs(d.layout, now);
    for (std::size_t i = 0; i < inputs.size(); ++i)
      if (i >= d.last.size() || d.last[i].second != inputs[i].second) d.mapping->Input(inputs[i].first, inputs[i].second);
    d.last = inputs;
  }
}
