#include "app/boxes.h"

#include "app/about.h"
#include "app/host.h"

BoxLayout WarningBox(const std::string& text) {
  // The longer reasons take the box's whole width and two lines.
  const BoxItem line = text == kWarningText ? BoxItem{BoxItem::kText, text, 50, 22, 112, 12}
                                            : BoxItem{BoxItem::kText, text, 12, 14, 170, 24};
  return {"Warning!", "MS Shell Dlg", 8, 194, 70, false, {line, {BoxItem::kOk, "OK", 70, 43, 50, 14}}};
}

std::string WarningText(SerialError error) {
  switch (error) {
    case SerialError::DeviceBusy: return "This serial port is in use by another program!";
    case SerialError::PermissionDenied: return "Access to this serial port is denied!";
    case SerialError::UnsupportedSettings: return "This serial port refused the line settings!";
    case SerialError::Resource: return "This serial port does not answer!";
    case SerialError::DeviceNotFound:
    case SerialError::None: break;
  }
  return kWarningText;
}

const BoxLayout& AboutBox() {
  static const BoxLayout box{"关于 Varnel", "宋体", 9, 235, 55, true,
                             {{BoxItem::kIcon, "", 11, 17, 20, 20},
                              {BoxItem::kText, VersionText(), 40, 10, 130, 10},
                              {BoxItem::kText, PlatformUsage().aboutLine, 40, 25, 130, 10},
                              {BoxItem::kOk, "确定", 178, 7, 50, 14}}};
  return box;
}
