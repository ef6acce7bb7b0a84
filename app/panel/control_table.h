// Every control of the main window: id, kind, caption and place in dialog
// units, the list contents and the slider ranges.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/panel/control_ids.h"
#include "app/panel/control_rows.h"
#include "app/panel/controls.h"
#include "serial/port_settings.h"

inline constexpr int kDialogWidthDlu = 782;
inline constexpr int kDialogHeightDlu = 429;
inline constexpr const char* kDialogCaption = "Cloud Platform Control V1.991";


const std::vector<ControlDef>& ControlTable();
const ControlDef* FindControl(int id);

// What the operator's hand can do to a control, by its kind: the one rule
// script mode asks before either window acts.
enum class Gesture { kClick, kType, kSelect, kSlide };
bool TakesGesture(int id, Gesture gesture);

// Entries in template order. A sorted list shows them in alphabetical order.
const std::vector<std::string>& ListEntries(int id);
// The code of the entry at selection as the list shows it; nothing for no
// selection (-1, or text typed into the list's field).
std::optional<int> SelectedCode(int id, int selection);
// The entries as the list shows and indexes them.
std::vector<std::string> DisplayedEntries(int id);

// The line settings lists 1001, 1094 and 1096 choose.
PortChoice ChosenLine(int portSelection, int baudSelection, int paritySelection);

// The OSD check boxes (OsdCheck: which bit of which byte of the OSD frame each sets).
const std::vector<OsdCheck>& OsdChecks();

// A control as a script writer needs to know it: what kind it is, what the
// operator reads beside it, and the part of the panel it sits in.
struct ControlListing {
  int id;
  const char* kind;     // "button", "check box", "edit", "list", ...
  std::string caption;  // its own caption, the label beside it, or a list's first entry
  std::string group;
};
// Every control with an id, group by group in the panel's reading order.
std::vector<ControlListing> ListControls();
// What a screen reader calls the control: its caption, the label beside it,
// or for a control with neither (a slider, its value, the status line) the
// name its row gives; empty for no control.
std::string AccessibleName(int id);

struct SliderRange {
  int id, min, max;
};
const std::vector<SliderRange>& SliderRanges();
