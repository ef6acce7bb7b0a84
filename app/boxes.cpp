#include "app/boxes.h"

#include "app/host.h"
#include "app/options.h"
#include "app/runner.h"

const BoxLayout& WarningBox() {
  static const BoxLayout box{"Warning!", "MS Shell Dlg", 8, 194, 70, false,
                             {{BoxItem::kText, kWarningText, 50, 22, 112, 12}, {BoxItem::kOk, "OK", 70, 43, 50, 14}}};
  return box;
}

const BoxLayout& AboutBox() {
  static const BoxLayout box{"关于 Varnel", "宋体", 9, 235, 55, true,
                             {{BoxItem::kIcon, "", 11, 17, 20, 20},
                              {BoxItem::kText, VersionText(), 40, 10, 130, 10},
                              {BoxItem::kText, PlatformUsage().aboutLine, 40, 25, 130, 10},
                              {BoxItem::kOk, "确定", 178, 7, 50, 14}}};
  return box;
}
