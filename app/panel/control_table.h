// Every control of the main window: id, kind, caption and place in dialog
// units, the list contents and the slider ranges.
#pragma once

#include <string>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/panel/controls.h"

inline constexpr int kDialogWidthDlu = 782;
inline constexpr int kDialogHeightDlu = 429;
inline constexpr const char* kDialogCaption = "Cloud Platform Control V1.991";

struct ControlDef {
  int id;  // 0 for group frames and labels
  ControlKind kind;
  const char* caption;
  int x, y, w, h;  // dialog units
};

const std::vector<ControlDef>& ControlTable();
const ControlDef* FindControl(int id);

// Entries in template order. A sorted list shows them in alphabetical order.
const std::vector<std::string>& ListEntries(int id);
// The entries as the list shows and indexes them.
std::vector<std::string> DisplayedEntries(int id);

struct SliderRange {
  int id, min, max;
};
const std::vector<SliderRange>& SliderRanges();
