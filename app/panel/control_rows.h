// One row per control, the single source of every fact about it: the
// control table, the lists and their codes, the OSD bits, the slider ranges,
// the bound values' exchange, the listing and the accessible names are all
// read from here (control_table.cpp). Adding a control is one row and its
// handler.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/panel/bound_values.h"
#include "app/panel/controls.h"

// A control as the window builds it.
struct ControlDef {
  int id;  // 0 for group frames and labels
  ControlKind kind;
  const char* caption;
  int x, y, w, h;  // dialog units
};

// A list's entry: its caption and what it means to the device or the line.
struct ListEntry {
  std::string caption;
  int code;  // what the entry means to the device or the line
};

// An OSD check box: which bit of which byte of the OSD frame it sets.
struct OsdCheck {
  int id;
  bool input;         // the input byte (OsdInput), else the display byte (OsdDisplay)
  std::uint8_t flag;
};

// How a control's value goes to and from BoundValues.
struct Binding {
  enum Kind { kNone, kString, kControl, kSlider, kInt, kFloat, kDouble, kCheck, kOsdCheck } kind = kNone;
  std::variant<std::monostate, std::string BoundValues::*, int BoundValues::*, float BoundValues::*,
               double BoundValues::*>
      member;
  std::optional<double> min, max;  // the accepted range, inclusive
};

struct ControlRow {
  ControlDef def;                          // id, kind, caption, place in dialog units
  int exchange = -1;                       // its place in the exchange order; -1: not exchanged
  Binding binding;                         // with exchange
  std::vector<ListEntry> entries;          // a list's entries, template order
  std::optional<std::pair<int, int>> slider;  // a slider's range
  const char* description = "";            // what it is, for a control without a caption of its own
  const char* group = "";                  // the part of the panel, for a control outside any frame
  std::optional<OsdCheck> osd;             // an OSD check box's bit
  const char* name = "";                   // what a screen reader calls a control with no caption or label
};

const std::vector<ControlRow>& ControlRows();
const ControlRow* FindRow(int id);
