// Reading a built frame gives back the fields it was built from, at the
// bounds the operator can type, and only whole, well-summed frames count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "literal_frames.h"
#include "protocol/commands.h"
#include "protocol/frame.h"

namespace {
std::int16_t Sent16(std::int32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }
}  // namespace

TEST(Readers, EveryLiteralFrameIsValidAndReadable) {
  for (const auto& [name, bytes] : LiteralFrames()) {
    if (bytes.size() == kFrameSize) {
      const Frame f(bytes.data(), bytes.size());
      EXPECT_EQ(CheckFrame(f), FrameCheck::kValid) << name;
      EXPECT_TRUE(CommandName(ReadCode(f)) || ReadCode(f) == 0) << name;
    } else {
      const auto end = std::find(bytes.begin(), bytes.end(), kViscaTerminator);
      ASSERT_NE(end, bytes.end()) << name;
      const auto n = static_cast<std::size_t>(end - bytes.begin()) + 1;
      EXPECT_NE(ReadVisca(Frame(bytes.data(), n)).kind, ViscaKind::kOther) << name;
    }
  }
}

TEST(Readers, DamagedFramesAreToldApart) {
  const Frame f = BuildCardQuery(kQueryState);
  EXPECT_EQ(CheckFrame(f), FrameCheck::kValid);
  EXPECT_EQ(CheckFrame(Frame(f.data(), 47)), FrameCheck::kTooShort);
  EXPECT_EQ(CheckFrame(Frame()), FrameCheck::kNotAFrame);
  for (std::size_t i = 0; i < kFrameSize; ++i) {
    Frame g = f;
    g[i] ^= 0x10;
    EXPECT_EQ(CheckFrame(g), i < 3 ? FrameCheck::kNotAFrame : FrameCheck::kBadChecksum) << i;
  }
  const std::uint8_t prefixes[][3] = {{0x7E, 0x7E, 0x44}, {0x7E, 0x7E, 0x45}, {0x7E, 0x44, 0x00}};
  EXPECT_TRUE(MayStartFrame(prefixes[0], 3));
  EXPECT_TRUE(MayStartFrame(prefixes[1], 2));  // the third byte has not come yet
  EXPECT_FALSE(MayStartFrame(prefixes[1], 3));
  EXPECT_FALSE(MayStartFrame(prefixes[2], 2));
}

TEST(Readers, MoveAndTracking) {
  const std::int32_t steps[] = {0, 5, -5, 32767, -32768, 65535, 65536, 70000, -70000};
  for (std::uint8_t code : {0x00, 0x71, 0x88, 0x89})
    for (std::int32_t x : steps)
      for (std::int32_t y : {std::int32_t{0}, x, -x})
        for (std::uint8_t tracking : {0, 1}) {
          const Frame f = BuildMoveFrame(code, x, y, tracking);
          ASSERT_FALSE(IsTrackFrame(f));
          const MoveCommand m = ReadMoveFrame(f);
          EXPECT_EQ(m.code, code);
          EXPECT_EQ(m.x, Sent16(x)) << x;
          EXPECT_EQ(m.y, Sent16(y)) << y;
          EXPECT_EQ(m.tracking, tracking);
        }
  for (std::uint8_t size : {kTemplateNone, kTemplateAdaptive, kTemplateLarge, kTemplateMiddle, kTemplateSmall})
    for (std::uint8_t state : {0, 1}) {
      const Frame f = BuildTrackFrame(state, size);
      ASSERT_TRUE(IsTrackFrame(f));
      EXPECT_EQ(ReadTrackFrame(f).state, state);
      EXPECT_EQ(ReadTrackFrame(f).templateCode, size);
      EXPECT_EQ(ReadTemplateFrame(BuildTemplateFrame(size)), size);
    }
  EXPECT_STREQ(TemplateName(kTemplateLarge), "large");
  EXPECT_STREQ(TemplateName(0x00), "none");
}

TEST(Readers, ZoomBothProtocols) {
  for (int level = -1; level <= 32; ++level) {
    const int sent = ClampZoom(level);
    EXPECT_EQ(ReadPrivateZoom(BuildPrivateZoom(level)), sent) << level;
    const Frame f = BuildViscaZoom(level);
    EXPECT_EQ(f.size(), 9u);  // 81 01 04 47 0p 0q 0r 0s FF
    const ViscaCommand v = ReadVisca(f);
    ASSERT_EQ(v.kind, ViscaKind::kZoom);
    EXPECT_EQ(v.value, kZoomPositions[sent - 1]);
    EXPECT_EQ(ZoomLevelAt(static_cast<std::uint16_t>(v.value)), sent);
  }
  EXPECT_EQ(ZoomLevelAt(0x0001), 1);  // between two positions: the lower level
  EXPECT_EQ(ZoomLevelAt(0xFFFF), 30);
}

TEST(Readers, CameraBlockCommands) {
  for (std::uint8_t param : {kViscaHold, kViscaOn, kViscaOff}) {
    const Frame stabilizer = BuildStabilizer(param);
    EXPECT_EQ(stabilizer.size(), 6u);
    EXPECT_EQ(ReadVisca(stabilizer).kind, ViscaKind::kStabilizer);
    EXPECT_EQ(ReadVisca(stabilizer).value, param);
    const Frame defog = BuildDefog(param);
    EXPECT_EQ(defog.size(), 7u);
    EXPECT_EQ(ReadVisca(defog).kind, ViscaKind::kDefog);
    EXPECT_EQ(ReadVisca(defog).value, param);
  }
  for (std::uint8_t code : {0x06, 0x07, 0x08, 0x13, 0x14, 0x15}) {
    const Frame f = BuildVideoFormat(code);
    EXPECT_EQ(f.size(), 14u);
    const ViscaCommand v = ReadVisca(Frame(f.data(), 8));  // up to the first terminator
    EXPECT_EQ(v.kind, ViscaKind::kVideoFormat);
    EXPECT_EQ(v.value, code);
  }
  const std::uint8_t other[] = {0x81, 0x01, 0x04, 0x00, 0x02, 0xFF};
  EXPECT_EQ(ReadVisca(Frame(other, sizeof other)).kind, ViscaKind::kOther);
  EXPECT_EQ(ReadVisca(Frame(BuildStabilizer(kViscaOn).data(), 3)).kind, ViscaKind::kOther);  // cut short
}

TEST(Readers, ImagingAndThermal) {
  for (bool on : {false, true}) {
    EXPECT_EQ(ReadFreezeFrame(BuildFreezeFrame(on)), on);
    EXPECT_EQ(ReadEnhanceFrame(BuildEnhanceFrame(on)), on ? 1 : 0);
  }
  struct Case {
    std::int32_t alarm;
    float comp;
    std::uint8_t channel;
    bool withCompensation;
  };
  const Case cases[] = {
      {0, 0.0f, 0, false},   {-20, 25.5f, 7, true}, {-200, -200.0f, 3, true},
      {300, 300.0f, 0, true}, {70000, 1.0f, 5, true}, {-32768, -0.5f, 1, false},
  };
  for (const Case& c : cases) {
    ThermalSettings s;
    s.pseudoColor = 1;
    s.alarmTemp = c.alarm;
    s.tempBar = 1;
    s.channel = c.channel;
    s.highAlarm = 1;
    s.lowAlarm = 1;
    s.withCompensation = c.withCompensation;
    s.compTemp = c.comp;
    s.compTempOn = 1;
    const ThermalSettings r = ReadThermalFrame(BuildThermalFrame(s));
    EXPECT_EQ(r.alarmTemp, Sent16(c.alarm));
    EXPECT_EQ(r.channel, c.channel);
    EXPECT_EQ(r.withCompensation, c.withCompensation);
    EXPECT_EQ(r.compTemp, c.withCompensation ? c.comp : 0.0f);
    EXPECT_EQ(r.compTempOn, c.withCompensation ? 1 : 0);
    EXPECT_EQ(r.pseudoColor + r.tempBar + r.highAlarm + r.lowAlarm, 4);
  }
  for (int coeffValue : {0, 100, 200}) EXPECT_EQ(ReadTempCoeffFrame(BuildTempCoeffFrame(coeffValue)), coeffValue);
  for (int contrast : {0, 51, 100})
    for (int brightness : {0, 49, 100}) {
      const Frame f = BuildContrastBrightnessFrame(contrast, brightness);
      EXPECT_EQ(ReadContrastBrightnessFrame(f).contrast, contrast);
      EXPECT_EQ(ReadContrastBrightnessFrame(f).brightness, brightness);
    }
}

TEST(Readers, StorageAndQueries) {
  for (StorageAction action : {kStorageStop, kStorageStart, kStorageCapture})
    for (int bits = 0; bits < 4; ++bits)
      for (std::int32_t length : {1, 600, 65535, 65536, -1})
        for (int selection : {-1, 0, 2, 7, 8}) {
          StorageSettings s;
          s.interlaced = bits & 1;
          s.network = bits >> 1;
          s.videoLength = length;
          s.preservation = s.preservationMode = selection;
          s.channel = static_cast<std::uint8_t>(selection & 7);
          const StorageCommand c = ReadStorageFrame(BuildStorageFrame(action, s));
          EXPECT_EQ(c.action, action);
          EXPECT_EQ(c.settings.interlaced, bits & 1);
          EXPECT_EQ(c.settings.network, bits >> 1);
          EXPECT_EQ(c.settings.videoLength, action == kStorageStart ? (length & 0xFFFF) : 0) << length;
          EXPECT_EQ(c.settings.preservation, selection);
          EXPECT_EQ(c.settings.preservationMode, selection);
          EXPECT_EQ(c.settings.channel, selection & 7);
        }
  for (std::uint8_t q : {kQueryState, kQueryCapacity, kQueryResidual, kQueryPictures, kQueryMinutes}) {
    EXPECT_EQ(ReadCardQuery(BuildCardQuery(q)), q);
    EXPECT_STRNE(CardQueryName(q), "?");
  }
}

TEST(Readers, Osd) {
  for (int bit = 0; bit < 9; ++bit)
    for (std::uint8_t core : {0x00, 0x10, 0x11, 0x12, 0x30, 0x31, 0x32, 0x7F}) {
      OsdSettings s;
      s.displayFlags = bit < 8 ? static_cast<std::uint8_t>(1u << bit) : 0xFF;
      s.inputFlags = static_cast<std::uint8_t>(~s.displayFlags);
      s.coreCode = core;
      s.year = 2017 + bit * 4000;  // up to 34017: both year bytes
      s.month = 12;
      s.day = 31;
      s.hour = 23;
      s.minute = 59;
      s.second = 59;
      s.heading = -359.5f;
      s.pitching = 90.25f;
      s.roll = -0.0f;
      s.gpsN = -33.123456789012;
      s.gpsE = 151.987654321098;
      s.gpsH = 8848.86f;
      const OsdSettings r = ReadOsdFrame(BuildOsdFrame(s));
      EXPECT_EQ(r.displayFlags, s.displayFlags);
      EXPECT_EQ(r.inputFlags, s.inputFlags);
      EXPECT_EQ(r.coreCode, core);
      EXPECT_EQ(r.year, s.year);
      EXPECT_EQ((std::vector<int>{r.month, r.day, r.hour, r.minute, r.second}), (std::vector<int>{12, 31, 23, 59, 59}));
      EXPECT_EQ(r.heading, s.heading);
      EXPECT_EQ(r.pitching, s.pitching);
      EXPECT_TRUE(std::signbit(r.roll));
      EXPECT_EQ(r.gpsN, s.gpsN);
      EXPECT_EQ(r.gpsE, s.gpsE);
      EXPECT_EQ(r.gpsH, s.gpsH);
    }
}
