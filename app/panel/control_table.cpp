#include "app/panel/control_table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "protocol/commands.h"
#include "serial/comm_types.h"

using K = ControlKind;

const std::vector<ControlDef>& ControlTable() {
  static const std::vector<ControlDef> table = {
      // ---- I/O ----
      {0, K::Group, "I/O", 25, 15, 320, 56},
      {0, K::Label, "I/O ID", 33, 30, 28, 10},
      {idc::ComPort, K::Combo, "", 62, 28, 50, 12},
      {0, K::Label, "BAUD", 120, 30, 22, 10},
      {idc::Baud, K::Combo, "", 144, 28, 52, 12},
      {0, K::Label, "Check mode", 202, 30, 44, 10},
      {idc::Parity, K::Combo, "", 248, 28, 90, 12},
      {idc::Status, K::Static, "", 33, 50, 305, 12},

      // ---- the three slider groups ----
      {0, K::Group, "Temperature Compensation Coefficient ", 354, 14, 144, 57},
      {idc::CoeffSlider, K::Slider, "", 360, 28, 132, 16},
      {idc::CoeffNarrow, K::Button, "Narrow", 360, 50, 40, 14},
      {idc::CoeffText, K::Edit, "", 404, 51, 44, 12},
      {idc::CoeffEnlarge, K::Button, "Enlarge", 452, 50, 40, 14},
      {0, K::Group, "Contrast Ratio ", 503, 14, 137, 57},
      {idc::ContrastSlider, K::Slider, "", 509, 28, 125, 16},
      {idc::ContrastNarrow, K::Button, "Narrow", 509, 50, 38, 14},
      {idc::ContrastText, K::Edit, "", 551, 51, 40, 12},
      {idc::ContrastEnlarge, K::Button, "Enlarge", 595, 50, 39, 14},
      {0, K::Group, "Brightness", 645, 14, 130, 57},
      {idc::BrightnessSlider, K::Slider, "", 651, 28, 118, 16},
      {idc::BrightnessNarrow, K::Button, "Narrow", 651, 50, 37, 14},
      {idc::BrightnessText, K::Edit, "", 691, 51, 36, 12},
      {idc::BrightnessEnlarge, K::Button, "Enlarge", 730, 50, 39, 14},

      // ---- Tracking control ----
      {0, K::Group, "Tracking control", 22, 76, 284, 174},
      {idc::ControlMode, K::Combo, "", 28, 89, 128, 12},
      {idc::StartTracking, K::Button, "OK", 162, 88, 30, 14},
      {idc::CancelTracking, K::Button, "CANCEL", 196, 88, 44, 14},
      {idc::ExitTracking, K::Button, "Exit tracking", 244, 88, 56, 14},
      {idc::Up, K::Button, "UP", 64, 106, 34, 14},
      {idc::Left, K::Button, "LEFT", 28, 122, 34, 14},
      {idc::Step, K::Edit, "", 66, 123, 30, 12},
      {idc::Right, K::Button, "RIGHT", 100, 122, 34, 14},
      {idc::Down, K::Button, "DOWN", 64, 138, 34, 14},
      {0, K::Label, "X：", 142, 110, 14, 10},
      {idc::OffsetX, K::Edit, "", 158, 108, 40, 12},
      {0, K::Label, "Y：", 142, 128, 14, 10},
      {idc::OffsetY, K::Edit, "", 158, 126, 40, 12},
      {idc::Frozen, K::Button, "Frozen", 206, 106, 44, 14},
      {idc::Thaw, K::Button, "Thaw", 256, 106, 44, 14},
      {idc::Shutter, K::Button, "Stall shutter", 206, 124, 94, 14},
      {idc::Channel, K::Combo, "", 28, 159, 112, 12},
      {idc::ChannelOk, K::Button, "OK", 144, 158, 28, 14},
      {idc::Template, K::SortedCombo, "", 178, 159, 90, 12},
      {idc::TemplateOk, K::Button, "OK", 272, 158, 28, 14},
      {idc::PseudoColor, K::Check, "Pseudo color", 28, 178, 66, 10},
      {idc::Enhance, K::Check, "Image Enhancement ", 98, 178, 100, 10},
      {idc::SingleCapture, K::Button, "Single capture", 206, 176, 94, 14},
      {idc::StartStorage, K::Button, "Start storage", 28, 194, 64, 14},
      {idc::StopStorage, K::Button, "Stop storage", 96, 194, 64, 14},
      {idc::Network, K::Check, "Network", 166, 196, 44, 10},
      {idc::Interlaced, K::Check, "Interlaced scanning ", 212, 196, 88, 10},
      {idc::Preservation, K::Combo, "", 28, 213, 104, 12},
      {idc::PreservationMode, K::Combo, "", 136, 213, 104, 12},
      {0, K::Label, "Video length", 28, 232, 50, 10},
      {idc::VideoLength, K::Edit, "", 80, 230, 50, 12},

      // ---- OSD ----
      {0, K::Group, "OSD设置", 312, 76, 312, 132},
      {1130, K::Check, "Hide OSD", 318, 88, 48, 10},
      {1131, K::Check, "Hide cross frame", 368, 88, 80, 10},
      {1132, K::Check, "Hide attitude angle", 450, 88, 88, 10},
      {1134, K::Check, "Hide GPS", 540, 88, 48, 10},
      {1133, K::Check, "All States display the miss distance and state", 318, 99, 162, 10},
      {1135, K::Check, "Hiding time", 482, 99, 56, 10},
      {1137, K::Check, "Big font", 540, 99, 46, 10},
      {1136, K::Check, "Hidden field of view", 318, 110, 92, 10},
      {1145, K::Check, "Hide character border", 412, 110, 100, 10},
      {1139, K::Check, "GPS input", 514, 110, 50, 10},
      {1140, K::Check, "GPS is relative coordinate", 318, 121, 116, 10},
      {1141, K::Check, "Cloud platform angle input", 436, 121, 118, 10},
      {1142, K::Check, "Field/amplifier input", 318, 132, 98, 10},
      {1143, K::Check, "Field angle display", 418, 132, 90, 10},
      {1144, K::Check, "Time input", 510, 132, 54, 10},
      {1138, K::Check, "Save the OSD setting parameters", 318, 145, 130, 10},
      {idc::Core, K::Combo, "", 450, 144, 112, 12},
      {idc::OsdSettings, K::Button, "OSD settings", 564, 143, 56, 14},
      {0, K::Label, "Year", 318, 162, 20, 10},
      {idc::Year, K::Edit, "", 340, 160, 30, 12},
      {0, K::Label, "Month", 374, 162, 26, 10},
      {idc::Month, K::Edit, "", 402, 160, 20, 12},
      {0, K::Label, "Day", 426, 162, 18, 10},
      {idc::Day, K::Edit, "", 446, 160, 20, 12},
      {0, K::Label, "Hour", 470, 162, 22, 10},
      {idc::Hour, K::Edit, "", 494, 160, 20, 12},
      {0, K::Label, "Minute", 518, 162, 28, 10},
      {idc::Minute, K::Edit, "", 548, 160, 20, 12},
      {0, K::Label, "Second", 572, 162, 28, 10},
      {idc::Second, K::Edit, "", 600, 160, 20, 12},
      {0, K::Label, "Heading angle", 318, 177, 54, 10},
      {idc::Heading, K::Edit, "", 374, 175, 40, 12},
      {0, K::Label, "Pitching angle", 418, 177, 56, 10},
      {idc::Pitching, K::Edit, "", 476, 175, 40, 12},
      {0, K::Label, "Roll angle", 520, 177, 42, 10},
      {idc::Roll, K::Edit, "", 564, 175, 40, 12},
      {0, K::Label, "GPS_N", 318, 192, 26, 10},
      {idc::GpsN, K::Edit, "", 346, 190, 74, 12},
      {0, K::Label, "GPS_E", 424, 192, 26, 10},
      {idc::GpsE, K::Edit, "", 452, 190, 74, 12},
      {0, K::Label, "GPS_H", 530, 192, 26, 10},
      {idc::GpsH, K::Edit, "", 558, 190, 60, 12},

      // ---- Zoom ----
      {0, K::Group, "Zoom", 630, 76, 146, 66},
      {idc::PrivateZoom, K::Radio, "Private agreement", 636, 88, 84, 10},
      {idc::Visca, K::Radio, "VISCA", 724, 88, 46, 10},
      {idc::ZoomNarrow, K::Button, "Narrow", 636, 104, 36, 14},
      {idc::ZoomSlider, K::Slider, "", 674, 103, 60, 16},
      {idc::ZoomEnlarge, K::Button, "Enlarge", 736, 104, 36, 14},
      {idc::ZoomText, K::Edit, "", 690, 124, 28, 12},

      // ---- polling controls, above the log ----
      {idc::ShowRecvTime, K::Check, "Display reception time ", 632, 150, 104, 10},
      {idc::PollPeriod, K::Edit, "", 740, 149, 34, 12},
      {idc::SetInterval, K::MultiLineButton, "Set time intervals", 632, 166, 70, 20},
      {idc::Empty, K::Button, "empty", 706, 169, 40, 14},
      {idc::PrepareTest, K::Button, "Preparation for testing", 632, 190, 100, 14},

      // ---- SD card ----
      {idc::Format, K::Button, "Format", 316, 214, 72, 20},
      {idc::Residual, K::MultiLineButton, "Residual capacity", 390, 214, 72, 20},
      {idc::QueryState, K::Button, "Query State", 464, 214, 72, 20},
      {idc::Pictures, K::MultiLineButton, "Number of Remaining Tenses ", 316, 238, 72, 20},
      {idc::Capacity, K::MultiLineButton, "SDcard Capacity ", 390, 238, 72, 20},
      {idc::Minutes, K::MultiLineButton, "Length of Remaining Video", 464, 238, 72, 20},
      {idc::FormatStatus, K::Edit, "", 316, 262, 220, 12},

      // ---- Temperature measurement ----
      {0, K::Group, "Temperature measurement", 124, 261, 186, 76},
      {0, K::Label, "Alarm temperature", 130, 275, 72, 10},
      {idc::AlarmTemp, K::Edit, "", 204, 273, 40, 12},
      {idc::AlarmOk, K::Button, "OK", 248, 272, 30, 14},
      {idc::HighTemp, K::Check, "High temperature", 130, 290, 80, 10},
      {idc::LowTemp, K::Check, "Low temperature", 214, 290, 80, 10},
      {idc::TempBar, K::Check, "Temperature bar", 130, 305, 80, 10},
      {idc::CompTempCheck, K::Check, "Compensation temperature", 130, 320, 116, 10},
      {idc::CompTemp, K::Edit, "", 250, 319, 52, 12},

      // ---- left column below tracking ----
      {idc::Steady, K::Combo, "", 22, 262, 96, 12},
      {idc::Defog, K::Combo, "", 22, 280, 96, 12},
      {idc::VideoFormat1, K::Combo, "", 22, 298, 96, 12},
      {idc::VideoFormat2, K::Combo, "", 22, 316, 96, 12},

      // ---- bottom rows ----
      {0, K::Label, "Manual input ", 22, 354, 54, 10},
      {idc::ManualText, K::Edit, "", 78, 352, 380, 12},
      {idc::ManualSend, K::Button, "Manual input ", 462, 351, 74, 14},
      {0, K::Label, "Send instruction", 22, 374, 62, 10},
      {idc::SentFrame, K::Static, "", 86, 374, 450, 36},

      // ---- receive log, lower right ----
      {idc::RecvLog, K::SimpleCombo, "", 544, 210, 232, 215},
  };
  return table;
}

const ControlDef* FindControl(int id) {
  if (id == 0) return nullptr;
  for (const ControlDef& c : ControlTable())
    if (c.id == id) return &c;
  return nullptr;
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
// Every list's entries in template order, each with what it means to the
// device beside its caption: the command code, template size, VISCA
// parameter, camera core or line setting it stands for. Lists whose position
// is itself what goes out (channel, preservation) carry their index.
const std::map<int, std::vector<ListEntry>>& Lists() {
  static const std::map<int, std::vector<ListEntry>> lists = [] {
    std::map<int, std::vector<ListEntry>> m;
    auto indexed = [](std::vector<std::string> captions) {
      std::vector<ListEntry> entries;
      for (std::size_t i = 0; i < captions.size(); ++i) entries.push_back({captions[i], static_cast<int>(i)});
      return entries;
    };
    std::vector<std::string> com;
    for (int i = 1; i <= 21; ++i) com.push_back("COM" + std::to_string(i));
    m[idc::ComPort] = indexed(com);
    m[idc::Baud] = {{"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"57600", 57600}, {"115200", 115200}};
    m[idc::Parity] = {{"NOPARITY", comm::NOPARITY},
                      {"ODDPARITY", comm::ODDPARITY},
                      {"EVENPARITY", comm::EVENPARITY},
                      {"MARKPARITY", comm::MARKPARITY},
                      {"SPACEPARITY", comm::SPACEPARITY}};
    m[idc::Channel] = indexed({"0:visible light+Infrared", "1:Infrared", "2:Infrared+visible light",
                               "3:visible light", "4: ", "5: ", "6: ", "7: "});
    m[idc::Template] = {{"Adaptive template", kTemplateAdaptive},
                        {"Small template", kTemplateSmall},
                        {"Middle template", kTemplateMiddle},
                        {"Large template", kTemplateLarge}};
    m[idc::Defog] = {{"Fog ON", kViscaOn}, {"Fog OFF", kViscaOff}};
    m[idc::Steady] = {{"Steady ON", kViscaOn}, {"Steady OFF", kViscaOff}, {"Steady holding", kViscaHold}};
    m[idc::VideoFormat1] = indexed({"1080i/59.94", "1080i/60",   "NTSC",        "1080i/50",   "PAL",
                                    "1080p/29.97", "1080p/30",   "1080p/25",    "720p/59.94", "720p/60",
                                    "Reserved",    "720p/50",    "Reserved",    "720p/29.97", "720p/30",
                                    "Reserved",    "720p/25",    "Reserved",    "1080p/59.94", "1080p/50",
                                    "1080p/60"});
    m[idc::Core] = {{"Core selection", kCoreNone},
                    {"Sony7520", kCoreSony7520},
                    {"Homemade machine 1", kCoreHomemade1},
                    {"Homemade machine 2", kCoreHomemade2},
                    {"Sony7520(60Hz)", kCoreSony7520At60Hz},
                    {"Homemade machine 1(60Hz)", kCoreHomemade1At60Hz},
                    {"Homemade machine 2(60Hz)", kCoreHomemade2At60Hz}};
    m[idc::ControlMode] = {{"Cross wire control", kCmdCrossWire},
                           {"Cloud platform control mode 1", kCmdGimbalMode1},
                           {"Cloud platform control mode 2", kCmdGimbalMode2}};
    m[idc::VideoFormat2] = {{"1080p/29.97", 0x06}, {"1080p/30", 0x07}, {"1080p/25", 0x08},
                            {"1080p/59.94", 0x13}, {"1080p/50", 0x14}, {"1080p/60", 0x15}};
    m[idc::Preservation] = indexed({"Infrared preservation", "Infrared 8 bit bmp", "Infrared 8 bit bin",
                                    "Infrared 14 bit bin", " "});
    m[idc::PreservationMode] = indexed({"Preservation mode", "0: visible + infrared", "1: infrared",
                                        "2: infrared + visible", "3: visible", "4:", "5:", "6:", "7:"});
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
  static const std::vector<OsdCheck> checks = {
      {1130, false, kOsdHide},          {1131, false, kOsdHideCrossFrame}, {1132, false, kOsdHideAttitude},
      {1133, false, kOsdMissDistance},  {1134, false, kOsdHideGps},        {1135, false, kOsdHideTime},
      {1136, false, kOsdHideFieldOfView}, {1137, false, kOsdBigFont},
      {idc::SaveOsd, true, kOsdSave},   {idc::TimeInput, true, kOsdTimeInput}, {1139, true, kOsdGpsInput},
      {1140, true, kOsdGpsRelative},    {1141, true, kOsdAngleInput},      {1142, true, kOsdFieldInput},
      {1143, true, kOsdFieldAngle},     {idc::HideBorder, true, kOsdHideBorder},
  };
  return checks;
}

std::vector<std::string> DisplayedEntries(int id) {
  std::vector<std::string> captions;
  for (const ListEntry& e : Displayed(id)) captions.push_back(e.caption);
  return captions;
}

const std::vector<SliderRange>& SliderRanges() {
  static const std::vector<SliderRange> ranges = {
      {idc::ZoomSlider, 1, 30},
      {idc::CoeffSlider, 0, 200},
      {idc::ContrastSlider, 0, 100},
      {idc::BrightnessSlider, 0, 100},
  };
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

// The parts of the panel that have no frame of their own, by the ids in them.
std::string UnframedGroup(int id) {
  if (id >= idc::Format && id <= idc::Minutes) return "SD card";
  if (id == idc::Residual || id == idc::FormatStatus) return "SD card";
  if (id == idc::Steady || id == idc::Defog || id == idc::VideoFormat1 || id == idc::VideoFormat2) return "Camera";
  if (id == idc::ManualText || id == idc::ManualSend || id == idc::SentFrame) return "Manual input";
  return "Received data";
}

// What a control without a caption or a label of its own shows, in brackets
// so that nobody takes it for a text of the panel.
const char* Description(int id) {
  switch (id) {
    case idc::Status: return "(port status line)";
    case idc::ZoomSlider:
    case idc::CoeffSlider:
    case idc::ContrastSlider:
    case idc::BrightnessSlider: return "(slider)";
    case idc::ZoomText:
    case idc::CoeffText:
    case idc::ContrastText:
    case idc::BrightnessText: return "(the slider's value)";
    case idc::Step: return "(step of UP, DOWN, LEFT, RIGHT)";
    case idc::PollPeriod: return "(poll period, ms)";
    case idc::FormatStatus: return "(format status field)";
    case idc::CompTemp: return "(compensation temperature)";
    case idc::RecvLog: return "(received data)";
    default: return "";
  }
}
}  // namespace

std::vector<ControlListing> ListControls() {
  const std::vector<ControlDef>& table = ControlTable();
  std::vector<ControlListing> out;
  for (const ControlDef& c : table) {
    if (c.id == 0) continue;
    ControlListing l{c.id, KindName(c.kind), c.caption, {}};
    for (const ControlDef& g : table)
      if (g.kind == ControlKind::Group && Inside(c, g)) l.group = g.caption;
    if (l.group.empty()) l.group = UnframedGroup(c.id);
    while (!l.group.empty() && l.group.back() == ' ') l.group.pop_back();
    if (l.caption.empty()) l.caption = Description(c.id);
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
