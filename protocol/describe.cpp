// The words for each command: what an integrator needs to read a capture.
#include "protocol/describe.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/commands.h"

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
}  // namespace

std::string DescribeFrame(const Frame& f) {
  const std::uint8_t code = ReadCode(f);
  const char* name = CommandName(code);
  switch (code) {
    case kCmdCrossWire:
    case kCmdGimbalMode1:
    case kCmdGimbalMode2: {
      if (IsTrackFrame(f)) {
        const TrackCommand t = ReadTrackFrame(f);
        return Fmt("0x%02X tracking %s, template %s (0x%02X)", code, t.state ? "start" : "stop",
                   TemplateName(t.templateCode), t.templateCode);
      }
      const MoveCommand m = ReadMoveFrame(f);
      return Fmt("0x%02X move (%s) x=%d y=%d tracking=%d", code, name, m.x, m.y, m.tracking);
    }
    case kCmdTemplate: {
      const std::uint8_t t = ReadTemplateFrame(f);
      return Fmt("0x%02X %s %s (0x%02X)", code, name, TemplateName(t), t);
    }
    case kCmdZoom: return Fmt("0x%02X %s %d", code, name, ReadPrivateZoom(f));
    case kCmdFreeze: return Fmt("0x%02X %s picture", code, ReadFreezeFrame(f) ? "freeze" : "thaw");
    case kCmdEnhance: return Fmt("0x%02X %s %s", code, name, ReadEnhanceFrame(f) ? "on" : "off");
    case kCmdDisplayChannel: {
      const ThermalSettings t = ReadThermalFrame(f);
      return Fmt("0x%02X %s %d pseudo colour=%d temperature bar=%d alarm=%d high=%d low=%d compensation=%g (%s)",
                 code, name, t.channel, t.pseudoColor, t.tempBar, t.alarmTemp, t.highAlarm, t.lowAlarm,
                 static_cast<double>(t.compTemp), t.compTempOn ? "on" : "off");
    }
    case kCmdStorage: {
      static const char* kActions[] = {"stop storage", "start storage", "single capture", "action 3"};
      const StorageCommand c = ReadStorageFrame(f);
      const StorageSettings& s = c.settings;
      return Fmt("0x%02X %s interlaced=%d network=%d length=%d preservation=%d mode=%d channel=%d", code,
                 kActions[c.action], s.interlaced, s.network, s.videoLength, s.preservation, s.preservationMode,
                 s.channel);
    }
    case kCmdCardQuery: {
      const std::uint8_t q = ReadCardQuery(f);
      return Fmt("0x%02X %s: %s (code %d)", code, name, CardQueryName(q), q);
    }
    case kCmdOsd: {
      const OsdSettings s = ReadOsdFrame(f);
      return Fmt("0x%02X %s display=0x%02X input=0x%02X core=0x%02X %04d-%02d-%02d %02d:%02d:%02d heading=%g "
                 "pitching=%g roll=%g GPS_N=%.15g GPS_E=%.15g GPS_H=%g",
                 code, name, s.displayFlags, s.inputFlags, s.coreCode, s.year, s.month, s.day, s.hour, s.minute,
                 s.second, static_cast<double>(s.heading), static_cast<double>(s.pitching),
                 static_cast<double>(s.roll), s.gpsN, s.gpsE, static_cast<double>(s.gpsH));
    }
    case kCmdTempCoeff: return Fmt("0x%02X %s %d", code, name, ReadTempCoeffFrame(f));
    case kCmdContrastBrightness: {
      const ContrastBrightness cb = ReadContrastBrightnessFrame(f);
      return Fmt("0x%02X contrast %d brightness %d", code, cb.contrast, cb.brightness);
    }
    default:
      // Commands without fields: the name says it all.
      return name ? Fmt("0x%02X %s", code, name) : Fmt("0x%02X unknown command", code);
  }
}

std::string DescribeVisca(const Frame& c) {
  const ViscaCommand v = ReadVisca(c);
  switch (v.kind) {
    case ViscaKind::kZoom: return Fmt("VISCA zoom direct position 0x%04X", v.value);
    case ViscaKind::kStabilizer: return Fmt("VISCA image stabilizer 0x%02X", v.value);
    case ViscaKind::kDefog: return Fmt("VISCA defog 0x%02X", v.value);
    case ViscaKind::kVideoFormat: return Fmt("VISCA video format 0x%02X", v.value);
    case ViscaKind::kOther: break;
  }
  return "VISCA command";
}
