#include "protocol/commands.h"

#include <cstring>

#include "protocol/frame.h"

// ---- layouts ----------------------------------------------------------------
// Each frame's fields are written down once, here: offset and encoding. The
// builders put through them and the readers get through them, so the two
// directions cannot disagree about where a field lives.
namespace {
struct U8 {
  std::size_t at;
  void Put(Frame& f, int v) const { f[at] = static_cast<std::uint8_t>(v); }
  std::uint8_t Get(const Frame& f) const { return f[at]; }
};
struct S8 {  // a list index sent as one byte: no selection (-1) is 0xFF
  std::size_t at;
  void Put(Frame& f, int v) const { f[at] = static_cast<std::uint8_t>(v); }
  int Get(const Frame& f) const { return static_cast<std::int8_t>(f[at]); }
};
struct S16 {  // low 16 bits, two's complement, LSB first
  std::size_t at;
  void Put(Frame& f, std::int32_t v) const { PutU16(f.data() + at, v); }
  std::int16_t Get(const Frame& f) const { return GetS16(f.data() + at); }
};
struct U16 {  // low 16 bits, LSB first, read back unsigned
  std::size_t at;
  void Put(Frame& f, std::int32_t v) const { PutU16(f.data() + at, v); }
  std::uint16_t Get(const Frame& f) const { return GetU16(f.data() + at); }
};
struct Year {  // the OSD year: value % 256, then value / 256
  std::size_t at;
  void Put(Frame& f, std::int32_t v) const {
    f[at] = static_cast<std::uint8_t>(v % 256);
    f[at + 1] = static_cast<std::uint8_t>(v / 256);
  }
  int Get(const Frame& f) const { return f[at] | (f[at + 1] << 8); }
};
struct F32 {
  std::size_t at;
  void Put(Frame& f, float v) const { PutF32(f.data() + at, v); }
  float Get(const Frame& f) const { return GetF32(f.data() + at); }
};
struct F64 {
  std::size_t at;
  void Put(Frame& f, double v) const { PutF64(f.data() + at, v); }
  double Get(const Frame& f) const { return GetF64(f.data() + at); }
};

// 0x71 / 0x88 / 0x89: a move or a tracking command, told apart by the kind byte.
namespace motion {
constexpr U8 kKindComplement{6};  // ~kind
constexpr S16 kX{7};              // steps, positive to the right
constexpr S16 kY{9};              // steps, positive downwards
constexpr U8 kTracking{11};       // move: tracking check box; tracking: 1 start, 0 stop
constexpr U8 kKind{12};           // 0 move, 1 tracking
constexpr U8 kTemplate{13};       // template code (tracking frames and 0x82)
constexpr std::uint8_t kMove = 0x00, kTrack = 0x01;
}  // namespace motion
namespace zoom {
constexpr U8 kLevel{6};  // level + 0x80
constexpr int kLevelBias = 0x80;
}  // namespace zoom
namespace freeze {
constexpr U8 kOn{6};       // 1 freeze, 0 thaw
constexpr U8 kMarker{17};  // always 1
}  // namespace freeze
namespace shutter {
constexpr U8 kMarker{4};  // always 1
}
namespace enhance {
constexpr U8 kOn{6};
}
namespace thermal {
constexpr U8 kPseudoColor{6};
constexpr S16 kAlarmTemp{10};  // degrees
constexpr U8 kTempBar{12};
constexpr U8 kChannel{14};     // 0..7
constexpr U8 kHighAlarm{17};
constexpr U8 kLowAlarm{18};
constexpr F32 kCompTemp{19};   // degrees, alarm-temperature "OK" only
constexpr U8 kCompTempOn{23};  // alarm-temperature "OK" only
}  // namespace thermal
namespace storage {
constexpr U8 kAction{6};  // action + 0x08 interlaced + 0x04 network
constexpr std::uint8_t kActionMask = 0x03, kInterlaced = 0x08, kNetwork = 0x04;
constexpr U16 kVideoLength{7};  // minutes, start storage only
constexpr S8 kPreservation{10};
constexpr S8 kPreservationMode{11};
constexpr U8 kChannel{14};
}  // namespace storage
namespace query {
constexpr U8 kCode{6};  // CardQuery
}
namespace osd {
constexpr U8 kDisplay{3};  // bit n = check 1130+n
constexpr U8 kCore{4};     // core code
constexpr U8 kInput{6};    // OsdInputFlags
constexpr Year kYear{7};
constexpr U8 kMonth{9}, kDay{10}, kHour{11}, kMinute{12}, kSecond{13};
constexpr F32 kHeading{15};   // degrees
constexpr F32 kPitching{19};  // degrees
constexpr F32 kRoll{23};      // degrees
constexpr F64 kGpsN{27};      // degrees north
constexpr F64 kGpsE{35};      // degrees east
constexpr F32 kGpsH{43};      // metres
}  // namespace osd
namespace coeff {
constexpr U8 kValue{6};  // 0..200
}
namespace contrast {
constexpr U8 kContrast{8};     // 0..100
constexpr U8 kBrightness{12};  // 0..100
}  // namespace contrast

// VISCA: 81 01 04 <command> parameters FF.
constexpr std::uint8_t kViscaZoomHead[] = {0x81, 0x01, 0x04, 0x47};  // then 0p 0q 0r 0s FF
constexpr std::uint8_t kStabilizerHead[] = {0x81, 0x01, 0x04, 0x34};  // then param FF
constexpr std::uint8_t kDefogHead[] = {0x81, 0x01, 0x04, 0x37};       // then param 00 FF
constexpr std::uint8_t kVideoFormatHead[] = {0x81, 0x01, 0x04, 0x24, 0x72};  // then 0p 0q FF
constexpr std::size_t kViscaZoomSize = 9, kStabilizerSize = 6, kDefogSize = 7, kVideoFormatSize = 8;
// The camera block expects these two trailers after the video format's terminator.
constexpr std::uint8_t kVideoFormatTrailers[] = {0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF};

template <std::size_t N>
bool StartsWith(const Frame& c, const std::uint8_t (&head)[N]) {
  return c.size() >= N && std::memcmp(c.data(), head, N) == 0;
}
// A VISCA command of size bytes that starts with head; the parameters follow at N.
template <std::size_t N>
Frame ViscaHead(const std::uint8_t (&head)[N], std::size_t size) {
  Frame f(head, N);
  f.resize(size);
  return f;
}
}  // namespace

// ---- any frame --------------------------------------------------------------

FrameCheck CheckFrame(const Frame& f) {
  if (!MayStartFrame(f.data(), f.size()) || f.empty()) return FrameCheck::kNotAFrame;
  if (f.size() < kFrameSize) return FrameCheck::kTooShort;
  return FrameChecksum(f.data()) == f[kChecksumByte] ? FrameCheck::kValid : FrameCheck::kBadChecksum;
}

bool MayStartFrame(const std::uint8_t* bytes, std::size_t n) {
  static constexpr std::uint8_t kStart[] = {kSync, kSync, kTag};
  for (std::size_t i = 0; i < n && i < sizeof kStart; ++i)
    if (bytes[i] != kStart[i]) return false;
  return true;
}

std::uint8_t ReadCode(const Frame& f) { return f[kCodeByte]; }

const char* CommandName(std::uint8_t code) {
  switch (code) {
    case kCmdContrastBrightness: return "contrast and brightness";
    case kCmdCancelTracking: return "cancel tracking";
    case kCmdShutter: return "shutter";
    case kCmdCrossWire: return "cross wire";
    case kCmdDisplayChannel: return "display channel";
    case kCmdStorage: return "storage";
    case kCmdZoom: return "zoom level";
    case kCmdFreeze: return "freeze picture";
    case kCmdTemplate: return "tracking template";
    case kCmdOsd: return "OSD";
    case kCmdGimbalMode1: return "gimbal mode 1";
    case kCmdGimbalMode2: return "gimbal mode 2";
    case kCmdFormat: return "format SD card";
    case kCmdCardQuery: return "card query";
    case kCmdEnhance: return "image enhancement";
    case kCmdTempCoeff: return "temperature compensation coefficient";
    default: return nullptr;
  }
}

// ---- tracking ---------------------------------------------------------------

const char* TemplateName(std::uint8_t code) {
  switch (code) {
    case kTemplateAdaptive: return "adaptive";
    case kTemplateLarge: return "large";
    case kTemplateMiddle: return "middle";
    case kTemplateSmall: return "small";
    default: return "none";
  }
}

Frame BuildMoveFrame(std::uint8_t code, std::int32_t x, std::int32_t y, std::uint8_t tracking) {
  using namespace motion;
  Frame f = BeginFrame(code);
  kKind.Put(f, kMove);
  kKindComplement.Put(f, static_cast<std::uint8_t>(~kMove));
  kX.Put(f, x);
  kY.Put(f, y);
  kTracking.Put(f, tracking);
  SealFrame(f);
  return f;
}

Frame BuildTrackFrame(std::uint8_t state, std::uint8_t templateCode) {
  using namespace motion;
  Frame f = BeginFrame(kCmdCrossWire);
  kKind.Put(f, kTrack);
  kKindComplement.Put(f, static_cast<std::uint8_t>(~kTrack));
  kTracking.Put(f, state);
  kTemplate.Put(f, templateCode);
  SealFrame(f);
  return f;
}

bool IsTrackFrame(const Frame& f) { return motion::kKind.Get(f) == motion::kTrack; }

MoveCommand ReadMoveFrame(const Frame& f) {
  return {ReadCode(f), motion::kX.Get(f), motion::kY.Get(f), motion::kTracking.Get(f)};
}

std::optional<MoveCommand> AsMove(const Frame& f) {
  if (f.size() != kFrameSize || CheckFrame(f) != FrameCheck::kValid || motion::kKind.Get(f) != motion::kMove ||
      motion::kKindComplement.Get(f) != static_cast<std::uint8_t>(~motion::kMove))
    return std::nullopt;
  const std::uint8_t code = ReadCode(f);
  if (code != 0x00 && code != kCmdCrossWire && code != kCmdGimbalMode1 && code != kCmdGimbalMode2) return std::nullopt;
  return ReadMoveFrame(f);
}

TrackCommand ReadTrackFrame(const Frame& f) { return {motion::kTracking.Get(f), motion::kTemplate.Get(f)}; }

Frame BuildCancelFrame() {
  Frame f = BeginFrame(kCmdCancelTracking);
  SealFrame(f);
  return f;
}

Frame BuildTemplateFrame(std::uint8_t templateCode) {
  Frame f = BeginFrame(kCmdTemplate);
  motion::kTemplate.Put(f, templateCode);
  SealFrame(f);
  return f;
}

std::uint8_t ReadTemplateFrame(const Frame& f) { return motion::kTemplate.Get(f); }

// ---- zoom -------------------------------------------------------------------

const std::uint16_t kZoomPositions[kZoomMax] = {
    0x0000, 0x16A1, 0x2063, 0x2628, 0x2A1D, 0x2D13, 0x2F6D, 0x3161, 0x330D, 0x3486,
    0x35D7, 0x3709, 0x3820, 0x3920, 0x3A0A, 0x3ADD, 0x3B9C, 0x3C46, 0x3CDC, 0x3D60,
    0x3DD4, 0x3E39, 0x3E90, 0x3EDC, 0x3F1E, 0x3F57, 0x3F8A, 0x3FB6, 0x3FDC, 0x4000,
};

int ClampZoom(int level) { return level < kZoomMin ? kZoomMin : (level > kZoomMax ? kZoomMax : level); }

int ZoomLevelAt(std::uint16_t position) {
  int level = kZoomMin;
  for (int i = 0; i < kZoomMax; ++i)
    if (kZoomPositions[i] <= position) level = i + 1;
  return level;
}

Frame BuildViscaZoom(int level) {
  const std::uint16_t p = kZoomPositions[ClampZoom(level) - 1];
  Frame z = ViscaHead(kViscaZoomHead, kViscaZoomSize);
  for (int i = 0; i < 4; ++i) z[4 + i] = static_cast<std::uint8_t>((p >> (12 - 4 * i)) & 0x0F);  // one nibble a byte
  z[8] = kViscaTerminator;
  return z;
}

Frame BuildPrivateZoom(int level) {
  Frame f = BeginFrame(kCmdZoom);
  zoom::kLevel.Put(f, ClampZoom(level) + zoom::kLevelBias);
  SealFrame(f);
  return f;
}

int ReadPrivateZoom(const Frame& f) { return zoom::kLevel.Get(f) - zoom::kLevelBias; }

// ---- imaging ----------------------------------------------------------------

Frame BuildFreezeFrame(bool freeze) {
  Frame f = BeginFrame(kCmdFreeze);
  freeze::kOn.Put(f, freeze ? 1 : 0);
  freeze::kMarker.Put(f, 1);
  SealFrame(f);
  return f;
}

bool ReadFreezeFrame(const Frame& f) { return freeze::kOn.Get(f) != 0; }

Frame BuildShutterFrame() {
  Frame f = BeginFrame(kCmdShutter);
  shutter::kMarker.Put(f, 1);
  SealFrame(f);
  return f;
}

Frame BuildEnhanceFrame(int on) {
  Frame f = BeginFrame(kCmdEnhance);
  enhance::kOn.Put(f, on);
  SealFrame(f);
  return f;
}

int ReadEnhanceFrame(const Frame& f) { return enhance::kOn.Get(f); }

Frame BuildThermalFrame(const ThermalSettings& s) {
  using namespace thermal;
  Frame f = BeginFrame(kCmdDisplayChannel);
  kPseudoColor.Put(f, s.pseudoColor);
  kAlarmTemp.Put(f, s.alarmTemp);
  kTempBar.Put(f, s.tempBar);
  kChannel.Put(f, s.channel);
  kHighAlarm.Put(f, s.highAlarm);
  kLowAlarm.Put(f, s.lowAlarm);
  if (s.withCompensation) {
    kCompTemp.Put(f, s.compTemp);
    kCompTempOn.Put(f, s.compTempOn);
  }
  SealFrame(f);
  return f;
}

ThermalSettings ReadThermalFrame(const Frame& f) {
  using namespace thermal;
  ThermalSettings s;
  s.pseudoColor = kPseudoColor.Get(f);
  s.alarmTemp = kAlarmTemp.Get(f);
  s.tempBar = kTempBar.Get(f);
  s.channel = kChannel.Get(f);
  s.highAlarm = kHighAlarm.Get(f);
  s.lowAlarm = kLowAlarm.Get(f);
  s.compTemp = kCompTemp.Get(f);
  s.compTempOn = kCompTempOn.Get(f);
  s.withCompensation = false;  // only the alarm-temperature "OK" writes these bytes
  for (std::size_t i = kCompTemp.at; i <= kCompTempOn.at; ++i) s.withCompensation = s.withCompensation || f[i] != 0;
  return s;
}

Frame BuildStabilizer(std::uint8_t param) {
  Frame f = ViscaHead(kStabilizerHead, kStabilizerSize);
  const std::size_t at = sizeof kStabilizerHead;
  f[at] = param;
  f[at + 1] = kViscaTerminator;
  return f;
}

Frame BuildDefog(std::uint8_t param) {
  Frame f = ViscaHead(kDefogHead, kDefogSize);
  const std::size_t at = sizeof kDefogHead;
  f[at] = param;
  f[at + 1] = 0x00;
  f[at + 2] = kViscaTerminator;
  return f;
}

Frame BuildVideoFormat(std::uint8_t code) {
  Frame f = ViscaHead(kVideoFormatHead, kVideoFormatSize + sizeof kVideoFormatTrailers);
  const std::size_t at = sizeof kVideoFormatHead;
  f[at] = static_cast<std::uint8_t>(code >> 4);
  f[at + 1] = static_cast<std::uint8_t>(code & 0x0F);
  f[at + 2] = kViscaTerminator;
  std::memcpy(f.data() + kVideoFormatSize, kVideoFormatTrailers, sizeof kVideoFormatTrailers);
  return f;
}

ViscaCommand ReadVisca(const Frame& c) {
  const std::size_t n = c.size();
  if (n == kViscaZoomSize && StartsWith(c, kViscaZoomHead))
    return {ViscaKind::kZoom, (c[4] << 12) | (c[5] << 8) | (c[6] << 4) | c[7]};
  if (n == kStabilizerSize && StartsWith(c, kStabilizerHead)) return {ViscaKind::kStabilizer, c[4]};
  if (n == kDefogSize && StartsWith(c, kDefogHead)) return {ViscaKind::kDefog, c[4]};
  if (n == kVideoFormatSize && StartsWith(c, kVideoFormatHead))
    return {ViscaKind::kVideoFormat, (c[5] << 4) | c[6]};
  return {};
}

// ---- storage ----------------------------------------------------------------

Frame BuildStorageFrame(StorageAction action, const StorageSettings& s) {
  using namespace storage;
  Frame f = BeginFrame(kCmdStorage);
  kAction.Put(f, action + (s.interlaced ? kInterlaced : 0) + (s.network ? kNetwork : 0));
  if (action == kStorageStart) kVideoLength.Put(f, s.videoLength);
  kPreservation.Put(f, s.preservation);
  kPreservationMode.Put(f, s.preservationMode);
  kChannel.Put(f, s.channel);
  SealFrame(f);
  return f;
}

StorageCommand ReadStorageFrame(const Frame& f) {
  using namespace storage;
  StorageCommand c{};
  const std::uint8_t a = kAction.Get(f);
  c.action = a & kActionMask;
  c.settings.interlaced = (a & kInterlaced) ? 1 : 0;
  c.settings.network = (a & kNetwork) ? 1 : 0;
  c.settings.videoLength = kVideoLength.Get(f);
  c.settings.preservation = kPreservation.Get(f);
  c.settings.preservationMode = kPreservationMode.Get(f);
  c.settings.channel = kChannel.Get(f);
  return c;
}

Frame BuildFormatFrame() {
  Frame f = BeginFrame(kCmdFormat);
  SealFrame(f);
  return f;
}

Frame BuildCardQuery(std::uint8_t q) {
  Frame f = BeginFrame(kCmdCardQuery);
  query::kCode.Put(f, q);
  SealFrame(f);
  return f;
}

std::uint8_t ReadCardQuery(const Frame& f) { return query::kCode.Get(f); }

const char* CardQueryName(std::uint8_t q) {
  switch (q) {
    case kQueryState: return "state";
    case kQueryCapacity: return "capacity";
    case kQueryResidual: return "residual capacity";
    case kQueryPictures: return "remaining pictures";
    case kQueryMinutes: return "remaining minutes";
    default: return "?";
  }
}

// ---- OSD --------------------------------------------------------------------

Frame BuildOsdFrame(const OsdSettings& s) {
  using namespace osd;
  Frame f = BeginFrame(kCmdOsd);
  kDisplay.Put(f, s.displayFlags);
  kCore.Put(f, s.coreCode);
  kInput.Put(f, s.inputFlags);
  kYear.Put(f, s.year);
  kMonth.Put(f, s.month);
  kDay.Put(f, s.day);
  kHour.Put(f, s.hour);
  kMinute.Put(f, s.minute);
  kSecond.Put(f, s.second);
  kHeading.Put(f, s.heading);
  kPitching.Put(f, s.pitching);
  kRoll.Put(f, s.roll);
  kGpsN.Put(f, s.gpsN);
  kGpsE.Put(f, s.gpsE);
  kGpsH.Put(f, s.gpsH);
  SealFrame(f);
  return f;
}

OsdSettings ReadOsdFrame(const Frame& f) {
  using namespace osd;
  OsdSettings s;
  s.coreCode = kCore.Get(f);
  s.displayFlags = kDisplay.Get(f);
  s.inputFlags = kInput.Get(f);
  s.year = kYear.Get(f);
  s.month = kMonth.Get(f);
  s.day = kDay.Get(f);
  s.hour = kHour.Get(f);
  s.minute = kMinute.Get(f);
  s.second = kSecond.Get(f);
  s.heading = kHeading.Get(f);
  s.pitching = kPitching.Get(f);
  s.roll = kRoll.Get(f);
  s.gpsN = kGpsN.Get(f);
  s.gpsE = kGpsE.Get(f);
  s.gpsH = kGpsH.Get(f);
  return s;
}

// ---- image adjustment -------------------------------------------------------

Frame BuildTempCoeffFrame(int value) {
  Frame f = BeginFrame(kCmdTempCoeff);
  coeff::kValue.Put(f, value);
  SealFrame(f);
  return f;
}

int ReadTempCoeffFrame(const Frame& f) { return coeff::kValue.Get(f); }

Frame BuildContrastBrightnessFrame(int c, int b) {
  Frame f = BeginFrame(kCmdContrastBrightness);
  contrast::kContrast.Put(f, c);
  contrast::kBrightness.Put(f, b);
  SealFrame(f);
  return f;
}

ContrastBrightness ReadContrastBrightnessFrame(const Frame& f) {
  return {contrast::kContrast.Get(f), contrast::kBrightness.Get(f)};
}
