#include "app/panel/data_exchange.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <variant>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/panel/control_rows.h"
#include "app/panel/control_table.h"

namespace {
using B = BoundValues;

// The exchanged rows in their order: the rows of the control table that have
// a place in it.
const std::vector<const ControlRow*>& Rows() {
  static const std::vector<const ControlRow*> rows = [] {
    std::vector<const ControlRow*> r;
    for (const ControlRow& row : ControlRows())
      if (row.exchange >= 0) r.push_back(&row);
    std::sort(r.begin(), r.end(), [](const ControlRow* a, const ControlRow* b) { return a->exchange < b->exchange; });
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

// 1000000, not 1e+06: a bound is said as the operator typed it.
std::string FormatBound(double v) { return FormatDouble15(v); }

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

namespace {
// A whole number or decimal, blanks around it and a leading '+' allowed,
// nothing else after it.
template <typename T>
bool ParseWhole(const std::string& text, T& out) {
  const std::string t = Trim(text);
  const char* b = t.data();
  const char* e = t.data() + t.size();
  if (b != e && *b == '+') ++b;
  T v = 0;
  const auto [p, ec] = std::from_chars(b, e, v);
  if (ec != std::errc() || p != e || b == e) return false;
  out = v;
  return true;
}
}  // namespace

bool ParseIntText(const std::string& text, int& out) { return ParseWhole(text, out); }

bool ParseDoubleText(const std::string& text, double& out) {
  double v = 0;
  if (!ParseWhole(text, v) || !std::isfinite(v)) return false;
  out = v;
  return true;
}

const std::vector<int>& ExchangeOrder() {
  static const std::vector<int> order = [] {
    std::vector<int> ids;
    for (const ControlRow* r : Rows()) ids.push_back(r->def.id);
    return ids;
  }();
  return order;
}

bool DoDataExchange(IControls& c, BoundValues& v, bool save, DxFailure* failure, const std::set<int>* skip) {
  auto fail = [&](int id, std::string text, std::string message) {
    if (failure) *failure = {id, std::move(text), std::move(message)};
    return false;
  };
  for (const ControlRow* row : Rows()) {
    const int id = row->def.id;
    const Binding& b = row->binding;
    if (b.kind == Binding::kSlider) {
      SetSliderRange(c, id);
      continue;
    }
    if (b.kind == Binding::kControl) continue;
    if (!save) {
      if (skip && skip->count(id)) continue;
      switch (b.kind) {
        case Binding::kString: c.SetWindowText(id, v.*std::get<std::string B::*>(b.member)); break;
        case Binding::kInt: c.SetWindowText(id, std::to_string(v.*std::get<int B::*>(b.member))); break;
        case Binding::kFloat: c.SetWindowText(id, FormatFloat6(v.*std::get<float B::*>(b.member))); break;
        case Binding::kDouble: c.SetWindowText(id, FormatDouble15(v.*std::get<double B::*>(b.member))); break;
        case Binding::kCheck: c.SetCheck(id, v.*std::get<int B::*>(b.member)); break;
        case Binding::kOsdCheck: c.SetCheck(id, v.Osd(id)); break;
        default: break;
      }
      continue;
    }
    switch (b.kind) {
      case Binding::kString: v.*std::get<std::string B::*>(b.member) = c.GetWindowText(id); break;
      case Binding::kCheck: v.*std::get<int B::*>(b.member) = c.GetCheck(id); break;
      case Binding::kOsdCheck: v.Osd(id) = c.GetCheck(id); break;
      case Binding::kInt: {
        const std::string text = c.GetWindowText(id);
        int parsed = 0;
        if (!ParseIntText(text, parsed)) return fail(id, text, "Please enter an integer.");
        v.*std::get<int B::*>(b.member) = parsed;
        if (b.min && (parsed < *b.min || parsed > *b.max))
          return fail(id, text,
                      "Please enter an integer between " + FormatBound(*b.min) + " and " + FormatBound(*b.max) + ".");
        break;
      }
      case Binding::kFloat: {
        const std::string text = c.GetWindowText(id);
        double parsed = 0;
        if (!ParseDoubleText(text, parsed) || !std::isfinite(static_cast<float>(parsed)))
          return fail(id, text, "Please enter a number.");
        const float f = static_cast<float>(parsed);
        v.*std::get<float B::*>(b.member) = f;
        if (b.min && (f < *b.min || f > *b.max))
          return fail(id, text,
                      "Please enter a number between " + FormatBound(*b.min) + " and " + FormatBound(*b.max) + ".");
        break;
      }
      case Binding::kDouble: {
        const std::string text = c.GetWindowText(id);
        double parsed = 0;
        if (!ParseDoubleText(text, parsed)) return fail(id, text, "Please enter a number.");
        v.*std::get<double B::*>(b.member) = parsed;
        break;
      }
      default: break;
    }
  }
  return true;
}

std::string AcceptedInput(int id) {
  const ControlRow* row = FindRow(id);
  if (!row || row->exchange < 0) return {};
  const Binding& b = row->binding;
  const std::string range = b.min ? " " + FormatBound(*b.min) + " to " + FormatBound(*b.max) : "";
  switch (b.kind) {
    case Binding::kInt: return "integer" + (range.empty() ? " (32 bits)" : range);
    case Binding::kFloat:
    case Binding::kDouble: return "number" + range;
    case Binding::kString: return id == idc::Status || id == idc::SentFrame ? std::string() : "text";
    default: return {};
  }
}
