// Every command frame against the bytes the device documentation gives.
#include <gtest/gtest.h>

#include <functional>

#include "bytes.h"
#include "protocol/commands.h"
#include "protocol/frame.h"

namespace {
struct FrameCase {
  const char* name;
  std::function<std::size_t(std::uint8_t*)> build;  // returns the length sent
  std::vector<std::uint8_t> expected;
};

void CheckAll(const std::vector<FrameCase>& cases) {
  for (const FrameCase& c : cases) {
    std::uint8_t f[48];
    std::fill(std::begin(f), std::end(f), 0xEE);  // a builder must clear what it does not set
    const std::size_t n = c.build(f);
    EXPECT_EQ(Bytes(f, n), c.expected) << c.name;
  }
}

template <typename Fn>
std::function<std::size_t(std::uint8_t*)> F48(Fn fn) {
  return [fn](std::uint8_t* f) {
    fn(f);
    return std::size_t{48};
  };
}

StorageSettings InitialPanel() {
  StorageSettings s;
  s.videoLength = 600;
  return s;
}
}  // namespace

TEST(Commands, StorageCaptureFormatAndQueries) {
  StorageSettings all = InitialPanel();
  all.interlaced = all.network = 1;
  all.videoLength = 65536;
  all.preservation = 2;
  all.preservationMode = 1;
  all.channelSelection = 3;
  StorageSettings none = InitialPanel();
  none.preservation = none.preservationMode = none.channelSelection = -1;
  auto start = [](StorageSettings s, int length) {
    s.videoLength = length;
    return F48([s](std::uint8_t* f) { BuildStorageFrame(f, kStorageStart, s); });
  };
  CheckAll({
      {"stop", F48([](std::uint8_t* f) { BuildStorageFrame(f, kStorageStop, InitialPanel()); }),
       Frame48({{0, "7E 7E 44 00 00 7C 00"}}, 0xBC)},
      {"capture", F48([](std::uint8_t* f) { BuildStorageFrame(f, kStorageCapture, InitialPanel()); }),
       Frame48({{0, "7E 7E 44 00 00 7C 02"}}, 0xBE)},
      {"start 600", start(InitialPanel(), 600), Frame48({{0, "7E 7E 44 00 00 7C 01 58 02"}}, 0x17)},
      {"start everything", F48([all](std::uint8_t* f) { BuildStorageFrame(f, kStorageStart, all); }),
       Frame48({{0, "7E 7E 44 00 00 7C 0D 00 00 00 02 01 00 00 03 00"}}, 0xCF)},
      {"start 1", start(InitialPanel(), 1), Frame48({{0, "7E 7E 44 00 00 7C 01 01 00"}}, 0xBE)},
      {"start 65535", start(InitialPanel(), 65535), Frame48({{0, "7E 7E 44 00 00 7C 01 FF FF"}}, 0xBB)},
      {"stop ignores length", F48([](std::uint8_t* f) {
         StorageSettings s = InitialPanel();
         s.videoLength = 1234;
         BuildStorageFrame(f, kStorageStop, s);
       }),
       Frame48({{0, "7E 7E 44 00 00 7C 00"}}, 0xBC)},
      {"no selections", F48([none](std::uint8_t* f) { BuildStorageFrame(f, kStorageStop, none); }),
       Frame48({{0, "7E 7E 44 00 00 7C 00 00 00 00 FF FF 00 00 00"}}, 0xBA)},
      {"format", F48([](std::uint8_t* f) { BuildFormatFrame(f); }), Frame48({{0, "7E 7E 44 00 00 8A"}}, 0xCA)},
      {"query state", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryState); }),
       Frame48({{0, "7E 7E 44 00 00 8B 02"}}, 0xCD)},
      {"query capacity", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryCapacity); }),
       Frame48({{0, "7E 7E 44 00 00 8B 03"}}, 0xCE)},
      {"query residual", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryResidual); }),
       Frame48({{0, "7E 7E 44 00 00 8B 04"}}, 0xCF)},
      {"query pictures", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryPictures); }),
       Frame48({{0, "7E 7E 44 00 00 8B 05"}}, 0xD0)},
      {"query minutes", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryMinutes); }),
       Frame48({{0, "7E 7E 44 00 00 8B 06"}}, 0xD1)},
  });
}

TEST(Commands, TrackingAndMotion) {
  auto move = [](int mode, int x, int y, int tracking) {
    return F48([=](std::uint8_t* f) {
      BuildMoveFrame(f, ControlModeCode(mode), x, y, static_cast<std::uint8_t>(tracking));
    });
  };
  CheckAll({
      {"right 5", move(0, 5, 0, 0), Frame48({{0, "7E 7E 44 00 00 71 FF 05 00 00 00 00 00"}}, 0xB5)},
      {"left 5", move(0, -5, 0, 0), Frame48({{0, "7E 7E 44 00 00 71 FF FB FF 00 00 00 00"}}, 0xAA)},
      {"up 5", move(0, 0, -5, 0), Frame48({{0, "7E 7E 44 00 00 71 FF 00 00 FB FF 00 00"}}, 0xAA)},
      {"down 70000", move(0, 0, 70000, 0), Frame48({{0, "7E 7E 44 00 00 71 FF 00 00 70 11 00 00"}}, 0x31)},
      {"right 70000", move(0, 70000, 0, 0), Frame48({{0, "7E 7E 44 00 00 71 FF 70 11 00 00 00 00"}}, 0x31)},
      {"mode 1 right 5", move(1, 5, 0, 0), Frame48({{0, "7E 7E 44 00 00 88 FF 05 00 00 00 00 00"}}, 0xCC)},
      {"mode 2 left 5", move(2, -5, 0, 0), Frame48({{0, "7E 7E 44 00 00 89 FF FB FF 00 00 00 00"}}, 0xC2)},
      {"no mode right 5", move(-1, 5, 0, 0), Frame48({{0, "7E 7E 44 00 00 00 FF 05 00 00 00 00 00"}}, 0x44)},
      {"tracking right 5", move(0, 5, 0, 1), Frame48({{0, "7E 7E 44 00 00 71 FF 05 00 00 00 01 00"}}, 0xB6)},
      {"track start", F48([](std::uint8_t* f) { BuildTrackFrame(f, 1, TemplateCode(0)); }),
       Frame48({{0, "7E 7E 44 00 00 71 FE 00 00 00 00 01 01 3C"}}, 0xED)},
      {"track stop", F48([](std::uint8_t* f) { BuildTrackFrame(f, 0, TemplateCode(0)); }),
       Frame48({{0, "7E 7E 44 00 00 71 FE 00 00 00 00 00 01 3C"}}, 0xEC)},
      {"cancel", F48([](std::uint8_t* f) { BuildCancelFrame(f); }), Frame48({{0, "7E 7E 44 00 00 26"}}, 0x66)},
      {"template adaptive", F48([](std::uint8_t* f) { BuildTemplateFrame(f, TemplateCode(0)); }),
       Frame48({{0, "7E 7E 44 00 00 82"}, {13, "3C"}}, 0xFE)},
      {"template large", F48([](std::uint8_t* f) { BuildTemplateFrame(f, TemplateCode(1)); }),
       Frame48({{0, "7E 7E 44 00 00 82"}, {13, "24"}}, 0xE6)},
  });
  EXPECT_EQ(TemplateCode(1), 0x24);  // "Large template", not "Small template"
  EXPECT_EQ(TemplateCode(3), 0x30);
  EXPECT_EQ(TemplateCode(-1), 0x00);
}

TEST(Commands, Zoom) {
  auto visca = [](int level) {
    return [level](std::uint8_t* f) {
      BuildViscaZoom(f, level);
      return std::size_t{9};
    };
  };
  CheckAll({
      {"visca 1", visca(1), Hex("81 01 04 47 00 00 00 00 FF")},
      {"visca 2", visca(2), Hex("81 01 04 47 01 06 0A 01 FF")},
      {"visca 30", visca(30), Hex("81 01 04 47 04 00 00 00 FF")},
      {"visca 31 clamps", visca(31), Hex("81 01 04 47 04 00 00 00 FF")},
      {"visca 0 clamps", visca(0), Hex("81 01 04 47 00 00 00 00 FF")},
      {"private 5", F48([](std::uint8_t* f) { BuildPrivateZoom(f, 5); }), Frame48({{0, "7E 7E 44 00 00 7D 85"}}, 0x42)},
      {"private 30", F48([](std::uint8_t* f) { BuildPrivateZoom(f, 30); }),
       Frame48({{0, "7E 7E 44 00 00 7D 9E"}}, 0x5B)},
  });
  EXPECT_EQ(ClampZoom(-7), 1);
  EXPECT_EQ(ClampZoom(99), 30);
}

TEST(Commands, ImagingAndVideoModes) {
  ThermalSettings channel3;
  channel3.channelSelection = 3;
  channel3.pseudoColor = 1;
  channel3.alarmTemp = 300;
  auto vf = [](int sel) {
    return [sel](std::uint8_t* f) { return BuildVideoFormat(f, *VideoFormatCode(sel)); };
  };
  CheckAll({
      {"frozen", F48([](std::uint8_t* f) { BuildFreezeFrame(f, true); }),
       Frame48({{0, "7E 7E 44 00 00 81 01"}, {17, "01"}}, 0xC3)},
      {"thaw", F48([](std::uint8_t* f) { BuildFreezeFrame(f, false); }),
       Frame48({{0, "7E 7E 44 00 00 81 00"}, {17, "01"}}, 0xC2)},
      {"shutter", F48([](std::uint8_t* f) { BuildShutterFrame(f); }), Frame48({{0, "7E 7E 44 00 01 70"}}, 0xB1)},
      {"enhance on", F48([](std::uint8_t* f) { BuildEnhanceFrame(f, 1); }),
       Frame48({{0, "7E 7E 44 00 00 8C 01"}}, 0xCD)},
      {"enhance off", F48([](std::uint8_t* f) { BuildEnhanceFrame(f, 0); }), Frame48({{0, "7E 7E 44 00 00 8C 00"}}, 0xCC)},
      {"channel 3", F48([channel3](std::uint8_t* f) { BuildThermalFrame(f, channel3); }),
       Frame48({{0, "7E 7E 44 00 00 78 01 00 00 00 2C 01 00 00 03"}}, 0xE9)},
      {"steady holding", [](std::uint8_t* f) { return BuildStabilizer(f, 2); }, Hex("81 01 04 34 00 FF")},
      {"steady off", [](std::uint8_t* f) { return BuildStabilizer(f, 1); }, Hex("81 01 04 34 03 FF")},
      {"steady none", [](std::uint8_t* f) { return BuildStabilizer(f, -1); }, Hex("81 01 04 34 00 FF")},
      {"fog off", [](std::uint8_t* f) { return BuildDefog(f, 1); }, Hex("81 01 04 37 03 00 FF")},
      {"fog on", [](std::uint8_t* f) { return BuildDefog(f, 0); }, Hex("81 01 04 37 02 00 FF")},
      {"1080p/25", vf(2), Hex("81 01 04 24 72 00 08 FF 90 41 FF 90 51 FF")},
      {"1080p/60", vf(5), Hex("81 01 04 24 72 01 05 FF 90 41 FF 90 51 FF")},
  });
  EXPECT_FALSE(VideoFormatCode(-1));  // no selection: nothing to send
  // A VISCA command in the frame buffer leaves the rest of the buffer cleared.
  std::uint8_t f[48];
  std::fill(std::begin(f), std::end(f), 0xEE);
  BuildStabilizer(f, 0);
  EXPECT_EQ(Bytes(f + 6, 42), std::vector<std::uint8_t>(42, 0));
}

TEST(Commands, OsdFrame) {
  OsdSettings s;
  s.displayFlags = 0x81;  // "Hide OSD", "Big font"
  s.inputFlags = OsdInputFlags(1, 0, 1, 0, 0, 0, 0, 0);  // "Save the OSD setting parameters", "GPS input"
  s.coreSelection = 4;   // "Sony7520(60Hz)"
  s.year = 2024;
  s.month = 6;
  s.day = 15;
  s.hour = 12;
  s.minute = 30;
  s.second = 45;
  s.heading = 1.5f;
  s.pitching = -12.25f;
  s.roll = 0;
  s.gpsN = 30.0;
  s.gpsE = 120.5;
  s.gpsH = 100.0f;
  OsdSettings y2048;
  y2048.year = 2048;
  y2048.gpsN = y2048.gpsE = 0;
  CheckAll({
      {"example", F48([s](std::uint8_t* f) { BuildOsdFrame(f, s); }),
       Hex("7E 7E 44 81 30 83 05 E8 07 06 0F 0C 1E 2D 00 00 00 C0 3F 00 00 44 C1 00 00 00 00 00 00 00 00 00 00 3E "
           "40 00 00 00 00 00 20 5E 40 00 00 C8 42 1E")},
      {"year 2048", F48([y2048](std::uint8_t* f) { BuildOsdFrame(f, y2048); }),
       Frame48({{0, "7E 7E 44 00 00 83 00 00 08 01 01"}}, 0xCD)},
  });
  EXPECT_EQ(OsdInputFlags(0, 1, 0, 0, 0, 0, 0, 0), 0x02);  // "Time input"
  EXPECT_EQ(OsdInputFlags(0, 0, 1, 0, 0, 0, 0, 0), 0x04);  // "GPS input"
  EXPECT_EQ(OsdInputFlags(1, 0, 0, 0, 0, 0, 0, 0), 0x01);
  EXPECT_EQ(OsdInputFlags(1, 1, 1, 1, 1, 1, 1, 1), 0xFF);
  const std::uint8_t cores[] = {0x00, 0x10, 0x11, 0x12, 0x30, 0x31, 0x32};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(CoreCode(i), cores[i]);
  EXPECT_EQ(CoreCode(-1), 0x00);
}

TEST(Commands, TemperatureAndImageAdjustment) {
  ThermalSettings initial;
  initial.withCompensation = true;
  ThermalSettings full = initial;
  full.pseudoColor = 1;
  full.alarmTemp = 60;
  full.tempBar = 1;
  full.channelSelection = 1;
  full.highAlarm = 1;
  full.compTemp = 25.5f;
  full.compTempOn = 1;
  auto thermal = [](ThermalSettings s) { return F48([s](std::uint8_t* f) { BuildThermalFrame(f, s); }); };
  auto alarm = [initial](int t) {
    ThermalSettings s = initial;
    s.alarmTemp = t;
    return F48([s](std::uint8_t* f) { BuildThermalFrame(f, s); });
  };
  auto comp = [initial](float t) {
    ThermalSettings s = initial;
    s.compTemp = t;
    return F48([s](std::uint8_t* f) { BuildThermalFrame(f, s); });
  };
  CheckAll({
      {"initial", thermal(initial), Frame48({{0, "7E 7E 44 00 00 78"}}, 0xB8)},
      {"full", thermal(full), Frame48({{0, "7E 7E 44 00 00 78 01 00 00 00 3C 00 01 00 01 00 00 01 00 00 00 CC 41 01"}}, 0x06)},
      {"alarm -20", alarm(-20), Frame48({{0, "7E 7E 44 00 00 78"}, {10, "EC FF"}}, 0xA3)},
      {"alarm 70000", alarm(70000), Frame48({{0, "7E 7E 44 00 00 78"}, {10, "70 11"}}, 0x39)},
      {"comp -200", comp(-200), Frame48({{0, "7E 7E 44 00 00 78"}, {19, "00 00 48 C3"}}, 0xC3)},
      {"comp 300", comp(300), Frame48({{0, "7E 7E 44 00 00 78"}, {19, "00 00 96 43"}}, 0x91)},
      {"coeff 100", F48([](std::uint8_t* f) { BuildTempCoeffFrame(f, 100); }), Frame48({{0, "7E 7E 44 00 00 C8 64"}}, 0x6C)},
      {"coeff 200", F48([](std::uint8_t* f) { BuildTempCoeffFrame(f, 200); }), Frame48({{0, "7E 7E 44 00 00 C8 C8"}}, 0xD0)},
      {"contrast 50 brightness 50", F48([](std::uint8_t* f) { BuildContrastBrightnessFrame(f, 50, 50); }),
       Frame48({{0, "7E 7E 44 00 00 1D 00 00 32 00 00 00 32"}}, 0xC1)},
      {"contrast 51 brightness 50", F48([](std::uint8_t* f) { BuildContrastBrightnessFrame(f, 51, 50); }),
       Frame48({{0, "7E 7E 44 00 00 1D 00 00 33 00 00 00 32"}}, 0xC2)},
  });
}
