// The exchange of the main window's bound values with its controls,
// row by row in a fixed order: int edits as decimal text, floats with 6
// significant digits, doubles with 15, check boxes 0/1, strings verbatim.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "app/panel/bound_values.h"
#include "app/panel/controls.h"

struct DxFailure {
  int id = 0;
  std::string text;     // what the control held
  std::string message;  // for the operator, naming the bounds where a range applies
};

// What each control and its member held at the last exchange, so that a
// write leaves alone what the operator changed since (a tick, a selection, a
// typed value) unless the program changed the member meanwhile: the next
// commit takes the operator's value instead of it being undone.
struct ExchangeMemory {
  std::vector<std::string> control, member;  // by row; empty until the first exchange
  std::vector<bool> read;                    // rows the latest save read
  bool trustRead = false;  // the write follows that save with no operator event between
};

// save = true: controls -> members, validating; stops at the first failing
// row (earlier rows keep their new values, later ones their old) and returns
// false. save = false: members -> controls; cannot fail. Slider ranges are set
// again in both directions. Controls in skip are left alone when writing, and
// with memory, controls the operator changed since the last exchange.
bool DoDataExchange(IControls& controls, BoundValues& values, bool save, DxFailure* failure = nullptr,
                    const std::set<int>* skip = nullptr, ExchangeMemory* memory = nullptr);

// The ids of the exchanged rows, in exchange order.
const std::vector<int>& ExchangeOrder();

// What the edit or slider id accepts, for a script writer: "integer 1 to 30",
// "number", "text", "position 0 to 100"; empty for any other control.
std::string AcceptedInput(int id);

std::string FormatFloat6(float value);    // "%.6g"
std::string FormatDouble15(double value); // "%.15g"
bool ParseIntText(const std::string& text, int& out);
bool ParseDoubleText(const std::string& text, double& out);
