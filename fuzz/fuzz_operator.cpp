// Any sequence of operator actions on the panel (typing, clicks, selections,
// slider moves, the poll's tick): nothing aborts, polling is running after
// every action, and every frame that reaches the device is whole, well
// formed, and carries only values the window accepted.
#include <cstdint>
#include <string>
#include <vector>

#include "app/dialog.h"
#include "app/panel/control_ids.h"
#include "app/panel/control_table.h"
#include "app/panel/mem_controls.h"
#include "fuzz_check.h"
#include "protocol/commands.h"
#include "serial/in_process.h"
#include "serial/port_map.h"

namespace {
class Host : public IDialogHost {
 public:
  void MessageBox(const std::string&) override {}
  void ShowWarning(const std::string&) override {}
  void ShowAbout() override {}
  void PostDialogMessage(unsigned) override {}  // the ticks are the input's
  void EndDialog(int) override {}
  void Diagnostic(const std::string&) override {}
  void ShowWaiting(const std::string&) override {}
};

// The device: keeps what the panel wrote.
class Device : public InProcessDevice {
 public:
  void FromPanel(const std::uint8_t* bytes, std::size_t n) override { wire.insert(wire.end(), bytes, bytes + n); }
  std::size_t ToPanel(std::uint8_t*, std::size_t) override { return 0; }
  std::vector<std::uint8_t> wire;
};

// The frame's values lie in the ranges the window enforces.
void CheckAccepted(const Frame& f) {
  switch (ReadCode(f)) {
    case kCmdCrossWire:
    case kCmdGimbalMode1:
    case kCmdGimbalMode2:
    case 0x00:
      break;  // a move's steps fit its 16 bits by the step's range
    case kCmdOsd: {
      const OsdSettings s = ReadOsdFrame(f);
      FUZZ_CHECK(s.year >= 2017 && s.year <= 2099);
      FUZZ_CHECK(s.month >= 1 && s.month <= 12 && s.day >= 1 && s.day <= 31);
      FUZZ_CHECK(s.hour <= 23 && s.minute <= 59 && s.second <= 59);
      break;
    }
    case kCmdDisplayChannel: {
      const ThermalSettings t = ReadThermalFrame(f);
      if (t.withCompensation) FUZZ_CHECK(t.compTemp >= -200 && t.compTemp <= 300);
      FUZZ_CHECK(t.channel <= 7);
      break;
    }
    case kCmdStorage: {
      const StorageCommand c = ReadStorageFrame(f);
      FUZZ_CHECK(c.action <= kStorageCapture);
      // 65536 minutes go out as the 16 bits 0; 0 itself is refused.
      if (c.action == kStorageStart) FUZZ_CHECK(c.settings.videoLength >= 1 || c.settings.videoLength == 0);
      break;
    }
    case kCmdTempCoeff: FUZZ_CHECK(ReadTempCoeffFrame(f) <= 200); break;
    case kCmdContrastBrightness: {
      const ContrastBrightness cb = ReadContrastBrightnessFrame(f);
      FUZZ_CHECK(cb.contrast <= 100 && cb.brightness <= 100);
      break;
    }
    case kCmdZoom: FUZZ_CHECK(ReadPrivateZoom(f) >= kZoomMin && ReadPrivateZoom(f) <= kZoomMax); break;
    default: FUZZ_CHECK(CommandName(ReadCode(f)) != nullptr);
  }
}

// The wire holds whole frames only: 48-byte frames that check, or VISCA
// commands up to their terminator (the video format's two trailers included).
void CheckWire(const std::vector<std::uint8_t>& wire) {
  std::size_t at = 0;
  while (at < wire.size()) {
    const std::size_t left = wire.size() - at;
    if (wire[at] == kViscaAddress) {
      std::size_t end = at;
      while (end < wire.size() && wire[end] != kViscaTerminator) ++end;
      FUZZ_CHECK(end < wire.size());
      const Frame c(wire.data() + at, end + 1 - at);
      const ViscaCommand v = ReadVisca(c);
      FUZZ_CHECK(v.kind != ViscaKind::kOther);
      if (v.kind == ViscaKind::kZoom) FUZZ_CHECK(ZoomLevelAt(static_cast<std::uint16_t>(v.value)) >= kZoomMin);
      at = end + 1;
      if (v.kind == ViscaKind::kVideoFormat) at += 6;  // 90 41 FF 90 51 FF
      continue;
    }
    FUZZ_CHECK(left >= kFrameSize);
    const Frame f(wire.data() + at, kFrameSize);
    FUZZ_CHECK(CheckFrame(f) == FrameCheck::kValid);
    CheckAccepted(f);
    at += kFrameSize;
  }
  FUZZ_CHECK(at == wire.size());
}

const int kEdits[] = {idc::Step,     idc::VideoLength, idc::Year,      idc::Month,   idc::Day,
                      idc::Hour,     idc::Minute,      idc::Second,    idc::Heading, idc::GpsN,
                      idc::AlarmTemp, idc::CompTemp,   idc::PollPeriod, idc::ZoomText, idc::CoeffText,
                      idc::ContrastText, idc::ManualText};
const char* const kTexts[] = {"0", "1", "-1", "13", "2100", "2099", "65536", "65537", "32767", "32768",
                              "-32768", "-32769", "1000000", "1000001", "2147483647", "-2147483648", "abc",
                              "", " 7", "300", "-200.5", "7E 7E 44", "1e9"};
const int kButtons[] = {idc::Up,          idc::Down,        idc::Left,        idc::Right,       idc::StartTracking,
                        idc::ExitTracking, idc::CancelTracking, idc::TemplateOk, idc::ZoomNarrow, idc::ZoomEnlarge,
                        idc::Visca,       idc::PrivateZoom, idc::Frozen,      idc::Thaw,        idc::ChannelOk,
                        idc::AlarmOk,     idc::Shutter,     idc::Enhance,     idc::StartStorage, idc::StopStorage,
                        idc::SingleCapture, idc::Format,    idc::QueryState,  idc::OsdSettings, idc::CoeffNarrow,
                        idc::CoeffEnlarge, idc::ContrastNarrow, idc::BrightnessEnlarge, idc::Empty, idc::CompTempCheck};
const int kLists[] = {idc::ControlMode, idc::Template, idc::Channel, idc::Steady, idc::Defog, idc::Core,
                      idc::VideoFormat2, idc::Preservation, idc::Baud, idc::Parity};
const int kSliders[] = {idc::ZoomSlider, idc::CoeffSlider, idc::ContrastSlider, idc::BrightnessSlider};
template <typename T, std::size_t N>
T Pick(const T (&table)[N], std::uint8_t b) {
  return table[b % N];
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Device device;
  PortMap map;
  map.AttachInProcess("fuzz:device", &device);
  map.Map("COM1", "fuzz:device");
  CComSync port(&map);
  MemControls c;
  Host host;
  CVarnelDlg dlg(c, host, port);
  dlg.OnInitDialog();
  FUZZ_CHECK(dlg.Timer().IsRunning());
  for (std::size_t i = 0; i + 2 < size && i < 300; i += 3) {
    const std::uint8_t op = data[i], a = data[i + 1], b = data[i + 2];
    bool manual = false;
    switch (op % 7) {
      case 0: {
        const int id = Pick(kEdits, a);
        c.Type(id, Pick(kTexts, b));
        c.SetFocus(b & 0x80 ? id : 0);  // still typing, or gone elsewhere
        break;
      }
      case 1: {
        const int id = Pick(kButtons, a);
        const ControlDef* def = FindControl(id);
        if (def && def->kind == ControlKind::Check) c.SetCheck(id, !c.GetCheck(id));
        if (def && def->kind == ControlKind::Radio) c.SetCheck(id, 1);
        dlg.OnClicked(id);
        break;
      }
      case 2: {
        const int id = Pick(kLists, a);
        if (!c.IsWindowEnabled(id)) break;
        c.SetCurSel(id, static_cast<int>(b % 10) - 1);
        dlg.OnSelChange(id);
        break;
      }
      case 3: c.SetPos(Pick(kSliders, a), static_cast<int>(b) - 20, true); break;
      case 4: dlg.OnPollSerial(); break;
      case 5:
        for (int id : c.TakePendingPaints()) dlg.OnCustomDraw(id);
        break;
      case 6: {
        c.Type(idc::ManualText, std::string(1, static_cast<char>(a)) + static_cast<char>(b));
        dlg.OnClicked(idc::ManualSend);
        manual = true;  // the operator's own bytes: anything goes
        break;
      }
    }
    FUZZ_CHECK(dlg.Timer().IsRunning());
    if (manual || !port.IsOpen()) {
      device.wire.clear();
      if (!port.IsOpen()) break;  // a line setting refused: nothing reaches the device any more
      continue;
    }
    CheckWire(device.wire);
    device.wire.clear();
  }
  dlg.Timer().Stop();
  return 0;
}
