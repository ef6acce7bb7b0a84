// Every command family of the panel, both ways: a builder that returns the
// frame, and beside it a reader that takes a frame apart into the same fields
// (the simulated gimbal and its trace read with them). Both directions use one
// layout per frame, in commands.cpp, with the units of each field beside its
// offset. Everything here is in the device's words: codes, flags and units,
// never a list position or a control of the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/frame.h"

// Command codes of the private protocol (byte 5).
enum CommandCode : std::uint8_t {
  kCmdContrastBrightness = 0x1D,
  kCmdCancelTracking = 0x26,
  kCmdShutter = 0x70,
  kCmdCrossWire = 0x71,
  kCmdDisplayChannel = 0x78,
  kCmdStorage = 0x7C,
  kCmdZoom = 0x7D,
  kCmdFreeze = 0x81,
  kCmdTemplate = 0x82,
  kCmdOsd = 0x83,
  kCmdGimbalMode1 = 0x88,
  kCmdGimbalMode2 = 0x89,
  kCmdFormat = 0x8A,
  kCmdCardQuery = 0x8B,
  kCmdEnhance = 0x8C,
  kCmdTempCoeff = 0xC8,
};

// What a run of bytes is, for whoever reads frames off the line.
enum class FrameCheck {
  kValid,
  kTooShort,     // fewer than 48 bytes
  kNotAFrame,    // does not start 7E 7E 44
  kBadChecksum,  // the last byte is not the sum of the others
};
FrameCheck CheckFrame(const Frame& f);
// True while the n bytes seen so far may still be the start of a frame.
bool MayStartFrame(const std::uint8_t* bytes, std::size_t n);
std::uint8_t ReadCode(const Frame& f);
// The name an integrator reads in a trace ("cross wire", "format SD card", ...);
// nullptr for a code the device does not know.
const char* CommandName(std::uint8_t code);

// ---- tracking and gimbal motion -------------------------------------------
// The tracker's template sizes.
enum TemplateCode : std::uint8_t {
  kTemplateNone = 0x00,
  kTemplateLarge = 0x24,
  kTemplateMiddle = 0x28,
  kTemplateSmall = 0x30,
  kTemplateAdaptive = 0x3C,
};
// code: the arrow frames go out as kCmdCrossWire, kCmdGimbalMode1 or
// kCmdGimbalMode2 (0x00 when no control mode is chosen).
Frame BuildMoveFrame(std::uint8_t code, std::int32_t x, std::int32_t y, std::uint8_t tracking);
Frame BuildTrackFrame(std::uint8_t state, std::uint8_t templateCode);
Frame BuildCancelFrame();
Frame BuildTemplateFrame(std::uint8_t templateCode);
const char* TemplateName(std::uint8_t templateCode);  // "adaptive", "large", ...; "none" otherwise

// 0x71 (and 0x88, 0x89 for moves) carries either a move or a tracking command.
bool IsTrackFrame(const Frame& f);
struct MoveCommand {
  std::uint8_t code;
  std::int16_t x, y;  // steps, as the 16 bits sent
  std::uint8_t tracking;
};
MoveCommand ReadMoveFrame(const Frame& f);
// The move a whole, valid frame carries (an arrow's, the stick's, a typed
// one); nothing for any other frame. Only a move with zero steps stops a
// gimbal that one set turning.
std::optional<MoveCommand> AsMove(const Frame& f);
struct TrackCommand {
  std::uint8_t state;  // 1 start, 0 stop
  std::uint8_t templateCode;
};
TrackCommand ReadTrackFrame(const Frame& f);
std::uint8_t ReadTemplateFrame(const Frame& f);

// ---- zoom -----------------------------------------------------------------
inline constexpr int kZoomMin = 1;
inline constexpr int kZoomMax = 30;
extern const std::uint16_t kZoomPositions[kZoomMax];  // index level-1
int ClampZoom(int level);
Frame BuildViscaZoom(int level);    // 81 01 04 47 0p 0q 0r 0s FF
Frame BuildPrivateZoom(int level);  // 0x7D, byte 6 = level + 0x80
int ReadPrivateZoom(const Frame& f);  // the level as sent
int ZoomLevelAt(std::uint16_t position);               // highest level whose position is not above

// ---- imaging and video modes ----------------------------------------------
Frame BuildFreezeFrame(bool freeze);
Frame BuildShutterFrame();
Frame BuildEnhanceFrame(int enhance);
bool ReadFreezeFrame(const Frame& f);
int ReadEnhanceFrame(const Frame& f);

// The 0x78 frame shared by the display-channel "OK" and the alarm-temperature "OK".
struct ThermalSettings {
  int pseudoColor = 0;
  std::int32_t alarmTemp = 0;  // degrees, low 16 bits sent
  int tempBar = 0;
  std::uint8_t channel = 0;    // display channel 0..7
  int highAlarm = 0;
  int lowAlarm = 0;
  bool withCompensation = false;  // only the alarm-temperature "OK" sends bytes 19..23
  float compTemp = 0.0f;          // degrees
  int compTempOn = 0;
};
Frame BuildThermalFrame(const ThermalSettings& s);
// alarmTemp comes back as the signed 16 bits sent, withCompensation when any
// compensation byte is set.
ThermalSettings ReadThermalFrame(const Frame& f);

// The camera block's image stabilizer and defog parameters.
enum ViscaSwitch : std::uint8_t { kViscaHold = 0x00, kViscaOn = 0x02, kViscaOff = 0x03 };
Frame BuildStabilizer(std::uint8_t param);  // 6 bytes
Frame BuildDefog(std::uint8_t param);       // 7 bytes
// The VISCA video format command and the two trailers the camera expects: 14 bytes.
Frame BuildVideoFormat(std::uint8_t code);

// VISCA commands for the camera block: address 81, up to the FF terminator.
inline constexpr std::uint8_t kViscaAddress = 0x81;
inline constexpr std::uint8_t kViscaTerminator = 0xFF;
inline constexpr std::size_t kViscaMaxSize = 16;
enum class ViscaKind { kZoom, kStabilizer, kDefog, kVideoFormat, kOther };
struct ViscaCommand {
  ViscaKind kind = ViscaKind::kOther;
  int value = 0;  // zoom position, stabilizer or defog parameter, video format code
};
// c: one command, address to terminator (the trailers of a video format frame are not part of it).
ViscaCommand ReadVisca(const Frame& c);

// ---- storage, capture and SD card -----------------------------------------
enum StorageAction : std::uint8_t { kStorageStop = 0, kStorageStart = 1, kStorageCapture = 2 };
struct StorageSettings {
  int interlaced = 0;            // +0x08 on the action byte
  int network = 0;               // +0x04 on the action byte
  std::int32_t videoLength = 0;  // minutes, low 16 bits, sent by Start storage only
  int preservation = 0;          // what to keep, byte 10 (-1 is sent as 0xFF)
  int preservationMode = 0;      // byte 11 (-1 is sent as 0xFF)
  std::uint8_t channel = 0;      // display channel 0..7, byte 14
};
Frame BuildStorageFrame(StorageAction action, const StorageSettings& s);
struct StorageCommand {
  int action;  // StorageAction, or 3 from a foreign frame
  StorageSettings settings;  // videoLength 0..65535; preservation bytes as signed (0xFF -> -1)
};
StorageCommand ReadStorageFrame(const Frame& f);
Frame BuildFormatFrame();
enum CardQuery : std::uint8_t {
  kQueryState = 0x02,
  kQueryCapacity = 0x03,
  kQueryResidual = 0x04,
  kQueryPictures = 0x05,
  kQueryMinutes = 0x06,
};
Frame BuildCardQuery(std::uint8_t query);
std::uint8_t ReadCardQuery(const Frame& f);
const char* CardQueryName(std::uint8_t query);  // "state", ...; "?" otherwise

// ---- OSD ------------------------------------------------------------------
// Byte 3: what the overlay hides or shows.
enum OsdDisplay : std::uint8_t {
  kOsdHide = 1 << 0,
  kOsdHideCrossFrame = 1 << 1,
  kOsdHideAttitude = 1 << 2,
  kOsdMissDistance = 1 << 3,
  kOsdHideGps = 1 << 4,
  kOsdHideTime = 1 << 5,
  kOsdHideFieldOfView = 1 << 6,
  kOsdBigFont = 1 << 7,
};
// Byte 6: which inputs the overlay takes, and whether to keep the settings.
enum OsdInput : std::uint8_t {
  kOsdSave = 1 << 0,
  kOsdTimeInput = 1 << 1,
  kOsdGpsInput = 1 << 2,
  kOsdGpsRelative = 1 << 3,
  kOsdAngleInput = 1 << 4,
  kOsdFieldInput = 1 << 5,
  kOsdFieldAngle = 1 << 6,
  kOsdHideBorder = 1 << 7,
};
// Byte 4: the camera core the overlay is drawn for (0x00: none chosen).
enum CoreCode : std::uint8_t {
  kCoreNone = 0x00,
  kCoreSony7520 = 0x10,
  kCoreHomemade1 = 0x11,
  kCoreHomemade2 = 0x12,
  kCoreSony7520At60Hz = 0x30,
  kCoreHomemade1At60Hz = 0x31,
  kCoreHomemade2At60Hz = 0x32,
};
struct OsdSettings {
  std::uint8_t displayFlags = 0;  // OsdDisplay
  std::uint8_t inputFlags = 0;    // OsdInput
  std::uint8_t coreCode = 0;      // CoreCode
  std::int32_t year = 2017, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  float heading = 0, pitching = 0, roll = 0;  // degrees, as typed
  double gpsN = 0, gpsE = 0;                  // degrees, as typed
  float gpsH = 0;                             // metres, as typed
};
Frame BuildOsdFrame(const OsdSettings& s);
OsdSettings ReadOsdFrame(const Frame& f);

// ---- temperature compensation, contrast, brightness ------------------------
Frame BuildTempCoeffFrame(int coeff);                          // 0..200
Frame BuildContrastBrightnessFrame(int contrast, int brightness);  // 0..100 each
int ReadTempCoeffFrame(const Frame& f);
struct ContrastBrightness {
  int contrast, brightness;
};
ContrastBrightness ReadContrastBrightnessFrame(const Frame& f);
