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
      EXPECT_EQ(CheckFrame(bytes.data(), bytes.size()), FrameCheck::kValid) << name;
      EXPECT_TRUE(CommandName(ReadCode(bytes.data())) || ReadCode(bytes.data()) == 0) << name;
    } else {
      const auto end = std::find(bytes.begin(), bytes.end(), kViscaTerminator);
      ASSERT_NE(end, bytes.end()) << name;
      const auto n = static_cast<std::size_t>(end - bytes.begin()) + 1;
      EXPECT_NE(ReadVisca(bytes.data(), n).kind, ViscaKind::kOther) << name;
    }
  }
}

TEST(Readers, DamagedFramesAreToldApart) {
  std::uint8_t f[kFrameSize];
  BuildCardQuery(f, kQueryState);
  EXPECT_EQ(CheckFrame(f, kFrameSize), FrameCheck::kValid);
  EXPECT_EQ(CheckFrame(f, 47), FrameCheck::kTooShort);
  EXPECT_EQ(CheckFrame(f, 0), FrameCheck::kNotAFrame);
  for (std::size_t i = 0; i < kFrameSize; ++i) {
    std::uint8_t g[kFrameSize];
    std::memcpy(g, f, kFrameSize);
    g[i] ^= 0x10;
    EXPECT_EQ(CheckFrame(g, kFrameSize), i < 3 ? FrameCheck::kNotAFrame : FrameCheck::kBadChecksum) << i;
  }
  const std::uint8_t prefixes[][3] = {{0x7E, 0x7E, 0x44}, {0x7E, 0x7E, 0x45}, {0x7E, 0x44, 0x00}};
  EXPECT_TRUE(MayStartFrame(prefixes[0], 3));
  EXPECT_TRUE(MayStartFrame(prefixes[1], 2));  // the third byte has not come yet
  EXPECT_FALSE(MayStartFrame(prefixes[1], 3));
  EXPECT_FALSE(MayStartFrame(prefixes[2], 2));
}

TEST(Readers, MoveAndTracking) {
  const std::int32_t steps[] = {0, 5, -5, 32767, -32768, 65535, 65536, 70000, -70000};
  for (int mode : {-1, 0, 1, 2})
    for (std::int32_t x : steps)
      for (std::int32_t y : {std::int32_t{0}, x, -x})
        for (std::uint8_t tracking : {0, 1}) {
          std::uint8_t f[kFrameSize];
          BuildMoveFrame(f, ControlModeCode(mode), x, y, tracking);
          ASSERT_FALSE(IsTrackFrame(f));
          const MoveCommand m = ReadMoveFrame(f);
          EXPECT_EQ(m.code, ControlModeCode(mode));
          EXPECT_EQ(m.x, Sent16(x)) << x;
          EXPECT_EQ(m.y, Sent16(y)) << y;
          EXPECT_EQ(m.tracking, tracking);
        }
  for (int sel = -1; sel < 4; ++sel)
    for (std::uint8_t state : {0, 1}) {
      std::uint8_t f[kFrameSize];
      BuildTrackFrame(f, state, TemplateCode(sel));
      ASSERT_TRUE(IsTrackFrame(f));
      EXPECT_EQ(ReadTrackFrame(f).state, state);
      EXPECT_EQ(ReadTrackFrame(f).templateCode, TemplateCode(sel));
      BuildTemplateFrame(f, TemplateCode(sel));
      EXPECT_EQ(ReadTemplateFrame(f), TemplateCode(sel));
    }
  EXPECT_STREQ(TemplateName(TemplateCode(1)), "large");
  EXPECT_STREQ(TemplateName(0x00), "none");
}

TEST(Readers, ZoomBothProtocols) {
  for (int level = -1; level <= 32; ++level) {
    const int sent = ClampZoom(level);
    std::uint8_t f[kFrameSize];
    BuildPrivateZoom(f, level);
    EXPECT_EQ(ReadPrivateZoom(f), sent) << level;
    BuildViscaZoom(f, level);
    const ViscaCommand v = ReadVisca(f, kZoomFrameSize);
    ASSERT_EQ(v.kind, ViscaKind::kZoom);
    EXPECT_EQ(v.value, kZoomPositions[sent - 1]);
    EXPECT_EQ(ZoomLevelAt(static_cast<std::uint16_t>(v.value)), sent);
  }
  EXPECT_EQ(ZoomLevelAt(0x0001), 1);  // between two positions: the lower level
  EXPECT_EQ(ZoomLevelAt(0xFFFF), 30);
}

TEST(Readers, CameraBlockCommands) {
  std::uint8_t f[kFrameSize];
  for (int sel = -1; sel < 4; ++sel) {
    std::size_t n = BuildStabilizer(f, sel);
    EXPECT_EQ(ReadVisca(f, n).kind, ViscaKind::kStabilizer);
    EXPECT_EQ(ReadVisca(f, n).value, StabilizerParam(sel));
    n = BuildDefog(f, sel);
    EXPECT_EQ(ReadVisca(f, n).kind, ViscaKind::kDefog);
    EXPECT_EQ(ReadVisca(f, n).value, DefogParam(sel));
  }
  for (int sel = 0; sel < 6; ++sel) {
    BuildVideoFormat(f, *VideoFormatCode(sel));
    const ViscaCommand v = ReadVisca(f, 8);  // up to the first terminator
    EXPECT_EQ(v.kind, ViscaKind::kVideoFormat);
    EXPECT_EQ(v.value, *VideoFormatCode(sel));
  }
  const std::uint8_t other[] = {0x81, 0x01, 0x04, 0x00, 0x02, 0xFF};
  EXPECT_EQ(ReadVisca(other, sizeof other).kind, ViscaKind::kOther);
  EXPECT_EQ(ReadVisca(f, 3).kind, ViscaKind::kOther);  // cut short
}

TEST(Readers, ImagingAndThermal) {
  std::uint8_t f[kFrameSize];
  for (bool on : {false, true}) {
    BuildFreezeFrame(f, on);
    EXPECT_EQ(ReadFreezeFrame(f), on);
    BuildEnhanceFrame(f, on);
    EXPECT_EQ(ReadEnhanceFrame(f), on ? 1 : 0);
  }
  struct Case {
    std::int32_t alarm;
    float comp;
    int channel, sentChannel;
    bool withCompensation;
  };
  const Case cases[] = {
      {0, 0.0f, 0, 0, false},       {-20, 25.5f, 7, 7, true},   {-200, -200.0f, 3, 3, true},
      {300, 300.0f, 8, 0, true},    {70000, 1.0f, -1, 0, true}, {-32768, -0.5f, 1, 1, false},
  };
  for (const Case& c : cases) {
    ThermalSettings s;
    s.pseudoColor = 1;
    s.alarmTemp = c.alarm;
    s.tempBar = 1;
    s.channelSelection = c.channel;
    s.highAlarm = 1;
    s.lowAlarm = 1;
    s.withCompensation = c.withCompensation;
    s.compTemp = c.comp;
    s.compTempOn = 1;
    BuildThermalFrame(f, s);
    const ThermalSettings r = ReadThermalFrame(f);
    EXPECT_EQ(r.alarmTemp, Sent16(c.alarm));
    EXPECT_EQ(r.channelSelection, c.sentChannel);
    EXPECT_EQ(r.withCompensation, c.withCompensation);
    EXPECT_EQ(r.compTemp, c.withCompensation ? c.comp : 0.0f);
    EXPECT_EQ(r.compTempOn, c.withCompensation ? 1 : 0);
    EXPECT_EQ(r.pseudoColor + r.tempBar + r.highAlarm + r.lowAlarm, 4);
  }
  for (int coeffValue : {0, 100, 200}) {
    BuildTempCoeffFrame(f, coeffValue);
    EXPECT_EQ(ReadTempCoeffFrame(f), coeffValue);
  }
  for (int contrast : {0, 51, 100})
    for (int brightness : {0, 49, 100}) {
      BuildContrastBrightnessFrame(f, contrast, brightness);
      EXPECT_EQ(ReadContrastBrightnessFrame(f).contrast, contrast);
      EXPECT_EQ(ReadContrastBrightnessFrame(f).brightness, brightness);
    }
}

TEST(Readers, StorageAndQueries) {
  std::uint8_t f[kFrameSize];
  for (StorageAction action : {kStorageStop, kStorageStart, kStorageCapture})
    for (int bits = 0; bits < 4; ++bits)
      for (std::int32_t length : {1, 600, 65535, 65536, -1})
        for (int selection : {-1, 0, 2, 7, 8}) {
          StorageSettings s;
          s.interlaced = bits & 1;
          s.network = bits >> 1;
          s.videoLength = length;
          s.preservation = s.preservationMode = selection;
          s.channelSelection = selection;
          BuildStorageFrame(f, action, s);
          const StorageCommand c = ReadStorageFrame(f);
          EXPECT_EQ(c.action, action);
          EXPECT_EQ(c.settings.interlaced, bits & 1);
          EXPECT_EQ(c.settings.network, bits >> 1);
          EXPECT_EQ(c.settings.videoLength, action == kStorageStart ? (length & 0xFFFF) : 0) << length;
          EXPECT_EQ(c.settings.preservation, selection);
          EXPECT_EQ(c.settings.preservationMode, selection);
          EXPECT_EQ(c.settings.channelSelection, selection >= 0 && selection <= 7 ? selection : 0);
        }
  for (std::uint8_t q : {kQueryState, kQueryCapacity, kQueryResidual, kQueryPictures, kQueryMinutes}) {
    BuildCardQuery(f, q);
    EXPECT_EQ(ReadCardQuery(f), q);
    EXPECT_STRNE(CardQueryName(q), "?");
  }
}

TEST(Readers, Osd) {
  for (int bit = 0; bit < 9; ++bit)
    for (int core = -1; core < 7; ++core) {
      OsdSettings s;
      s.displayFlags = bit < 8 ? static_cast<std::uint8_t>(1u << bit) : 0xFF;
      s.inputFlags = static_cast<std::uint8_t>(~s.displayFlags);
      s.coreSelection = core;
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
      std::uint8_t f[kFrameSize];
      BuildOsdFrame(f, s);
      const OsdCommand c = ReadOsdFrame(f);
      const OsdSettings& r = c.settings;
      EXPECT_EQ(r.displayFlags, s.displayFlags);
      EXPECT_EQ(r.inputFlags, s.inputFlags);
      EXPECT_EQ(c.coreCode, CoreCode(core));
      EXPECT_EQ(r.coreSelection, core < 0 ? 0 : core);  // no selection sends the first core's code
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
