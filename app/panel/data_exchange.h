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

// save = true: controls -> members, validating; stops at the first failing
// row (earlier rows keep their new values, later ones their old) and returns
// false. save = false: members -> controls; cannot fail. Slider ranges are set
// again in both directions. Controls in skip are left alone when writing.
bool DoDataExchange(IControls& controls, BoundValues& values, bool save, DxFailure* failure = nullptr,
                    const std::set<int>* skip = nullptr);

// The ids of the exchanged rows, in exchange order.
const std::vector<int>& ExchangeOrder();

// What the edit id accepts, for a script writer: "integer 1 to 30", "number",
// "text"; empty for a control that is no edit.
std::string AcceptedInput(int id);

std::string FormatFloat6(float value);    // "%.6g"
std::string FormatDouble15(double value); // "%.15g"
bool ParseIntText(const std::string& text, int& out);
bool ParseDoubleText(const std::string& text, double& out);
