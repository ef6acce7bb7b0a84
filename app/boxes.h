// The Warning window and the About box, as both windows show them: caption,
// font, size and items in dialog units. Each window draws them with its own
// widgets.
#pragma once

#include <string>
#include <vector>

#include "serial/comm_types.h"

struct BoxItem {
  enum Kind { kIcon, kText, kOk } kind;
  std::string text;
  int x, y, w, h;  // dialog units
};
struct BoxLayout {
  std::string caption;
  const char* font;  // the face the template asks for
  int pointSize;
  int w, h;  // dialog units
  bool modal;
  std::vector<BoxItem> items;
};

// Shown when a port cannot be opened; modeless, OK only hides it. text is
// kWarningText for a port that is not there, or why it could not be opened.
BoxLayout WarningBox(const std::string& text);
// What the Warning says for a failed open: "not found" only when the port is
// not there; otherwise the true reason, so that nobody looks for a port that
// is plugged in but held by another program.
std::string WarningText(SerialError error);
// The About box; its second line names the platform.
const BoxLayout& AboutBox();
