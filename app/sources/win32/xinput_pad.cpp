#include "app/sources/win32/xinput_pad.h"


// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <setupapi.h>
#include <xinput.h>

#include <cwchar>

namespace {
double Thumb(SHORT v) { return v < 0 ? v / 32768.0 : v / 32767.0; }
}  // namespace

struct XInputPad::Slot {
  std::unique_ptr<PadMapping> mapping;
  XInputInputs last{};
};

XInputInputs XInputNamed(unsigned short b, unsigned char lt, unsigned char rt, short lx, short ly, short rx,
                         short ry) {
  const auto bit = [b](WORD mask) { return (b & mask) ? 1.0 : 0.0; };
  return {{{{"leftx", Thumb(lx)},
            {"lefty", -Thumb(ly)},  // XInput's Y is up
            {"rightx", Thumb(rx)},
            {"righty", -Thumb(ry)},
            {"lefttrigger", lt / 255.0},
            {"righttrigger", rt / 255.0},
            {"a", bit(XINPUT_GAMEPAD_A)},
            {"b", bit(XINPUT_GAMEPAD_B)},
            {"x", bit(XINPUT_GAMEPAD_X)},
            {"y", bit(XINPUT_GAMEPAD_Y)},
            {"leftshoulder", bit(XINPUT_GAMEPAD_LEFT_SHOULDER)},
            {"rightshoulder", bit(XINPUT_GAMEPAD_RIGHT_SHOULDER)},
            {"back", bit(XINPUT_GAMEPAD_BACK)},
            {"start", bit(XINPUT_GAMEPAD_START)},
            {"leftstick", bit(XINPUT_GAMEPAD_LEFT_THUMB)},
            {"rightstick", bit(XINPUT_GAMEPAD_RIGHT_THUMB)},
            {"dpup", bit(XINPUT_GAMEPAD_DPAD_UP)},
            {"dpdown", bit(XINPUT_GAMEPAD_DPAD_DOWN)},
            {"dpleft", bit(XINPUT_GAMEPAD_DPAD_LEFT)},
            {"dpright", bit(XINPUT_GAMEPAD_DPAD_RIGHT)}}}};
}

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

XInputPad::XInputPad(PadPanel panel) : m_panel(std::move(panel)) {}
XInputPad::~XInputPad() = default;

bool XInputPad::Connected() const {
  for (const auto& slot : m_slots)
    if (slot) return true;
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
  if (!m_get && (!XInputDevicePresent() || !Load())) return;
  for (int user = 0; user < kSlots; ++user) Read(user);
}

void XInputPad::Read(int user) {
  XINPUT_STATE raw{};
  std::unique_ptr<Slot>& slot = m_slots[static_cast<std::size_t>(user)];
  if (m_get(static_cast<DWORD>(user), &raw) != ERROR_SUCCESS) {
    if (!slot) return;
    slot->mapping->Lost();  // what it drove stops
    m_panel.say("gamepad removed: " + slot->mapping->Who().name);
    slot.reset();
    return;
  }
  const XINPUT_GAMEPAD& g = raw.Gamepad;
  const XInputInputs now = XInputNamed(g.wButtons, g.bLeftTrigger, g.bRightTrigger, g.sThumbLX, g.sThumbLY,
                                       g.sThumbRX, g.sThumbRY);
  if (!slot) {
    // XInput names no product: the slot is its name, and its profile's.
    const std::string product = "XInput pad " + std::to_string(user + 1);
    slot = std::make_unique<Slot>();
    const Source who = m_panel.appear(product);
    const PadProfile profile = m_panel.steering.ProfileFor(product, "");
    m_panel.say("gamepad connected: " + who.name);
    if (!profile.origin.empty()) m_panel.say("pad profile for " + who.name + ": " + profile.origin);
    slot->mapping = std::make_unique<PadMapping>(m_panel.steering, who, product, profile);
    for (const auto& [name, value] : now.values) slot->mapping->Input(name, value);
  } else {
    for (int i = 0; i < XInputInputs::kCount; ++i)
      if (now.values[static_cast<std::size_t>(i)].second != slot->last.values[static_cast<std::size_t>(i)].second)
        slot->mapping->Input(now.values[static_cast<std::size_t>(i)].first, now.values[static_cast<std::size_t>(i)].second);
  }
  slot->last = now;
}
