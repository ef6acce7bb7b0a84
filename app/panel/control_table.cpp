#include "app/panel/control_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "app/panel/control_rows.h"
#include "protocol/commands.h"
#include "serial/comm_types.h"

using K = ControlKind;

namespace {
using B = BoundValues;

// The builder of a row: the kind, caption and place first, then what the
// control has besides (each call one column).
struct R : ControlRow {
  R(int id, ControlKind kind, const char* caption, int x, int y, int w, int h) {
    def = {id, kind, caption, x, y, w, h};
  }
  R& Dx(int place, Binding b) {
    exchange = place;
    binding = b;
    return *this;
  }
  R& List(std::vector<ListEntry> e) {
    entries = std::move(e);
    return *this;
  }
  R& Range(int lo, int hi) {
    slider = std::pair{lo, hi};
    return *this;
  }
  R& Says(const char* text) {
    description = text;
    return *this;
  }
  R& In(const char* part) {
    group = part;
    return *this;
  }
  R& Named(const char* text) {
    name = text;
    return *this;
  }
  R& Osd(bool input, std::uint8_t flag) {
    osd = OsdCheck{def.id, input, flag};
    binding = {Binding::kOsdCheck, {}, {}, {}};
    return *this;
  }
};

Binding Str(std::string B::*m) { return {Binding::kString, m, {}, {}}; }
Binding Ctl() { return {Binding::kControl, {}, {}, {}}; }
Binding Sld() { return {Binding::kSlider, {}, {}, {}}; }
Binding Int(int B::*m) { return {Binding::kInt, m, {}, {}}; }
Binding Int(int B::*m, int lo, int hi) { return {Binding::kInt, m, lo, hi}; }
Binding Flt(float B::*m) { return {Binding::kFloat, m, {}, {}}; }
Binding Flt(float B::*m, double lo, double hi) { return {Binding::kFloat, m, lo, hi}; }
Binding Dbl(double B::*m) { return {Binding::kDouble, m, {}, {}}; }
Binding Chk(int B::*m) { return {Binding::kCheck, m, {}, {}}; }
// An OSD check box: its value is its bit's place in BoundValues::m_bOsd, its
// bit in the frame the Osd column says.
Binding OsdBox() { return {Binding::kOsdCheck, {}, {}, {}}; }

// Lists whose position is itself what goes out (channel, preservation) carry their index.
std::vector<ListEntry> Indexed(std::vector<std::string> captions) {
  std::vector<ListEntry> entries;
  for (std::size_t i = 0; i < captions.size(); ++i) entries.push_back({captions[i], static_cast<int>(i)});
  return entries;
}
std::vector<std::string> ComNames() {
  std::vector<std::string> com;
  for (int i = 1; i <= 21; ++i) com.push_back("COM" + std::to_string(i));
  return com;
}
}  // namespace

// Every control of the main window, one row each, in the template's order:
// kind, caption and place in dialog units; then, where it has them, its
// place in the exchange of bound values with its binding and range (Dx), its
// list's entries with what each means to the device (List), a slider's range
// (Range), what a control without a caption of its own is (Says: the
// listing, the screen reader), the part of the panel a control outside any
// frame belongs to (In), and an OSD check box's bit (Osd).
const std::vector<ControlRow>& ControlRows() {
  static const std::vector<ControlRow> rows = {
      // ---- I/O ----
      R(0, K::Group, "I/O", 25, 15, 320, 56),
      R(0, K::Label, "I/O ID", 33, 30, 28, 10),
      R(idc::ComPort, K::Combo, "", 62, 28, 50, 12).Dx(1, Ctl()).List(Indexed(ComNames())),
      R(0, K::Label, "BAUD", 120, 30, 22, 10),
      R(idc::Baud, K::Combo, "", 144, 28, 52, 12)
          .Dx(5, Ctl())
          .List({{"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"57600", 57600}, {"115200", 115200}}),
      R(0, K::Label, "Check mode", 202, 30, 44, 10),
      R(idc::Parity, K::Combo, "", 248, 28, 90, 12)
          .Dx(6, Ctl())
          .List({{"NOPARITY", comm::NOPARITY},
                 {"ODDPARITY", comm::ODDPARITY},
                 {"EVENPARITY", comm::EVENPARITY},
                 {"MARKPARITY", comm::MARKPARITY},
                 {"SPACEPARITY", comm::SPACEPARITY}}),
      R(idc::Status, K::Static, "", 33, 50, 305, 12)
          .Dx(0, Str(&B::m_strStatus))
          .Says("(port status line)")
          .Named("Port status"),

      // ---- the three slider groups ----
      R(0, K::Group, "Temperature Compensation Coefficient ", 354, 14, 144, 57),
      R(idc::CoeffSlider, K::Slider, "", 360, 28, 132, 16)
          .Dx(53, Sld())
          .Range(0, 200)
          .Says("(slider)")
          .Named("Temperature compensation coefficient"),
      R(idc::CoeffNarrow, K::Button, "Narrow", 360, 50, 40, 14),
      R(idc::CoeffText, K::Edit, "", 404, 51, 44, 12)
          .Dx(54, Int(&B::m_nCoeffText, 0, 200))
          .Says("(the slider's value)")
          .Named("Temperature compensation coefficient value"),
      R(idc::CoeffEnlarge, K::Button, "Enlarge", 452, 50, 40, 14),
      R(0, K::Group, "Contrast Ratio ", 503, 14, 137, 57),
      R(idc::ContrastSlider, K::Slider, "", 509, 28, 125, 16)
          .Dx(60, Sld())
          .Range(0, 100)
          .Says("(slider)")
          .Named("Contrast ratio"),
      R(idc::ContrastNarrow, K::Button, "Narrow", 509, 50, 38, 14),
      R(idc::ContrastText, K::Edit, "", 551, 51, 40, 12)
          .Dx(61, Int(&B::m_nContrastText))
          .Says("(the slider's value)")
          .Named("Contrast ratio value"),
      R(idc::ContrastEnlarge, K::Button, "Enlarge", 595, 50, 39, 14),
      R(0, K::Group, "Brightness", 645, 14, 130, 57),
      R(idc::BrightnessSlider, K::Slider, "", 651, 28, 118, 16)
          .Dx(62, Sld())
          .Range(0, 100)
          .Says("(slider)")
          .Named("Brightness"),
      R(idc::BrightnessNarrow, K::Button, "Narrow", 651, 50, 37, 14),
      R(idc::BrightnessText, K::Edit, "", 691, 51, 36, 12)
          .Dx(63, Int(&B::m_nBrightnessText))
          .Says("(the slider's value)")
          .Named("Brightness value"),
      R(idc::BrightnessEnlarge, K::Button, "Enlarge", 730, 50, 39, 14),

      // ---- Tracking control ----
      R(0, K::Group, "Tracking control", 22, 76, 284, 174),
      R(idc::ControlMode, K::Combo, "", 28, 89, 128, 12)
          .Dx(49, Ctl())
          .List({{"Cross wire control", kCmdCrossWire},
                 {"Cloud platform control mode 1", kCmdGimbalMode1},
                 {"Cloud platform control mode 2", kCmdGimbalMode2}})
          .Named("Control mode"),
      R(idc::StartTracking, K::Button, "OK", 162, 88, 30, 14),
      R(idc::CancelTracking, K::Button, "CANCEL", 196, 88, 44, 14),
      R(idc::ExitTracking, K::Button, "Exit tracking", 244, 88, 56, 14),
      R(idc::Up, K::Button, "UP", 64, 106, 34, 14),
      R(idc::Left, K::Button, "LEFT", 28, 122, 34, 14),
      R(idc::Step, K::Edit, "", 66, 123, 30, 12)
          .Dx(2, Int(&B::m_nStep, -32768, 32767))
          .Says("(step of UP, DOWN, LEFT, RIGHT)")
          .Named("Step of UP, DOWN, LEFT, RIGHT"),
      R(idc::Right, K::Button, "RIGHT", 100, 122, 34, 14),
      R(idc::Down, K::Button, "DOWN", 64, 138, 34, 14),
      R(0, K::Label, "X：", 142, 110, 14, 10),
      R(idc::OffsetX, K::Edit, "", 158, 108, 40, 12).Dx(3, Int(&B::m_nOffsetX)),
      R(0, K::Label, "Y：", 142, 128, 14, 10),
      R(idc::OffsetY, K::Edit, "", 158, 126, 40, 12).Dx(4, Int(&B::m_nOffsetY)),
      R(idc::Frozen, K::Button, "Frozen", 206, 106, 44, 14),
      R(idc::Thaw, K::Button, "Thaw", 256, 106, 44, 14),
      R(idc::Shutter, K::Button, "Stall shutter", 206, 124, 94, 14),
      R(idc::Channel, K::Combo, "", 28, 159, 112, 12)
          .Dx(7, Ctl())
          .List(Indexed({"0:visible light+Infrared", "1:Infrared", "2:Infrared+visible light", "3:visible light",
                         "4: ", "5: ", "6: ", "7: "}))
          .Named("Channel"),
      R(idc::ChannelOk, K::Button, "OK", 144, 158, 28, 14),
      R(idc::Template, K::SortedCombo, "", 178, 159, 90, 12)
          .Dx(10, Ctl())
          .List({{"Adaptive template", kTemplateAdaptive},
                 {"Small template", kTemplateSmall},
                 {"Middle template", kTemplateMiddle},
                 {"Large template", kTemplateLarge}})
          .Named("Template"),
      R(idc::TemplateOk, K::Button, "OK", 272, 158, 28, 14),
      R(idc::PseudoColor, K::Check, "Pseudo color", 28, 178, 66, 10).Dx(13, Chk(&B::m_bPseudoColor)),
      R(idc::Enhance, K::Check, "Image Enhancement ", 98, 178, 100, 10).Dx(68, Chk(&B::m_bImageEnhance)),
      R(idc::SingleCapture, K::Button, "Single capture", 206, 176, 94, 14),
      R(idc::StartStorage, K::Button, "Start storage", 28, 194, 64, 14),
      R(idc::StopStorage, K::Button, "Stop storage", 96, 194, 64, 14),
      R(idc::Network, K::Check, "Network", 166, 196, 44, 10).Dx(8, Chk(&B::m_bNetwork)),
      R(idc::Interlaced, K::Check, "Interlaced scanning ", 212, 196, 88, 10).Dx(11, Chk(&B::m_bInterlaced)),
      R(idc::Preservation, K::Combo, "", 28, 213, 104, 12)
          .Dx(66, Ctl())
          .List(Indexed(
              {"Infrared preservation", "Infrared 8 bit bmp", "Infrared 8 bit bin", "Infrared 14 bit bin", " "}))
          .Named("Infrared preservation"),
      R(idc::PreservationMode, K::Combo, "", 136, 213, 104, 12)
          .Dx(67, Ctl())
          .List(Indexed({"Preservation mode", "0: visible + infrared", "1: infrared", "2: infrared + visible",
                         "3: visible", "4:", "5:", "6:", "7:"}))
          .Named("Preservation mode"),
      R(0, K::Label, "Video length", 28, 232, 50, 10),
      R(idc::VideoLength, K::Edit, "", 80, 230, 50, 12).Dx(9, Int(&B::m_nVideoLength, 1, 65536)),

      // ---- OSD ----
      R(0, K::Group, "OSD设置", 312, 76, 312, 132),
      R(idc::HideOsd, K::Check, "Hide OSD", 318, 88, 48, 10).Dx(31, OsdBox()).Osd(false, kOsdHide),
      R(idc::HideCrossFrame, K::Check, "Hide cross frame", 368, 88, 80, 10)
          .Dx(32, OsdBox())
          .Osd(false, kOsdHideCrossFrame),
      R(idc::HideAttitude, K::Check, "Hide attitude angle", 450, 88, 88, 10)
          .Dx(33, OsdBox())
          .Osd(false, kOsdHideAttitude),
      R(idc::HideGps, K::Check, "Hide GPS", 540, 88, 48, 10).Dx(35, OsdBox()).Osd(false, kOsdHideGps),
      R(idc::MissDistance, K::Check, "All States display the miss distance and state", 318, 99, 162, 10)
          .Dx(34, OsdBox())
          .Osd(false, kOsdMissDistance),
      R(idc::HideTime, K::Check, "Hiding time", 482, 99, 56, 10).Dx(36, OsdBox()).Osd(false, kOsdHideTime),
      R(idc::BigFont, K::Check, "Big font", 540, 99, 46, 10).Dx(38, OsdBox()).Osd(false, kOsdBigFont),
      R(idc::HideFieldOfView, K::Check, "Hidden field of view", 318, 110, 92, 10)
          .Dx(37, OsdBox())
          .Osd(false, kOsdHideFieldOfView),
      R(idc::HideBorder, K::Check, "Hide character border", 412, 110, 100, 10)
          .Dx(46, OsdBox())
          .Osd(true, kOsdHideBorder),
      R(idc::GpsInput, K::Check, "GPS input", 514, 110, 50, 10).Dx(39, OsdBox()).Osd(true, kOsdGpsInput),
      R(idc::GpsRelative, K::Check, "GPS is relative coordinate", 318, 121, 116, 10)
          .Dx(40, OsdBox())
          .Osd(true, kOsdGpsRelative),
      R(idc::AngleInput, K::Check, "Cloud platform angle input", 436, 121, 118, 10)
          .Dx(41, OsdBox())
          .Osd(true, kOsdAngleInput),
      R(idc::FieldInput, K::Check, "Field/amplifier input", 318, 132, 98, 10)
          .Dx(42, OsdBox())
          .Osd(true, kOsdFieldInput),
      R(idc::FieldAngle, K::Check, "Field angle display", 418, 132, 90, 10).Dx(43, OsdBox()).Osd(true, kOsdFieldAngle),
      R(idc::TimeInput, K::Check, "Time input", 510, 132, 54, 10).Dx(44, OsdBox()).Osd(true, kOsdTimeInput),
      R(idc::SaveOsd, K::Check, "Save the OSD setting parameters", 318, 145, 130, 10)
          .Dx(45, OsdBox())
          .Osd(true, kOsdSave),
      R(idc::Core, K::Combo, "", 450, 144, 112, 12)
          .Dx(48, Ctl())
          .List({{"Core selection", kCoreNone},
                 {"Sony7520", kCoreSony7520},
                 {"Homemade machine 1", kCoreHomemade1},
                 {"Homemade machine 2", kCoreHomemade2},
                 {"Sony7520(60Hz)", kCoreSony7520At60Hz},
                 {"Homemade machine 1(60Hz)", kCoreHomemade1At60Hz},
                 {"Homemade machine 2(60Hz)", kCoreHomemade2At60Hz}})
          .Named("Core selection"),
      R(idc::OsdSettings, K::Button, "OSD settings", 564, 143, 56, 14),
      R(0, K::Label, "Year", 318, 162, 20, 10),
      R(idc::Year, K::Edit, "", 340, 160, 30, 12).Dx(15, Int(&B::m_nYear, 2017, 2099)),
      R(0, K::Label, "Month", 374, 162, 26, 10),
      R(idc::Month, K::Edit, "", 402, 160, 20, 12).Dx(16, Int(&B::m_nMonth, 1, 12)),
      R(0, K::Label, "Day", 426, 162, 18, 10),
      R(idc::Day, K::Edit, "", 446, 160, 20, 12).Dx(17, Int(&B::m_nDay, 1, 31)),
      R(0, K::Label, "Hour", 470, 162, 22, 10),
      R(idc::Hour, K::Edit, "", 494, 160, 20, 12).Dx(18, Int(&B::m_nHour, 0, 23)),
      R(0, K::Label, "Minute", 518, 162, 28, 10),
      R(idc::Minute, K::Edit, "", 548, 160, 20, 12).Dx(19, Int(&B::m_nMinute, 0, 59)),
      R(0, K::Label, "Second", 572, 162, 28, 10),
      R(idc::Second, K::Edit, "", 600, 160, 20, 12).Dx(20, Int(&B::m_nSecond, 0, 59)),
      R(0, K::Label, "Heading angle", 318, 177, 54, 10),
      R(idc::Heading, K::Edit, "", 374, 175, 40, 12).Dx(21, Flt(&B::m_fHeading)),
      R(0, K::Label, "Pitching angle", 418, 177, 56, 10),
      R(idc::Pitching, K::Edit, "", 476, 175, 40, 12).Dx(22, Flt(&B::m_fPitching)),
      R(0, K::Label, "Roll angle", 520, 177, 42, 10),
      R(idc::Roll, K::Edit, "", 564, 175, 40, 12).Dx(23, Flt(&B::m_fRoll)),
      R(0, K::Label, "GPS_N", 318, 192, 26, 10),
      R(idc::GpsN, K::Edit, "", 346, 190, 74, 12).Dx(24, Dbl(&B::m_dGpsN)),
      R(0, K::Label, "GPS_E", 424, 192, 26, 10),
      R(idc::GpsE, K::Edit, "", 452, 190, 74, 12).Dx(25, Dbl(&B::m_dGpsE)),
      R(0, K::Label, "GPS_H", 530, 192, 26, 10),
      R(idc::GpsH, K::Edit, "", 558, 190, 60, 12).Dx(26, Flt(&B::m_fGpsH)),

      // ---- Zoom ----
      R(0, K::Group, "Zoom", 630, 76, 146, 66),
      R(idc::PrivateZoom, K::Radio, "Private agreement", 636, 88, 84, 10),
      R(idc::Visca, K::Radio, "VISCA", 724, 88, 46, 10),
      R(idc::ZoomNarrow, K::Button, "Narrow", 636, 104, 36, 14),
      R(idc::ZoomSlider, K::Slider, "", 674, 103, 60, 16).Dx(29, Sld()).Range(1, 30).Says("(slider)").Named("Zoom"),
      R(idc::ZoomEnlarge, K::Button, "Enlarge", 736, 104, 36, 14),
      R(idc::ZoomText, K::Edit, "", 690, 124, 28, 12)
          .Dx(12, Int(&B::m_nZoomText, 1, 30))
          .Says("(the slider's value)")
          .Named("Zoom value"),

      // ---- polling controls, above the log ----
      R(idc::ShowRecvTime, K::Check, "Display reception time ", 632, 150, 104, 10)
          .Dx(58, Chk(&B::m_bShowRecvTime))
          .In("Received data"),
      R(idc::PollPeriod, K::Edit, "", 740, 149, 34, 12)
          .Dx(59, Int(&B::m_nPollPeriod, 1, 1000000))
          .Says("(poll period, ms)")
          .In("Received data")
          .Named("Poll period, ms"),
      R(idc::SetInterval, K::MultiLineButton, "Set time intervals", 632, 166, 70, 20).In("Received data"),
      R(idc::Empty, K::Button, "empty", 706, 169, 40, 14).In("Received data"),
      R(idc::PrepareTest, K::Button, "Preparation for testing", 632, 190, 100, 14).In("Received data"),

      // ---- SD card ----
      R(idc::Format, K::Button, "Format", 316, 214, 72, 20).In("SD card"),
      R(idc::Residual, K::MultiLineButton, "Residual capacity", 390, 214, 72, 20).In("SD card"),
      R(idc::QueryState, K::Button, "Query State", 464, 214, 72, 20).In("SD card"),
      R(idc::Pictures, K::MultiLineButton, "Number of Remaining Tenses ", 316, 238, 72, 20).In("SD card"),
      R(idc::Capacity, K::MultiLineButton, "SDcard Capacity ", 390, 238, 72, 20).In("SD card"),
      R(idc::Minutes, K::MultiLineButton, "Length of Remaining Video", 464, 238, 72, 20).In("SD card"),
      R(idc::FormatStatus, K::Edit, "", 316, 262, 220, 12)
          .Says("(format status field)")
          .In("SD card")
          .Named("Format status"),

      // ---- Temperature measurement ----
      R(0, K::Group, "Temperature measurement", 124, 261, 186, 76),
      R(0, K::Label, "Alarm temperature", 130, 275, 72, 10),
      // The frame carries 16 bits: a wider value would arrive as another temperature.
      R(idc::AlarmTemp, K::Edit, "", 204, 273, 40, 12).Dx(52, Int(&B::m_nAlarmTemp, -32768, 32767)),
      R(idc::AlarmOk, K::Button, "OK", 248, 272, 30, 14),
      R(idc::HighTemp, K::Check, "High temperature", 130, 290, 80, 10).Dx(50, Chk(&B::m_bHighTempAlarm)),
      R(idc::LowTemp, K::Check, "Low temperature", 214, 290, 80, 10).Dx(51, Chk(&B::m_bLowTempAlarm)),
      R(idc::TempBar, K::Check, "Temperature bar", 130, 305, 80, 10).Dx(14, Chk(&B::m_bTempBar)),
      R(idc::CompTempCheck, K::Check, "Compensation temperature", 130, 320, 116, 10).Dx(64, Chk(&B::m_bCompTemp)),
      R(idc::CompTemp, K::Edit, "", 250, 319, 52, 12)
          .Dx(65, Flt(&B::m_fCompTemp, -200, 300))
          .Says("(compensation temperature)")
          .Named("Compensation temperature"),

      // ---- left column below tracking ----
      R(idc::Steady, K::Combo, "", 22, 262, 96, 12)
          .Dx(28, Ctl())
          .List({{"Steady ON", kViscaOn}, {"Steady OFF", kViscaOff}, {"Steady holding", kViscaHold}})
          .In("Camera")
          .Named("Steady"),
      R(idc::Defog, K::Combo, "", 22, 280, 96, 12)
          .Dx(27, Ctl())
          .List({{"Fog ON", kViscaOn}, {"Fog OFF", kViscaOff}})
          .In("Camera")
          .Named("Fog"),
      R(idc::VideoFormat1, K::Combo, "", 22, 298, 96, 12)
          .Dx(47, Ctl())
          .List(Indexed({"1080i/59.94", "1080i/60",   "NTSC",    "1080i/50", "PAL",         "1080p/29.97", "1080p/30",
                         "1080p/25",    "720p/59.94", "720p/60", "Reserved", "720p/50",     "Reserved",    "720p/29.97",
                         "720p/30",     "Reserved",   "720p/25", "Reserved", "1080p/59.94", "1080p/50",    "1080p/60"}))
          .In("Camera")
          .Named("Video format"),
      R(idc::VideoFormat2, K::Combo, "", 22, 316, 96, 12)
          .Dx(57, Ctl())
          .List({{"1080p/29.97", 0x06},
                 {"1080p/30", 0x07},
                 {"1080p/25", 0x08},
                 {"1080p/59.94", 0x13},
                 {"1080p/50", 0x14},
                 {"1080p/60", 0x15}})
          .In("Camera")
          .Named("Second video format"),

      // ---- bottom rows ----
      R(0, K::Label, "Manual input ", 22, 354, 54, 10),
      R(idc::ManualText, K::Edit, "", 78, 352, 380, 12).Dx(56, Str(&B::m_strManual)).In("Manual input"),
      R(idc::ManualSend, K::Button, "Manual input ", 462, 351, 74, 14).In("Manual input"),
      R(0, K::Label, "Send instruction", 22, 374, 62, 10),
      R(idc::SentFrame, K::Static, "", 86, 374, 450, 36).Dx(30, Str(&B::m_strSentFrame)).In("Manual input"),

      // ---- receive log, lower right ----
      R(idc::RecvLog, K::SimpleCombo, "", 544, 210, 232, 215)
          .Dx(55, Ctl())
          .Says("(received data)")
          .In("Received data")
          .Named("Received data"),

  };
  return rows;
}

const std::vector<ControlDef>& ControlTable() {
  static const std::vector<ControlDef> table = [] {
    std::vector<ControlDef> t;
    for (const ControlRow& r : ControlRows()) t.push_back(r.def);
    return t;
  }();
  return table;
}

const ControlRow* FindRow(int id) {
  if (id == 0) return nullptr;
  for (const ControlRow& r : ControlRows())
    if (r.def.id == id) return &r;
  return nullptr;
}

const ControlDef* FindControl(int id) {
  const ControlRow* row = FindRow(id);
  return row ? &row->def : nullptr;
}

bool TakesGesture(int id, Gesture gesture) {
  const ControlDef* def = FindControl(id);
  if (!def) return false;
  using K = ControlKind;
  switch (gesture) {
    case Gesture::kClick: return def->kind == K::Button || def->kind == K::MultiLineButton || def->kind == K::Check ||
                                 def->kind == K::Radio;
    case Gesture::kType: return def->kind == K::Edit || def->kind == K::Combo || def->kind == K::SortedCombo ||
                                def->kind == K::SimpleCombo;
    case Gesture::kSelect: return def->kind == K::Combo || def->kind == K::SortedCombo;
    case Gesture::kSlide: return def->kind == K::Slider;
  }
  return false;
}

namespace {
// Every list's entries in template order, from the rows.
const std::map<int, std::vector<ListEntry>>& Lists() {
  static const std::map<int, std::vector<ListEntry>> lists = [] {
    std::map<int, std::vector<ListEntry>> m;
    for (const ControlRow& r : ControlRows())
      if (!r.entries.empty()) m[r.def.id] = r.entries;
    return m;
  }();
  return lists;
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// The entries as the list shows and indexes them: a sorted list in
// alphabetical order, case-insensitive, as the list control sorts.
std::vector<ListEntry> Displayed(int id) {
  const auto it = Lists().find(id);
  if (it == Lists().end()) return {};
  std::vector<ListEntry> entries = it->second;
  const ControlDef* def = FindControl(id);
  if (def && def->kind == ControlKind::SortedCombo)
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ListEntry& a, const ListEntry& b) { return CaseInsensitiveLess(a.caption, b.caption); });
  return entries;
}
}  // namespace

const std::vector<std::string>& ListEntries(int id) {
  static const std::map<int, std::vector<std::string>> captions = [] {
    std::map<int, std::vector<std::string>> m;
    for (const auto& [list, entries] : Lists())
      for (const ListEntry& e : entries) m[list].push_back(e.caption);
    return m;
  }();
  static const std::vector<std::string> none;
  const auto it = captions.find(id);
  return it == captions.end() ? none : it->second;
}

std::optional<int> SelectedCode(int id, int selection) {
  const std::vector<ListEntry> entries = Displayed(id);
  if (selection < 0 || selection >= static_cast<int>(entries.size())) return std::nullopt;
  return entries[static_cast<std::size_t>(selection)].code;
}

PortChoice ChosenLine(int portSelection, int baudSelection, int paritySelection) {
  const std::optional<int> parity = SelectedCode(idc::Parity, paritySelection);
  return ChoosePortSettings(portSelection + 1, static_cast<std::uint32_t>(SelectedCode(idc::Baud, baudSelection).value_or(0)),
                            parity ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(*parity)) : std::nullopt);
}

const std::vector<OsdCheck>& OsdChecks() {
  static const std::vector<OsdCheck> checks = [] {
    std::vector<OsdCheck> c;
    for (const ControlRow& r : ControlRows())
      if (r.osd) c.push_back(*r.osd);
    return c;
  }();
  return checks;
}

std::vector<std::string> DisplayedEntries(int id) {
  std::vector<std::string> captions;
  for (const ListEntry& e : Displayed(id)) captions.push_back(e.caption);
  return captions;
}

const std::vector<SliderRange>& SliderRanges() {
  static const std::vector<SliderRange> ranges = [] {
    std::vector<SliderRange> s;
    for (const ControlRow& r : ControlRows())
      if (r.slider) s.push_back({r.def.id, r.slider->first, r.slider->second});
    return s;
  }();
  return ranges;
}

namespace {
const char* KindName(ControlKind k) {
  switch (k) {
    case ControlKind::Button:
    case ControlKind::MultiLineButton: return "button";
    case ControlKind::Check: return "check box";
    case ControlKind::Radio: return "radio button";
    case ControlKind::Edit: return "edit";
    case ControlKind::Combo: return "list";
    case ControlKind::SortedCombo: return "sorted list";
    case ControlKind::SimpleCombo: return "log";
    case ControlKind::Slider: return "slider";
    case ControlKind::Static: return "text";
    case ControlKind::Group:
    case ControlKind::Label: break;
  }
  return "";
}

bool Inside(const ControlDef& c, const ControlDef& g) {
  return c.x >= g.x && c.y >= g.y && c.x + c.w <= g.x + g.w && c.y + c.h <= g.y + g.h;
}

}  // namespace

std::string AccessibleName(int id) {
  const ControlRow* row = FindRow(id);
  if (!row) return {};
  if (*row->name) return row->name;
  // The listing's caption (the label beside it), worked out once for all.
  static const std::map<int, std::string> captions = [] {
    std::map<int, std::string> m;
    for (const ControlListing& l : ListControls()) m[l.id] = l.caption;
    return m;
  }();
  const auto it = captions.find(id);
  return it == captions.end() ? std::string() : it->second;
}

std::vector<ControlListing> ListControls() {
  const std::vector<ControlDef>& table = ControlTable();
  std::vector<ControlListing> out;
  for (const ControlDef& c : table) {
    if (c.id == 0) continue;
    ControlListing l{c.id, KindName(c.kind), c.caption, {}};
    for (const ControlDef& g : table)
      if (g.kind == ControlKind::Group && Inside(c, g)) l.group = g.caption;
    if (l.group.empty()) l.group = FindRow(c.id)->group;
    while (!l.group.empty() && l.group.back() == ' ') l.group.pop_back();
    if (l.caption.empty()) l.caption = FindRow(c.id)->description;
    if (l.caption.empty()) {
      // The label just left of it on the same row.
      const ControlDef* best = nullptr;
      for (const ControlDef& label : table)
        if (label.kind == ControlKind::Label && std::abs(label.y - c.y) <= 3 && label.x + label.w <= c.x + 2 &&
            c.x - (label.x + label.w) < 12 && (!best || label.x > best->x))
          best = &label;
      if (best) l.caption = best->caption;
    }
    if (l.caption.empty() && !DisplayedEntries(c.id).empty()) l.caption = DisplayedEntries(c.id).front() + ", ...";
    while (!l.caption.empty() && l.caption.back() == ' ') l.caption.pop_back();
    out.push_back(std::move(l));
  }
  // Group by group, each in the order its first control comes in the table.
  std::vector<std::string> order;
  for (const ControlListing& l : out)
    if (std::find(order.begin(), order.end(), l.group) == order.end()) order.push_back(l.group);
  std::stable_sort(out.begin(), out.end(), [&](const ControlListing& a, const ControlListing& b) {
    return std::find(order.begin(), order.end(), a.group) < std::find(order.begin(), order.end(), b.group);
  });
  return out;
}
