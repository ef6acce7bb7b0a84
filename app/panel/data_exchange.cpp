#include "app/panel/data_exchange.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <variant>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/panel/control_table.h"

namespace {
enum class RowKind { String, Control, Slider, Int, Float, Double, Check };

struct Row {
  int id;
  RowKind kind;
  std::variant<std::monostate, std::string BoundValues::*, int BoundValues::*, float BoundValues::*,
               double BoundValues::*, int>
      member;  // int alternative: index into m_bOsd
  std::optional<double> min, max;
};

Row Str(int id, std::string BoundValues::*m) { return {id, RowKind::String, m, {}, {}}; }
Row Ctl(int id) { return {id, RowKind::Control, std::monostate{}, {}, {}}; }
Row Sld(int id) { return {id, RowKind::Slider, std::monostate{}, {}, {}}; }
Row Int(int id, int BoundValues::*m) { return {id, RowKind::Int, m, {}, {}}; }
Row Int(int id, int BoundValues::*m, int lo, int hi) { return {id, RowKind::Int, m, lo, hi}; }
Row Flt(int id, float BoundValues::*m) { return {id, RowKind::Float, m, {}, {}}; }
Row Flt(int id, float BoundValues::*m, double lo, double hi) { return {id, RowKind::Float, m, lo, hi}; }
Row Dbl(int id, double BoundValues::*m) { return {id, RowKind::Double, m, {}, {}}; }
Row Chk(int id, int BoundValues::*m) { return {id, RowKind::Check, m, {}, {}}; }
Row Osd(int id) { return {id, RowKind::Check, id - 1130, {}, {}}; }

using B = BoundValues;

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = [] {
    std::vector<Row> r = {
        Str(idc::Status, &B::m_strStatus),
        Ctl(idc::ComPort),
        Int(idc::Step, &B::m_nStep, -32768, 32767),  // the 16 bits a move carries
        Int(idc::OffsetX, &B::m_nOffsetX),
        Int(idc::OffsetY, &B::m_nOffsetY),
        Ctl(idc::Baud),
        Ctl(idc::Parity),
        Ctl(idc::Channel),
        Chk(idc::Network, &B::m_bNetwork),
        Int(idc::VideoLength, &B::m_nVideoLength, 1, 65536),
        Ctl(idc::Template),
        Chk(idc::Interlaced, &B::m_bInterlaced),
        Int(idc::ZoomText, &B::m_nZoomText, 1, 30),
        Chk(idc::PseudoColor, &B::m_bPseudoColor),
        Chk(idc::TempBar, &B::m_bTempBar),
        Int(idc::Year, &B::m_nYear, 2017, 2099),
        Int(idc::Month, &B::m_nMonth, 1, 12),
        Int(idc::Day, &B::m_nDay, 1, 31),
        Int(idc::Hour, &B::m_nHour, 0, 23),
        Int(idc::Minute, &B::m_nMinute, 0, 59),
        Int(idc::Second, &B::m_nSecond, 0, 59),
        Flt(idc::Heading, &B::m_fHeading),
        Flt(idc::Pitching, &B::m_fPitching),
        Flt(idc::Roll, &B::m_fRoll),
        Dbl(idc::GpsN, &B::m_dGpsN),
        Dbl(idc::GpsE, &B::m_dGpsE),
        Flt(idc::GpsH, &B::m_fGpsH),
        Ctl(idc::Defog),
        Ctl(idc::Steady),
        Sld(idc::ZoomSlider),
        Str(idc::SentFrame, &B::m_strSentFrame),
    };
    for (int id = 1130; id <= 1137; ++id) r.push_back(Osd(id));
    for (int id = 1139; id <= 1144; ++id) r.push_back(Osd(id));
    r.push_back(Osd(1138));
    r.push_back(Osd(1145));
    const std::vector<Row> tail = {
        Ctl(idc::VideoFormat1),
        Ctl(idc::Core),
        Ctl(idc::ControlMode),
        Chk(idc::HighTemp, &B::m_bHighTempAlarm),
        Chk(idc::LowTemp, &B::m_bLowTempAlarm),
        Int(idc::AlarmTemp, &B::m_nAlarmTemp),
        Sld(idc::CoeffSlider),
        Int(idc::CoeffText, &B::m_nCoeffText, 0, 200),
        Ctl(idc::RecvLog),
        Str(idc::ManualText, &B::m_strManual),
        Ctl(idc::VideoFormat2),
        Chk(idc::ShowRecvTime, &B::m_bShowRecvTime),
        Int(idc::PollPeriod, &B::m_nPollPeriod, 1, 1000000),  // ms, what the poll timer takes
        Sld(idc::ContrastSlider),
        Int(idc::ContrastText, &B::m_nContrastText),
        Sld(idc::BrightnessSlider),
        Int(idc::BrightnessText, &B::m_nBrightnessText),
        Chk(idc::CompTempCheck, &B::m_bCompTemp),
        Flt(idc::CompTemp, &B::m_fCompTemp, -200, 300),
        Ctl(idc::Preservation),
        Ctl(idc::PreservationMode),
        Chk(idc::Enhance, &B::m_bImageEnhance),
    };
    r.insert(r.end(), tail.begin(), tail.end());
    return r;
  }();
  return rows;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string FormatBound(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);  // 1000000, not 1e+06
  return buf;
}

void SetSliderRange(IControls& c, int id) {
  for (const SliderRange& r : SliderRanges())
    if (r.id == id) c.SetRange(id, r.min, r.max);
}
}  // namespace

std::string FormatFloat6(float value) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.6g", static_cast<double>(value));
  return buf;
}

std::string FormatDouble15(double value) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}

bool ParseIntText(const std::string& text, int& out) {
  const std::string t = Trim(text);
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (b != e && *b == '+') ++b;
  int v = 0;
  const auto [p, ec] = std::from_chars(b, e, v);
  if (ec != std::errc() || p != e || b == e) return false;
  out = v;
  return true;
}

bool ParseDoubleText(const std::string& text, double& out) {
  const std::string t = Trim(text);
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (b != e && *b == '+') ++b;
  double v = 0;
  const auto [p, ec] = std::from_chars(b, e, v);
  if (ec != std::errc() || p != e || b == e || !std::isfinite(v)) return false;
  out = v;
  return true;
}

const std::vector<int>& ExchangeOrder() {
  static const std::vector<int> order = [] {
    std::vector<int> ids;
    for (const Row& r : Rows()) ids.push_back(r.id);
    return ids;
  }();
  return order;
}

bool DoDataExchange(IControls& c, BoundValues& v, bool save, DxFailure* failure, const std::set<int>* skip) {
  auto fail = [&](const Row& row, std::string text, std::string message) {
    if (failure) *failure = {row.id, std::move(text), std::move(message)};
    return false;
  };
  for (const Row& row : Rows()) {
    if (row.kind == RowKind::Slider) {
      SetSliderRange(c, row.id);
      continue;
    }
    if (row.kind == RowKind::Control) continue;
    if (!save) {
      if (skip && skip->count(row.id)) continue;
      switch (row.kind) {
        case RowKind::String: c.SetWindowText(row.id, v.*std::get<std::string B::*>(row.member)); break;
        case RowKind::Int: c.SetWindowText(row.id, std::to_string(v.*std::get<int B::*>(row.member))); break;
        case RowKind::Float: c.SetWindowText(row.id, FormatFloat6(v.*std::get<float B::*>(row.member))); break;
        case RowKind::Double: c.SetWindowText(row.id, FormatDouble15(v.*std::get<double B::*>(row.member))); break;
        case RowKind::Check:
          if (std::holds_alternative<int>(row.member))
            c.SetCheck(row.id, v.m_bOsd[std::get<int>(row.member)]);
          else
            c.SetCheck(row.id, v.*std::get<int B::*>(row.member));
          break;
        default: break;
      }
      continue;
    }
    switch (row.kind) {
      case RowKind::String: v.*std::get<std::string B::*>(row.member) = c.GetWindowText(row.id); break;
      case RowKind::Check:
        if (std::holds_alternative<int>(row.member))
          v.m_bOsd[std::get<int>(row.member)] = c.GetCheck(row.id);
        else
          v.*std::get<int B::*>(row.member) = c.GetCheck(row.id);
        break;
      case RowKind::Int: {
        const std::string text = c.GetWindowText(row.id);
        int parsed = 0;
        if (!ParseIntText(text, parsed)) return fail(row, text, "Please enter an integer.");
        v.*std::get<int B::*>(row.member) = parsed;
        if (row.min && (parsed < *row.min || parsed > *row.max))
          return fail(row, text,
                      "Please enter an integer between " + FormatBound(*row.min) + " and " + FormatBound(*row.max) +
                          ".");
        break;
      }
      case RowKind::Float: {
        const std::string text = c.GetWindowText(row.id);
        double parsed = 0;
        if (!ParseDoubleText(text, parsed) || !std::isfinite(static_cast<float>(parsed)))
          return fail(row, text, "Please enter a number.");
        const float f = static_cast<float>(parsed);
        v.*std::get<float B::*>(row.member) = f;
        if (row.min && (f < *row.min || f > *row.max))
          return fail(row, text,
                      "Please enter a number between " + FormatBound(*row.min) + " and " + FormatBound(*row.max) +
                          ".");
        break;
      }
      case RowKind::Double: {
        const std::string text = c.GetWindowText(row.id);
        double parsed = 0;
        if (!ParseDoubleText(text, parsed)) return fail(row, text, "Please enter a number.");
        v.*std::get<double B::*>(row.member) = parsed;
        break;
      }
      default: break;
    }
  }
  return true;
}

std::string AcceptedInput(int id) {
  for (const Row& row : Rows()) {
    if (row.id != id) continue;
    const std::string range = row.min ? " " + FormatBound(*row.min) + " to " + FormatBound(*row.max) : "";
    switch (row.kind) {
      case RowKind::Int: return "integer" + (range.empty() ? " (32 bits)" : range);
      case RowKind::Float:
      case RowKind::Double: return "number" + range;
      case RowKind::String: return id == idc::Status || id == idc::SentFrame ? std::string() : "text";
      default: return {};
    }
  }
  return {};
}
