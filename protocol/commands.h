// Every command family of the panel, both ways: a builder that clears the
// buffer it is given and fills it, and beside it a reader that takes a frame
// apart into the same fields (the simulated gimbal and its trace read with
// them). Both directions use one layout per frame, in commands.cpp, with the
// units of each field beside its offset. The caller sends the returned number
// of bytes (48 for private-protocol frames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

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
FrameCheck CheckFrame(const std::uint8_t* bytes, std::size_t n);
// True while the n bytes seen so far may still be the start of a frame.
bool MayStartFrame(const std::uint8_t* bytes, std::size_t n);
std::uint8_t ReadCode(const std::uint8_t* f);
// The name an integrator reads in a trace ("cross wire", "format SD card", ...);
// nullptr for a code the device does not know.
const char* CommandName(std::uint8_t code);

// ---- tracking and gimbal motion -------------------------------------------
// List 1151 selection -> command code of the arrow frames (-1: none -> 0x00).
std::uint8_t ControlModeCode(int selection);
// List 1103 (sorted) selection -> template code; "Large template" (1) is 0x24.
std::uint8_t TemplateCode(int selection);
void BuildMoveFrame(std::uint8_t* f, std::uint8_t code, std::int32_t x, std::int32_t y, std::uint8_t tracking);
void BuildTrackFrame(std::uint8_t* f, std::uint8_t state, std::uint8_t templateCode);
void BuildCancelFrame(std::uint8_t* f);
void BuildTemplateFrame(std::uint8_t* f, std::uint8_t templateCode);
const char* TemplateName(std::uint8_t templateCode);  // "adaptive", "large", ...; "none" otherwise

// 0x71 (and 0x88, 0x89 for moves) carries either a move or a tracking command.
bool IsTrackFrame(const std::uint8_t* f);
struct MoveCommand {
  std::uint8_t code;
  std::int16_t x, y;  // steps, as the 16 bits sent
  std::uint8_t tracking;
};
MoveCommand ReadMoveFrame(const std::uint8_t* f);
struct TrackCommand {
  std::uint8_t state;  // 1 start, 0 stop
  std::uint8_t templateCode;
};
TrackCommand ReadTrackFrame(const std::uint8_t* f);
std::uint8_t ReadTemplateFrame(const std::uint8_t* f);

// ---- zoom -----------------------------------------------------------------
inline constexpr int kZoomMin = 1;
inline constexpr int kZoomMax = 30;
extern const std::uint16_t kZoomPositions[kZoomMax];  // index level-1
int ClampZoom(int level);
void BuildViscaZoom(std::uint8_t* zoom9, int level);  // 81 01 04 47 0p 0q 0r 0s FF
void BuildPrivateZoom(std::uint8_t* f, int level);    // 0x7D, byte 6 = level + 0x80
int ReadPrivateZoom(const std::uint8_t* f);            // the level as sent
int ZoomLevelAt(std::uint16_t position);               // highest level whose position is not above

// ---- imaging and video modes ----------------------------------------------
void BuildFreezeFrame(std::uint8_t* f, bool freeze);
void BuildShutterFrame(std::uint8_t* f);
void BuildEnhanceFrame(std::uint8_t* f, int enhance);
bool ReadFreezeFrame(const std::uint8_t* f);
int ReadEnhanceFrame(const std::uint8_t* f);

// The 0x78 frame shared by the display-channel "OK" and the alarm-temperature "OK".
struct ThermalSettings {
  int pseudoColor = 0;
  std::int32_t alarmTemp = 0;  // degrees, low 16 bits sent
  int tempBar = 0;
  int channelSelection = 0;    // list 1035 index; outside 0..7 sends 0
  int highAlarm = 0;
  int lowAlarm = 0;
  bool withCompensation = false;  // only the alarm-temperature "OK" sends bytes 19..23
  float compTemp = 0.0f;          // degrees
  int compTempOn = 0;
};
void BuildThermalFrame(std::uint8_t* f, const ThermalSettings& s);
// alarmTemp comes back as the signed 16 bits sent, channelSelection as the
// channel byte, withCompensation when any compensation byte is set.
ThermalSettings ReadThermalFrame(const std::uint8_t* f);

std::uint8_t StabilizerParam(int selection);  // list 1107
std::uint8_t DefogParam(int selection);       // list 1105
std::size_t BuildStabilizer(std::uint8_t* f, int selection);  // 6 bytes
std::size_t BuildDefog(std::uint8_t* f, int selection);       // 7 bytes
// List 1148 -> VISCA video format, 14 bytes; nullopt when nothing is selected
// (the camera must never get a guessed format code).
std::optional<std::uint8_t> VideoFormatCode(int selection);
std::size_t BuildVideoFormat(std::uint8_t* f, std::uint8_t code);

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
ViscaCommand ReadVisca(const std::uint8_t* c, std::size_t n);

// ---- storage, capture and SD card -----------------------------------------
enum StorageAction : std::uint8_t { kStorageStop = 0, kStorageStart = 1, kStorageCapture = 2 };
struct StorageSettings {
  int interlaced = 0;        // check 1041 -> +0x08
  int network = 0;           // check 1101 -> +0x04
  std::int32_t videoLength = 0;  // edit 1102, low 16 bits, sent by Start storage only
  int preservation = 0;      // list 1127 index, byte 10 (-1 -> 0xFF)
  int preservationMode = 0;  // list 1128 index, byte 11 (-1 -> 0xFF)
  int channelSelection = 0;  // list 1035 index, byte 14 (outside 0..7 -> 0)
};
void BuildStorageFrame(std::uint8_t* f, StorageAction action, const StorageSettings& s);
struct StorageCommand {
  int action;  // StorageAction, or 3 from a foreign frame
  StorageSettings settings;  // videoLength 0..65535; preservation bytes as signed (0xFF -> -1)
};
StorageCommand ReadStorageFrame(const std::uint8_t* f);
void BuildFormatFrame(std::uint8_t* f);
enum CardQuery : std::uint8_t {
  kQueryState = 0x02,
  kQueryCapacity = 0x03,
  kQueryResidual = 0x04,
  kQueryPictures = 0x05,
  kQueryMinutes = 0x06,
};
void BuildCardQuery(std::uint8_t* f, std::uint8_t query);
std::uint8_t ReadCardQuery(const std::uint8_t* f);
const char* CardQueryName(std::uint8_t query);  // "state", ...; "?" otherwise

// ---- OSD ------------------------------------------------------------------
struct OsdSettings {
  std::uint8_t displayFlags = 0;  // byte 3, bit n = check 1130+n
  std::uint8_t inputFlags = 0;    // byte 6, see OsdInputFlags
  int coreSelection = 0;          // list 1147 index
  std::int32_t year = 2017, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  float heading = 0, pitching = 0, roll = 0;  // degrees, as typed
  double gpsN = 0, gpsE = 0;                  // degrees, as typed
  float gpsH = 0;                             // metres, as typed
};
// Byte 6 does not follow the id order: bit 0 is 1138, bit 1 is 1144, then 1139..1143, bit 7 1145.
std::uint8_t OsdInputFlags(int c1138, int c1144, int c1139, int c1140, int c1141, int c1142, int c1143,
                           int c1145);
std::uint8_t CoreCode(int selection);  // 0 for index 0 or none
void BuildOsdFrame(std::uint8_t* f, const OsdSettings& s);
struct OsdCommand {
  OsdSettings settings;  // coreSelection -1 for a core code the list does not offer
  std::uint8_t coreCode;
};
OsdCommand ReadOsdFrame(const std::uint8_t* f);

// ---- temperature compensation, contrast, brightness ------------------------
void BuildTempCoeffFrame(std::uint8_t* f, int coeff);  // 0..200
void BuildContrastBrightnessFrame(std::uint8_t* f, int contrast, int brightness);  // 0..100 each
int ReadTempCoeffFrame(const std::uint8_t* f);
struct ContrastBrightness {
  int contrast, brightness;
};
ContrastBrightness ReadContrastBrightnessFrame(const std::uint8_t* f);
