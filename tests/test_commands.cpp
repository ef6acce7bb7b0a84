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
  std::function<Frame()> build;
  std::vector<std::uint8_t> expected;
};

void CheckAll(const std::vector<FrameCase>& cases) {
  for (const FrameCase& c : cases) {
    const Frame f = c.build();
    EXPECT_EQ(Bytes(f.data(), f.size()), c.expected) << c.name;
    // Nothing past the size: the frame is exactly what goes on the wire.
    for (std::size_t i = f.size(); i < Frame::kCapacity; ++i) EXPECT_EQ(f.data()[i], 0) << c.name << " byte " << i;
  }
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
  all.channel = 3;
  StorageSettings none = InitialPanel();
  none.preservation = none.preservationMode = -1;
  auto start = [](StorageSettings s, int length) {
    s.videoLength = length;
    return [s] { return BuildStorageFrame(kStorageStart, s); };
  };
  CheckAll({
      {"stop", [] { return BuildStorageFrame(kStorageStop, InitialPanel()); },
       Literal("stop storage")},
      {"capture", [] { return BuildStorageFrame(kStorageCapture, InitialPanel()); },
       Literal("single capture")},
      {"start 600", start(InitialPanel(), 600), Literal("start storage 600")},
      {"start everything", [all] { return BuildStorageFrame(kStorageStart, all); },
       Literal("start storage, every option")},
      {"start 1", start(InitialPanel(), 1), Literal("start storage 1")},
      {"start 65535", start(InitialPanel(), 65535), Literal("start storage 65535")},
      {"stop ignores length", [] {
         StorageSettings s = InitialPanel();
         s.videoLength = 1234;
         return BuildStorageFrame(kStorageStop, s);
       },
       Literal("stop storage")},
      {"no selections", [none] { return BuildStorageFrame(kStorageStop, none); },
       Literal("stop storage, no selections")},
      {"format", [] { return BuildFormatFrame(); }, Literal("format SD card")},
      {"query state", [] { return BuildCardQuery(kQueryState); },
       Literal("query state")},
      {"query capacity", [] { return BuildCardQuery(kQueryCapacity); },
       Literal("query capacity")},
      {"query residual", [] { return BuildCardQuery(kQueryResidual); },
       Literal("query residual")},
      {"query pictures", [] { return BuildCardQuery(kQueryPictures); },
       Literal("query pictures")},
      {"query minutes", [] { return BuildCardQuery(kQueryMinutes); },
       Literal("query minutes")},
  });
}

TEST(Commands, TrackingAndMotion) {
  auto move = [](std::uint8_t code, int x, int y, int tracking) {
    return [=] { return BuildMoveFrame(code, x, y, static_cast<std::uint8_t>(tracking)); };
  };
  CheckAll({
      {"right 5", move(kCmdCrossWire, 5, 0, 0), Literal("right 5")},
      {"left 5", move(kCmdCrossWire, -5, 0, 0), Literal("left 5")},
      {"up 5", move(kCmdCrossWire, 0, -5, 0), Literal("up 5")},
      {"down 70000", move(kCmdCrossWire, 0, 70000, 0), Literal("down 70000")},
      {"right 70000", move(kCmdCrossWire, 70000, 0, 0), Literal("right 70000")},
      {"mode 1 right 5", move(kCmdGimbalMode1, 5, 0, 0), Literal("mode 1 right 5")},
      {"mode 2 left 5", move(kCmdGimbalMode2, -5, 0, 0), Literal("mode 2 left 5")},
      {"no mode right 5", move(0x00, 5, 0, 0), Literal("no mode right 5")},
      {"tracking right 5", move(kCmdCrossWire, 5, 0, 1), Literal("tracking right 5")},
      {"track start", [] { return BuildTrackFrame(1, kTemplateAdaptive); },
       Literal("track start")},
      {"track stop", [] { return BuildTrackFrame(0, kTemplateAdaptive); },
       Literal("track stop")},
      {"cancel", [] { return BuildCancelFrame(); }, Literal("cancel tracking")},
      {"template adaptive", [] { return BuildTemplateFrame(kTemplateAdaptive); },
       Literal("template adaptive")},
      {"template large", [] { return BuildTemplateFrame(kTemplateLarge); },
       Literal("template large")},
  });
}

TEST(Commands, Zoom) {
  auto visca = [](int level) {
    return [level] { return BuildViscaZoom(level); };
  };
  CheckAll({
      {"visca 1", visca(1), Literal("VISCA zoom 1")},
      {"visca 2", visca(2), Literal("VISCA zoom 2")},
      {"visca 30", visca(30), Literal("VISCA zoom 30")},
      {"visca 31 clamps", visca(31), Literal("VISCA zoom 30")},
      {"visca 0 clamps", visca(0), Literal("VISCA zoom 1")},
      {"private 5", [] { return BuildPrivateZoom(5); }, Literal("private zoom 5")},
      {"private 30", [] { return BuildPrivateZoom(30); },
       Literal("private zoom 30")},
  });
  EXPECT_EQ(ClampZoom(-7), 1);
  EXPECT_EQ(ClampZoom(99), 30);
}

TEST(Commands, ImagingAndVideoModes) {
  ThermalSettings channel3;
  channel3.channel = 3;
  channel3.pseudoColor = 1;
  channel3.alarmTemp = 300;
  auto vf = [](std::uint8_t code) {
    return [code] { return BuildVideoFormat(code); };
  };
  CheckAll({
      {"frozen", [] { return BuildFreezeFrame(true); },
       Literal("freeze")},
      {"thaw", [] { return BuildFreezeFrame(false); },
       Literal("thaw")},
      {"shutter", [] { return BuildShutterFrame(); }, Literal("shutter")},
      {"enhance on", [] { return BuildEnhanceFrame(1); },
       Literal("enhance on")},
      {"enhance off", [] { return BuildEnhanceFrame(0); }, Literal("enhance off")},
      {"channel 3", [channel3] { return BuildThermalFrame(channel3); },
       Literal("display channel 3")},
      {"steady holding", [] { return BuildStabilizer(kViscaHold); }, Literal("stabilizer holding")},
      {"steady off", [] { return BuildStabilizer(kViscaOff); }, Literal("stabilizer off")},
      {"fog off", [] { return BuildDefog(kViscaOff); }, Literal("defog off")},
      {"fog on", [] { return BuildDefog(kViscaOn); }, Literal("defog on")},
      {"1080p/25", vf(0x08), Literal("video format 1080p/25")},
      {"1080p/60", vf(0x15), Literal("video format 1080p/60")},
  });
}

TEST(Commands, OsdFrame) {
  OsdSettings s;
  s.displayFlags = kOsdHide | kOsdBigFont;
  s.inputFlags = kOsdSave | kOsdGpsInput;
  s.coreCode = kCoreSony7520At60Hz;
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
      {"example", [s] { return BuildOsdFrame(s); },
       Literal("OSD example")},
      {"year 2048", [y2048] { return BuildOsdFrame(y2048); },
       Literal("OSD year 2048")},
  });
}

TEST(Commands, TemperatureAndImageAdjustment) {
  ThermalSettings initial;
  initial.withCompensation = true;
  ThermalSettings full = initial;
  full.pseudoColor = 1;
  full.alarmTemp = 60;
  full.tempBar = 1;
  full.channel = 1;
  full.highAlarm = 1;
  full.compTemp = 25.5f;
  full.compTempOn = 1;
  auto thermal = [](ThermalSettings s) { return [s] { return BuildThermalFrame(s); }; };
  auto alarm = [initial](int t) {
    ThermalSettings s = initial;
    s.alarmTemp = t;
    return [s] { return BuildThermalFrame(s); };
  };
  auto comp = [initial](float t) {
    ThermalSettings s = initial;
    s.compTemp = t;
    return [s] { return BuildThermalFrame(s); };
  };
  CheckAll({
      {"initial", thermal(initial), Literal("thermal initial")},
      {"full", thermal(full), Literal("thermal, every field")},
      {"alarm -20", alarm(-20), Literal("alarm temperature -20")},
      {"alarm 70000", alarm(70000), Literal("alarm temperature 70000")},
      {"comp -200", comp(-200), Literal("compensation -200")},
      {"comp 300", comp(300), Literal("compensation 300")},
      {"coeff 100", [] { return BuildTempCoeffFrame(100); }, Literal("coefficient 100")},
      {"coeff 200", [] { return BuildTempCoeffFrame(200); }, Literal("coefficient 200")},
      {"contrast 50 brightness 50", [] { return BuildContrastBrightnessFrame(50, 50); },
       Literal("contrast 50 brightness 50")},
      {"contrast 51 brightness 50", [] { return BuildContrastBrightnessFrame(51, 50); },
       Literal("contrast 51 brightness 50")},
  });
}
