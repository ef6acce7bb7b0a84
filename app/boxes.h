// The Warning window and the About box, as both windows show them: caption,
// font, size and items in dialog units. Each window draws them with its own
// widgets.
#pragma once

#include <string>
#include <vector>

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

// Shown when a port cannot be opened; modeless, OK only hides it.
const BoxLayout& WarningBox();
// The About box; its second line names the platform.
const BoxLayout& AboutBox();
