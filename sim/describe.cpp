// The trace's decoded lines: what an integrator needs to read a capture.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "sim/gimbal.h"

namespace {
std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}
const char* TemplateName(int code) {
  switch (code) {
    case 0x3C: return "adaptive";
    case 0x24: return "large";
    case 0x28: return "middle";
    case 0x30: return "small";
    default: return "none";
  }
}
}  // namespace

std::string DescribeFrame(const std::uint8_t* f) {
  const int code = f[kCodeByte];
  switch (code) {
    case kCmdCrossWire:
    case kCmdGimbalMode1:
    case kCmdGimbalMode2: {
      const char* mode = code == kCmdCrossWire ? "cross wire" : (code == kCmdGimbalMode1 ? "gimbal mode 1" : "gimbal mode 2");
      if (f[12] == 0x01)
        return Fmt("0x%02X tracking %s, template %s (0x%02X)", code, f[11] ? "start" : "stop", TemplateName(f[13]),
                   f[13]);
      return Fmt("0x%02X move (%s) x=%d y=%d tracking=%d", code, mode, GetS16(f + 7), GetS16(f + 9), f[11]);
    }
    case kCmdCancelTracking: return "0x26 cancel tracking";
    case kCmdTemplate: return Fmt("0x82 tracking template %s (0x%02X)", TemplateName(f[13]), f[13]);
    case kCmdZoom: return Fmt("0x7D zoom level %d", f[6] - 0x80);
    case kCmdFreeze: return Fmt("0x81 %s picture", f[6] ? "freeze" : "thaw");
    case kCmdShutter: return "0x70 shutter";
    case kCmdEnhance: return Fmt("0x8C image enhancement %s", f[6] ? "on" : "off");
    case kCmdDisplayChannel:
      return Fmt("0x78 display channel %d pseudo colour=%d temperature bar=%d alarm=%d high=%d low=%d "
                 "compensation=%g (%s)",
                 f[14], f[6], f[12], GetS16(f + 10), f[17], f[18], static_cast<double>(GetF32(f + 19)), f[23] ? "on" : "off");
    case kCmdStorage: {
      static const char* kActions[] = {"stop storage", "start storage", "single capture", "action 3"};
      return Fmt("0x7C %s interlaced=%d network=%d length=%d preservation=%d mode=%d channel=%d", kActions[f[6] & 3],
                 (f[6] >> 3) & 1, (f[6] >> 2) & 1, f[7] | (f[8] << 8), static_cast<std::int8_t>(f[10]),
                 static_cast<std::int8_t>(f[11]), f[14]);
    }
    case kCmdFormat: return "0x8A format SD card";
    case kCmdCardQuery: {
      static const char* kQueries[] = {"?", "?", "state", "capacity", "residual capacity", "remaining pictures",
                                       "remaining minutes"};
      return Fmt("0x8B card query: %s (code %d)", f[6] <= 6 ? kQueries[f[6]] : "?", f[6]);
    }
    case kCmdOsd:
      return Fmt("0x83 OSD display=0x%02X input=0x%02X core=0x%02X %04d-%02d-%02d %02d:%02d:%02d heading=%g "
                 "pitching=%g roll=%g GPS_N=%.15g GPS_E=%.15g GPS_H=%g",
                 f[3], f[6], f[4], f[7] | (f[8] << 8), f[9], f[10], f[11], f[12], f[13],
                 static_cast<double>(GetF32(f + 15)), static_cast<double>(GetF32(f + 19)), static_cast<double>(GetF32(f + 23)),
                 GetF64(f + 27), GetF64(f + 35), static_cast<double>(GetF32(f + 43)));
    case kCmdTempCoeff: return Fmt("0xC8 temperature compensation coefficient %d", f[6]);
    case kCmdContrastBrightness: return Fmt("0x1D contrast %d brightness %d", f[8], f[12]);
    default: return Fmt("0x%02X unknown command", code);
  }
}

std::string DescribeVisca(const std::vector<std::uint8_t>& c) {
  if (c.size() == 9 && c[3] == 0x47)
    return Fmt("VISCA zoom direct position 0x%04X", (c[4] << 12) | (c[5] << 8) | (c[6] << 4) | c[7]);
  if (c.size() == 6 && c[3] == 0x34) return Fmt("VISCA image stabilizer 0x%02X", c[4]);
  if (c.size() == 7 && c[3] == 0x37) return Fmt("VISCA defog 0x%02X", c[4]);
  if (c.size() == 8 && c[3] == 0x24) return Fmt("VISCA video format 0x%02X", (c[5] << 4) | c[6]);
  return "VISCA command";
}
