// Every command frame against the bytes the device documentation gives.
#include <gtest/gtest.h>

#include <functional>

#include "bytes.h"
#include "literal_frames.h"
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
       Literal("stop storage")},
      {"capture", F48([](std::uint8_t* f) { BuildStorageFrame(f, kStorageCapture, InitialPanel()); }),
       Literal("single capture")},
      {"start 600", start(InitialPanel(), 600), Literal("start storage 600")},
      {"start everything", F48([all](std::uint8_t* f) { BuildStorageFrame(f, kStorageStart, all); }),
       Literal("start storage, every option")},
      {"start 1", start(InitialPanel(), 1), Literal("start storage 1")},
      {"start 65535", start(InitialPanel(), 65535), Literal("start storage 65535")},
      {"stop ignores length", F48([](std::uint8_t* f) {
         StorageSettings s = InitialPanel();
         s.videoLength = 1234;
         BuildStorageFrame(f, kStorageStop, s);
       }),
       Literal("stop storage")},
      {"no selections", F48([none](std::uint8_t* f) { BuildStorageFrame(f, kStorageStop, none); }),
       Literal("stop storage, no selections")},
      {"format", F48([](std::uint8_t* f) { BuildFormatFrame(f); }), Literal("format SD card")},
      {"query state", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryState); }),
       Literal("query state")},
      {"query capacity", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryCapacity); }),
       Literal("query capacity")},
      {"query residual", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryResidual); }),
       Literal("query residual")},
      {"query pictures", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryPictures); }),
       Literal("query pictures")},
      {"query minutes", F48([](std::uint8_t* f) { BuildCardQuery(f, kQueryMinutes); }),
       Literal("query minutes")},
  });
}

TEST(Commands, TrackingAndMotion) {
  auto move = [](int mode, int x, int y, int tracking) {
    return F48([=](std::uint8_t* f) {
      BuildMoveFrame(f, ControlModeCode(mode), x, y, static_cast<std::uint8_t>(tracking));
    });
  };
  CheckAll({
      {"right 5", move(0, 5, 0, 0), Literal("right 5")},
      {"left 5", move(0, -5, 0, 0), Literal("left 5")},
      {"up 5", move(0, 0, -5, 0), Literal("up 5")},
      {"down 70000", move(0, 0, 70000, 0), Literal("down 70000")},
      {"right 70000", move(0, 70000, 0, 0), Literal("right 70000")},
      {"mode 1 right 5", move(1, 5, 0, 0), Literal("mode 1 right 5")},
      {"mode 2 left 5", move(2, -5, 0, 0), Literal("mode 2 left 5")},
      {"no mode right 5", move(-1, 5, 0, 0), Literal("no mode right 5")},
      {"tracking right 5", move(0, 5, 0, 1), Literal("tracking right 5")},
      {"track start", F48([](std::uint8_t* f) { BuildTrackFrame(f, 1, TemplateCode(0)); }),
       Literal("track start")},
      {"track stop", F48([](std::uint8_t* f) { BuildTrackFrame(f, 0, TemplateCode(0)); }),
       Literal("track stop")},
      {"cancel", F48([](std::uint8_t* f) { BuildCancelFrame(f); }), Literal("cancel tracking")},
      {"template adaptive", F48([](std::uint8_t* f) { BuildTemplateFrame(f, TemplateCode(0)); }),
       Literal("template adaptive")},
      {"template large", F48([](std::uint8_t* f) { BuildTemplateFrame(f, TemplateCode(1)); }),
       Literal("template large")},
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
      {"visca 1", visca(1), Literal("VISCA zoom 1")},
      {"visca 2", visca(2), Literal("VISCA zoom 2")},
      {"visca 30", visca(30), Literal("VISCA zoom 30")},
      {"visca 31 clamps", visca(31), Literal("VISCA zoom 30")},
      {"visca 0 clamps", visca(0), Literal("VISCA zoom 1")},
      {"private 5", F48([](std::uint8_t* f) { BuildPrivateZoom(f, 5); }), Literal("private zoom 5")},
      {"private 30", F48([](std::uint8_t* f) { BuildPrivateZoom(f, 30); }),
       Literal("private zoom 30")},
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
       Literal("freeze")},
      {"thaw", F48([](std::uint8_t* f) { BuildFreezeFrame(f, false); }),
       Literal("thaw")},
      {"shutter", F48([](std::uint8_t* f) { BuildShutterFrame(f); }), Literal("shutter")},
      {"enhance on", F48([](std::uint8_t* f) { BuildEnhanceFrame(f, 1); }),
       Literal("enhance on")},
      {"enhance off", F48([](std::uint8_t* f) { BuildEnhanceFrame(f, 0); }), Literal("enhance off")},
      {"channel 3", F48([channel3](std::uint8_t* f) { BuildThermalFrame(f, channel3); }),
       Literal("display channel 3")},
      {"steady holding", [](std::uint8_t* f) { return BuildStabilizer(f, 2); }, Literal("stabilizer holding")},
      {"steady off", [](std::uint8_t* f) { return BuildStabilizer(f, 1); }, Literal("stabilizer off")},
      {"steady none", [](std::uint8_t* f) { return BuildStabilizer(f, -1); }, Literal("stabilizer holding")},
      {"fog off", [](std::uint8_t* f) { return BuildDefog(f, 1); }, Literal("defog off")},
      {"fog on", [](std::uint8_t* f) { return BuildDefog(f, 0); }, Literal("defog on")},
      {"1080p/25", vf(2), Literal("video format 1080p/25")},
      {"1080p/60", vf(5), Literal("video format 1080p/60")},
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
       Literal("OSD example")},
      {"year 2048", F48([y2048](std::uint8_t* f) { BuildOsdFrame(f, y2048); }),
       Literal("OSD year 2048")},
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
      {"initial", thermal(initial), Literal("thermal initial")},
      {"full", thermal(full), Literal("thermal, every field")},
      {"alarm -20", alarm(-20), Literal("alarm temperature -20")},
      {"alarm 70000", alarm(70000), Literal("alarm temperature 70000")},
      {"comp -200", comp(-200), Literal("compensation -200")},
      {"comp 300", comp(300), Literal("compensation 300")},
      {"coeff 100", F48([](std::uint8_t* f) { BuildTempCoeffFrame(f, 100); }), Literal("coefficient 100")},
      {"coeff 200", F48([](std::uint8_t* f) { BuildTempCoeffFrame(f, 200); }), Literal("coefficient 200")},
      {"contrast 50 brightness 50", F48([](std::uint8_t* f) { BuildContrastBrightnessFrame(f, 50, 50); }),
       Literal("contrast 50 brightness 50")},
      {"contrast 51 brightness 50", F48([](std::uint8_t* f) { BuildContrastBrightnessFrame(f, 51, 50); }),
       Literal("contrast 51 brightness 50")},
  });
}
