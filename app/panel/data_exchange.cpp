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

namespace {
// A member as its control shows it; "" for rows that hold no value.
std::string MemberText(const BoundValues& v, const Binding& b, int id) {
  switch (b.kind) {
    case Binding::kString: return v.*std::get<std::string B::*>(b.member);
    case Binding::kInt: return std::to_string(v.*std::get<int B::*>(b.member));
    case Binding::kFloat: return FormatFloat6(v.*std::get<float B::*>(b.member));
    case Binding::kDouble: return FormatDouble15(v.*std::get<double B::*>(b.member));
    case Binding::kCheck: return std::to_string(v.*std::get<int B::*>(b.member));
    case Binding::kOsdCheck: return std::to_string(v.Osd(id));
    default: return {};
  }
}

const std::string kNotYet = "\x01";  // no control's text and no member's: none takes control bytes

bool IsCheck(const Binding& b) { return b.kind == Binding::kCheck || b.kind == Binding::kOsdCheck; }

std::string ControlText(IControls& c, const Binding& b, int id) {
  return IsCheck(b) ? std::to_string(c.GetCheck(id)) : c.GetWindowText(id);
}
}  // namespace

bool DoDataExchange(IControls& c, BoundValues& v, bool save, DxFailure* failure, const std::set<int>* skip,
                    ExchangeMemory* memory) {
  auto fail = [&](int id, std::string text, std::string message) {
    if (failure) *failure = {id, std::move(text), std::move(message)};
    return false;
  };
  const std::vector<const ControlRow*>& rows = Rows();
  if (memory && memory->control.size() != rows.size()) {
    // Nothing a control or member holds: the first write writes every row.
    memory->control.assign(rows.size(), kNotYet);
    memory->member.assign(rows.size(), kNotYet);
    memory->read.assign(rows.size(), false);
  }
  if (memory && save) memory->read.assign(rows.size(), false);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ControlRow* row = rows[i];
    const int id = row->def.id;
    const Binding& b = row->binding;
    if (b.kind == Binding::kSlider) {
      SetSliderRange(c, id);
      continue;
    }
    if (b.kind == Binding::kControl) continue;
    if (!save) {
      if (skip && skip->count(id)) continue;
      const std::string text = MemberText(v, b, id);
      if (memory) {
        const bool mine = text == memory->member[i];
        const std::string shown = memory->trustRead && memory->read[i] ? memory->control[i] : ControlText(c, b, id);
        if (mine && shown != memory->control[i]) continue;  // the operator's since: the next commit takes it
        memory->control[i] = memory->member[i] = text;
        memory->read[i] = false;
        if (shown == text) continue;  // shown already: not asked again
      }
      if (IsCheck(b)) c.SetCheck(id, b.kind == Binding::kCheck ? v.*std::get<int B::*>(b.member) : v.Osd(id));
      else c.SetWindowText(id, text);
      continue;
    }
    // The row as read, remembered whether or not it passes.
    const auto remember = [&](const std::string& text) {
      if (!memory) return;
      memory->control[i] = text;
      memory->member[i] = MemberText(v, b, id);
      memory->read[i] = true;
    };
    switch (b.kind) {
      case Binding::kString: v.*std::get<std::string B::*>(b.member) = c.GetWindowText(id); break;
      case Binding::kCheck: v.*std::get<int B::*>(b.member) = c.GetCheck(id); break;
      case Binding::kOsdCheck: v.Osd(id) = c.GetCheck(id); break;
      case Binding::kInt: {
        const std::string text = c.GetWindowText(id);
        int parsed = 0;
        if (!ParseIntText(text, parsed)) return remember(text), fail(id, text, "Please enter an integer.");
        v.*std::get<int B::*>(b.member) = parsed;
        remember(text);
        if (b.min && (parsed < *b.min || parsed > *b.max))
          return fail(id, text,
                      "Please enter an integer between " + FormatBound(*b.min) + " and " + FormatBound(*b.max) + ".");
        continue;
      }
      case Binding::kFloat: {
        const std::string text = c.GetWindowText(id);
        double parsed = 0;
        if (!ParseDoubleText(text, parsed) || !std::isfinite(static_cast<float>(parsed)))
          return remember(text), fail(id, text, "Please enter a number.");
        const float f = static_cast<float>(parsed);
        v.*std::get<float B::*>(b.member) = f;
        remember(text);
        if (b.min && (f < *b.min || f > *b.max))
          return fail(id, text,
                      "Please enter a number between " + FormatBound(*b.min) + " and " + FormatBound(*b.max) + ".");
        continue;
      }
      case Binding::kDouble: {
        const std::string text = c.GetWindowText(id);
        double parsed = 0;
        if (!ParseDoubleText(text, parsed)) return remember(text), fail(id, text, "Please enter a number.");
        v.*std::get<double B::*>(b.member) = parsed;
        remember(text);
        continue;
      }
      default: continue;
    }
    remember(MemberText(v, b, id));
  }
  return true;
}

std::string AcceptedInput(int id) {
  for (const SliderRange& r : SliderRanges())
    if (r.id == id) return "position " + std::to_string(r.min) + " to " + std::to_string(r.max);
  const ControlRow* row = FindRow(id);
  if (!row || row->exchange < 0) return {};
  const Binding& b = row->binding;
  const std::string range = b.min ? " " + FormatBound(*b.min) + " to " + FormatBound(*b.max) : "";
  switch (b.kind) {
    case Binding::kInt: return "integer" + (range.empty() ? " -2147483648 to 2147483647" : range);
    case Binding::kFloat:
    case Binding::kDouble: return "number" + range;
    case Binding::kString: return id == idc::Status || id == idc::SentFrame ? std::string() : "text";
    default: return {};
  }
}
