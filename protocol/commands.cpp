#include "protocol/commands.h"

#include <cstring>

#include "protocol/frame.h"

// ---- tracking ---------------------------------------------------------------

std::uint8_t ControlModeCode(int selection) {
  switch (selection) {
    case 0: return kCmdCrossWire;
    case 1: return kCmdGimbalMode1;
    case 2: return kCmdGimbalMode2;
    default: return 0x00;
  }
}

std::uint8_t TemplateCode(int selection) {
  // Indexed in the list's alphabetical order: Adaptive, Large, Middle, Small.
  static constexpr std::uint8_t kCodes[] = {0x3C, 0x24, 0x28, 0x30};
  return selection >= 0 && selection < 4 ? kCodes[selection] : 0x00;
}

void BuildMoveFrame(std::uint8_t* f, std::uint8_t code, std::int32_t x, std::int32_t y, std::uint8_t tracking) {
  BeginFrame(f, code);
  f[12] = 0x00;                              // 0 = move frame
  f[6] = static_cast<std::uint8_t>(~f[12]);  // complement of the frame kind
  PutU16(f + 7, x);                          // pixels or steps, positive to the right
  PutU16(f + 9, y);                          // positive downwards
  f[11] = tracking;
  SealFrame(f);
}

void BuildTrackFrame(std::uint8_t* f, std::uint8_t state, std::uint8_t templateCode) {
  BeginFrame(f, kCmdCrossWire);
  f[12] = 0x01;  // 1 = tracking frame
  f[6] = static_cast<std::uint8_t>(~f[12]);
  f[11] = state;
  f[13] = templateCode;
  SealFrame(f);
}

void BuildCancelFrame(std::uint8_t* f) {
  BeginFrame(f, kCmdCancelTracking);
  SealFrame(f);
}

void BuildTemplateFrame(std::uint8_t* f, std::uint8_t templateCode) {
  BeginFrame(f, kCmdTemplate);
  f[13] = templateCode;
  SealFrame(f);
}

// ---- zoom -------------------------------------------------------------------

const std::uint16_t kZoomPositions[kZoomMax] = {
    0x0000, 0x16A1, 0x2063, 0x2628, 0x2A1D, 0x2D13, 0x2F6D, 0x3161, 0x330D, 0x3486,
    0x35D7, 0x3709, 0x3820, 0x3920, 0x3A0A, 0x3ADD, 0x3B9C, 0x3C46, 0x3CDC, 0x3D60,
    0x3DD4, 0x3E39, 0x3E90, 0x3EDC, 0x3F1E, 0x3F57, 0x3F8A, 0x3FB6, 0x3FDC, 0x4000,
};

int ClampZoom(int level) { return level < kZoomMin ? kZoomMin : (level > kZoomMax ? kZoomMax : level); }

void BuildViscaZoom(std::uint8_t* z, int level) {
  const std::uint16_t p = kZoomPositions[ClampZoom(level) - 1];
  std::memset(z, 0, kZoomFrameSize);
  z[0] = 0x81;
  z[1] = 0x01;
  z[2] = 0x04;
  z[3] = 0x47;
  z[4] = static_cast<std::uint8_t>((p >> 12) & 0x0F);
  z[5] = static_cast<std::uint8_t>((p >> 8) & 0x0F);
  z[6] = static_cast<std::uint8_t>((p >> 4) & 0x0F);
  z[7] = static_cast<std::uint8_t>(p & 0x0F);
  z[8] = 0xFF;
}

void BuildPrivateZoom(std::uint8_t* f, int level) {
  BeginFrame(f, kCmdZoom);
  f[6] = static_cast<std::uint8_t>(ClampZoom(level) + 0x80);
  SealFrame(f);
}

// ---- imaging ----------------------------------------------------------------

void BuildFreezeFrame(std::uint8_t* f, bool freeze) {
  BeginFrame(f, kCmdFreeze);
  f[6] = freeze ? 0x01 : 0x00;
  f[17] = 0x01;
  SealFrame(f);
}

void BuildShutterFrame(std::uint8_t* f) {
  BeginFrame(f, kCmdShutter);
  f[4] = 0x01;
  SealFrame(f);
}

void BuildEnhanceFrame(std::uint8_t* f, int enhance) {
  BeginFrame(f, kCmdEnhance);
  f[6] = static_cast<std::uint8_t>(enhance);
  SealFrame(f);
}

static std::uint8_t ChannelByte(int selection) {
  return selection >= 0 && selection <= 7 ? static_cast<std::uint8_t>(selection) : 0;
}

void BuildThermalFrame(std::uint8_t* f, const ThermalSettings& s) {
  BeginFrame(f, kCmdDisplayChannel);
  f[6] = static_cast<std::uint8_t>(s.pseudoColor);
  PutU16(f + 10, s.alarmTemp);  // degrees, two's complement
  f[12] = static_cast<std::uint8_t>(s.tempBar);
  f[14] = ChannelByte(s.channelSelection);
  f[17] = static_cast<std::uint8_t>(s.highAlarm);
  f[18] = static_cast<std::uint8_t>(s.lowAlarm);
  if (s.withCompensation) {
    PutF32(f + 19, s.compTemp);  // degrees
    f[23] = static_cast<std::uint8_t>(s.compTempOn);
  }
  SealFrame(f);
}

std::uint8_t StabilizerParam(int selection) {
  static constexpr std::uint8_t kParams[] = {0x02, 0x03, 0x00};  // ON, OFF, holding
  return selection >= 0 && selection < 3 ? kParams[selection] : 0x00;
}

std::uint8_t DefogParam(int selection) {
  static constexpr std::uint8_t kParams[] = {0x02, 0x03};  // ON, OFF
  return selection >= 0 && selection < 2 ? kParams[selection] : 0x00;
}

std::size_t BuildStabilizer(std::uint8_t* f, int selection) {
  static constexpr std::uint8_t kHead[] = {0x81, 0x01, 0x04, 0x34};
  std::memset(f, 0, kFrameSize);
  std::memcpy(f, kHead, sizeof kHead);
  f[4] = StabilizerParam(selection);
  f[5] = 0xFF;
  return 6;
}

std::size_t BuildDefog(std::uint8_t* f, int selection) {
  static constexpr std::uint8_t kHead[] = {0x81, 0x01, 0x04, 0x37};
  std::memset(f, 0, kFrameSize);
  std::memcpy(f, kHead, sizeof kHead);
  f[4] = DefogParam(selection);
  f[5] = 0x00;
  f[6] = 0xFF;
  return 7;
}

std::optional<std::uint8_t> VideoFormatCode(int selection) {
  static constexpr std::uint8_t kCodes[] = {0x06, 0x07, 0x08, 0x13, 0x14, 0x15};
  if (selection < 0 || selection >= 6) return std::nullopt;
  return kCodes[selection];
}

std::size_t BuildVideoFormat(std::uint8_t* f, std::uint8_t code) {
  std::memset(f, 0, kFrameSize);
  const std::uint8_t bytes[14] = {0x81, 0x01, 0x04, 0x24, 0x72, static_cast<std::uint8_t>(code >> 4),
                                  static_cast<std::uint8_t>(code & 0x0F), 0xFF,
                                  // the camera block expects these two trailers after the terminator
                                  0x90, 0x41, 0xFF, 0x90, 0x51, 0xFF};
  std::memcpy(f, bytes, sizeof bytes);
  return sizeof bytes;
}

// ---- storage ----------------------------------------------------------------

void BuildStorageFrame(std::uint8_t* f, StorageAction action, const StorageSettings& s) {
  BeginFrame(f, kCmdStorage);
  f[6] = static_cast<std::uint8_t>(action + (s.interlaced ? 0x08 : 0) + (s.network ? 0x04 : 0));
  if (action == kStorageStart) PutU16(f + 7, s.videoLength);
  f[10] = static_cast<std::uint8_t>(s.preservation);      // -1 becomes 0xFF
  f[11] = static_cast<std::uint8_t>(s.preservationMode);  // -1 becomes 0xFF
  f[14] = ChannelByte(s.channelSelection);
  SealFrame(f);
}

void BuildFormatFrame(std::uint8_t* f) {
  BeginFrame(f, kCmdFormat);
  SealFrame(f);
}

void BuildCardQuery(std::uint8_t* f, std::uint8_t query) {
  BeginFrame(f, kCmdCardQuery);
  f[6] = query;
  SealFrame(f);
}

// ---- OSD --------------------------------------------------------------------

std::uint8_t OsdInputFlags(int c1138, int c1144, int c1139, int c1140, int c1141, int c1142, int c1143,
                           int c1145) {
  const int bits[8] = {c1138, c1144, c1139, c1140, c1141, c1142, c1143, c1145};
  unsigned v = 0;
  for (int i = 0; i < 8; ++i) v += static_cast<unsigned>(bits[i]) << i;
  return static_cast<std::uint8_t>(v);
}

std::uint8_t CoreCode(int selection) {
  static constexpr std::uint8_t kCodes[] = {0x00, 0x10, 0x11, 0x12, 0x30, 0x31, 0x32};
  return selection >= 0 && selection < 7 ? kCodes[selection] : 0x00;
}

void BuildOsdFrame(std::uint8_t* f, const OsdSettings& s) {
  BeginFrame(f, kCmdOsd);
  f[3] = s.displayFlags;
  f[4] = CoreCode(s.coreSelection);
  f[6] = s.inputFlags;
  f[7] = static_cast<std::uint8_t>(s.year % 256);
  f[8] = static_cast<std::uint8_t>(s.year / 256);
  f[9] = static_cast<std::uint8_t>(s.month);
  f[10] = static_cast<std::uint8_t>(s.day);
  f[11] = static_cast<std::uint8_t>(s.hour);
  f[12] = static_cast<std::uint8_t>(s.minute);
  f[13] = static_cast<std::uint8_t>(s.second);
  PutF32(f + 15, s.heading);   // degrees
  PutF32(f + 19, s.pitching);  // degrees
  PutF32(f + 23, s.roll);      // degrees
  PutF64(f + 27, s.gpsN);      // degrees north
  PutF64(f + 35, s.gpsE);      // degrees east
  PutF32(f + 43, s.gpsH);      // metres
  SealFrame(f);
}

// ---- image adjustment -------------------------------------------------------

void BuildTempCoeffFrame(std::uint8_t* f, int coeff) {
  BeginFrame(f, kCmdTempCoeff);
  f[6] = static_cast<std::uint8_t>(coeff);
  SealFrame(f);
}

void BuildContrastBrightnessFrame(std::uint8_t* f, int contrast, int brightness) {
  BeginFrame(f, kCmdContrastBrightness);
  f[8] = static_cast<std::uint8_t>(contrast);
  f[12] = static_cast<std::uint8_t>(brightness);
  SealFrame(f);
}
